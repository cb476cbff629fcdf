#include "roster/ScreenReaderNames.h"

#include "database/RosterColumns.h"
#include "roster/RosterForm.h"
#include "roster/RosterMessages.h"
#include "roster/grid/FlexGrid.h"

namespace kelvory::roster {

void nameForScreenReaders(RosterForm &form)
{
    // The captions stand beside the boxes as plain labels, which a screen reader does not
    // tie to a box of its own accord.
    for (int k = 0; k < kRosterColumnCount; ++k)
        form.Text1[k]->setAccessibleName(QString::fromLatin1(columnFacts(k).caption));
    form.Grid1->setAccessibleName(messages::rosterGridName());
    form.Grid1->setAccessibleDescription(messages::rosterGridDescription());
    form.NameCnt->setAccessibleName(messages::nameCounterName());
    form.NameCnt->setAccessibleDescription(messages::counterDescription(columnFacts(Name).counterLimit));
    form.Addcnt->setAccessibleName(messages::addressCounterName());
    form.Addcnt->setAccessibleDescription(messages::counterDescription(columnFacts(Address).counterLimit));
}

} // namespace kelvory::roster
