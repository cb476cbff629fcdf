#pragma once

#include "common/Messages.h"

namespace kelvory::output::messages {

#include "output/OutputMessages.def"

// The texts that say how many, in the singular for one.
inline QString labelsOnSheets(int labels, int sheets, int startLabel)
{
    return labelsOnSheetsText(labels == 1 ? oneLabel() : labelCount(labels),
                              sheets == 1 ? oneSheet() : sheetCount(sheets), startLabel);
}

inline QString membersLeftOut(int withoutAddress)
{
    if (withoutAddress == 0)
        return everyMemberHasAnAddress();
    return withoutAddress == 1 ? oneMemberLeftOut() : membersLeftOutCount(withoutAddress);
}

inline QString labelsSentToPrinter(int labels)
{
    return labels == 1 ? oneLabelSentToPrinter() : labelsSentToPrinterCount(labels);
}

inline QString labelsSaved(int labels, const QString &nativePath)
{
    return labels == 1 ? oneLabelSaved(nativePath) : labelsSavedCount(labels, nativePath);
}

// Why there is no label to print: no member picked, a picked member without an address,
// or no member with one.
inline QString nothingToPrint(bool pickedMemberOnly, bool nobodyPicked)
{
    if (pickedMemberOnly)
        return nobodyPicked ? noMemberPicked() : pickedMemberHasNoAddress();
    return noMemberHasAnAddress();
}

} // namespace kelvory::output::messages
