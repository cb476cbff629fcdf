#include "output/OutputMessages.h"

#include "startup/Platform.h"

namespace kelvory::output::messages {

QString dataSentToPrinter()
{
    return QStringLiteral("Data is being sent to printer.");
}

QString noDefaultPrinter()
{
    return QStringLiteral("The roster was not printed: this computer has no default printer.") + kCrLf
        + QStringLiteral("Set up a printer and make it the default one, then press PRINT again.");
}

QString rosterNotPrinted(const QString &printer)
{
    return QStringLiteral("The roster was not printed: the printer %1 could not start the print job.")
               .arg(printer)
        + kCrLf + QStringLiteral("Check that the printer is ready, then press PRINT again.");
}

QString rosterPrintNotFinished(const QString &printer)
{
    return QStringLiteral("The print job for the printer %1 could not be finished, so the roster may not "
                          "have been printed.")
               .arg(printer)
        + kCrLf + QStringLiteral("Check the printer, then press PRINT again.");
}

QString dataIsReady(const QString &nativePath)
{
    return QStringLiteral("  DATA IS READY ") + QStringLiteral("\r\r")
        + QStringLiteral("On the next Xcel screen click the Logo in upper left then") + QStringLiteral("\r")
        + QStringLiteral("select EXCELEXPORT.CVS from Recent Documents List") + kCrLf + kCrLf
        + QStringLiteral("If you do not see the file in the list it`s because you have not previously opened it. "
                         "Click OPEN and navigate to ")
        + nativePath;
}

QString rosterNotExported(const QString &nativePath, const QString &reason)
{
    return QStringLiteral("The roster was not exported: the file") + kCrLf + nativePath + kCrLf
        + QStringLiteral("cannot be written (%1).").arg(reason) + kCrLf + kCrLf
        + QStringLiteral("If the spreadsheet program has this file open, close it there, then press "
                         "Xcel Export again. An earlier export, if there is one, is unchanged.");
}


namespace {

QString counted(int n, const char *one, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

} // namespace

QString printMailingLabelsCommand()
{
    return QStringLiteral("Print Mailing Labels...");
}

QString dialogTitle()
{
    return QStringLiteral("Print Mailing Labels");
}

QString sheetCaption()
{
    return QStringLiteral("Label s&heet:");
}

QString usLetterSheet()
{
    return QStringLiteral("US Letter, 30 labels of 2 5/8 x 1 inch (Avery 5160)");
}

QString a4Sheet()
{
    return QStringLiteral("A4, 21 labels of 63.5 x 38.1 mm (Avery L7160)");
}

QString startLabelCaption()
{
    return QStringLiteral("S&tart at label:");
}

QString startLabelHint(int columns)
{
    return QStringLiteral("Counted from the top left, %1 to a row. The labels before it are left blank, so that "
                          "a partly used sheet can be used up; a click on the little sheet chooses one too.")
        .arg(columns);
}

QString allMembersChoice()
{
    return QStringLiteral("&All members");
}

QString pickedMemberChoice(const QString &name)
{
    return QStringLiteral("&Only the member in the boxes: %1").arg(name);
}

QString noMemberPickedChoice()
{
    return QStringLiteral("&Only the member in the boxes (none picked)");
}

QString previewButton()
{
    return QStringLiteral("Pre&view...");
}

QString printButton()
{
    return QStringLiteral("&Print");
}

QString savePdfButton()
{
    return QStringLiteral("&Save as PDF...");
}

QString closeButton()
{
    return QStringLiteral("Close");
}

QString labelsOnSheets(int labels, int sheets, int startLabel)
{
    return counted(labels, "label", "labels") + QStringLiteral(" on ") + counted(sheets, "sheet", "sheets")
        + QStringLiteral(", the first at label %1.").arg(startLabel);
}

QString membersLeftOut(int withoutAddress)
{
    if (withoutAddress == 0)
        return QStringLiteral("Every member has an address.");
    return counted(withoutAddress, "member", "members")
        + QLatin1String(withoutAddress == 1 ? " without an address is left out." : " without an address are left out.");
}

QString pickedMemberHasNoAddress()
{
    return QStringLiteral("The member in the boxes has no address, so there is no label to print.");
}

QString noMemberPicked()
{
    return QStringLiteral("No member is picked in the boxes: click a member's row in the list first, "
                          "or choose All members.");
}

QString nothingToPrint(bool pickedMemberOnly, bool nobodyPicked)
{
    if (pickedMemberOnly)
        return nobodyPicked ? noMemberPicked() : pickedMemberHasNoAddress();
    return QStringLiteral("No member in the list has an address, so there is no label to print.");
}

QString labelsSentToPrinter(int labels)
{
    return counted(labels, "mailing label is", "mailing labels are") + QStringLiteral(" being sent to the printer.");
}

QString labelsNotPrinted(const QString &printer)
{
    return QStringLiteral("The mailing labels were not printed: the printer %1 could not start the print job.")
               .arg(printer)
        + kCrLf + QStringLiteral("Check that the printer is ready, then press Print again.");
}

QString labelsPrintNotFinished(const QString &printer)
{
    return QStringLiteral("The print job for the printer %1 could not be finished, so the mailing labels may not "
                          "have been printed.")
               .arg(printer)
        + kCrLf + QStringLiteral("Check the printer, then press Print again.");
}

QString saveAsPdfTitle()
{
    return QStringLiteral("Save Mailing Labels as PDF");
}

QString pdfFileFilter()
{
    return QStringLiteral("PDF files (*.pdf)");
}

QString suggestedPdfName()
{
    return QStringLiteral("MailingLabels.pdf");
}

QString labelsSaved(int labels, const QString &nativePath)
{
    return counted(labels, "mailing label was", "mailing labels were") + QStringLiteral(" saved to") + kCrLf
        + nativePath;
}

QString labelsNotSaved(const QString &nativePath, const QString &reason)
{
    return QStringLiteral("The mailing labels were not saved: the file") + kCrLf + nativePath + kCrLf
        + QStringLiteral("cannot be written (%1).").arg(reason) + kCrLf + kCrLf
        + QStringLiteral("Choose another folder or name, then press Save as PDF again.");
}

QString pdfNotMade()
{
    return QStringLiteral("the PDF document could not be made");
}

} // namespace kelvory::output::messages
