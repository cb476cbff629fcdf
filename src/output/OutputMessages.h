#pragma once

#include <QString>

// Everything the operator reads about printing, the export and mailing labels: the
// messages, and the labels' menu item and dialog, each named for what it says.
namespace kelvory::output::messages {

// PRINT.
QString dataSentToPrinter();
QString noDefaultPrinter();
QString rosterNotPrinted(const QString &printer);
QString rosterPrintNotFinished(const QString &printer);

// Xcel Export. The message after a finished export ends with the file's path as shown.
QString dataIsReady(const QString &nativePath);
QString rosterNotExported(const QString &nativePath, const QString &reason);

// Mailing labels.

QString printMailingLabelsCommand(); // the grid's menu item, Ctrl+L
QString dialogTitle();
QString sheetCaption();
QString usLetterSheet();
QString a4Sheet();
QString startLabelCaption();
QString startLabelHint(int columns);
QString allMembersChoice();
QString pickedMemberChoice(const QString &name);
QString noMemberPickedChoice();
QString previewButton();
QString printButton();
QString savePdfButton();
QString closeButton();

// What the chosen labels come to, shown in the dialog as the choices change.
QString labelsOnSheets(int labels, int sheets, int startLabel);
QString membersLeftOut(int withoutAddress);
QString pickedMemberHasNoAddress();
QString noMemberPicked();

// Message boxes.
QString nothingToPrint(bool pickedMemberOnly, bool nobodyPicked);
QString labelsSentToPrinter(int labels);
QString labelsNotPrinted(const QString &printer);
QString labelsPrintNotFinished(const QString &printer);
QString saveAsPdfTitle();
QString pdfFileFilter();
QString suggestedPdfName();
QString labelsSaved(int labels, const QString &nativePath);
QString labelsNotSaved(const QString &nativePath, const QString &reason);
QString pdfNotMade(); // the reason given when the document itself could not be made

} // namespace kelvory::output::messages
