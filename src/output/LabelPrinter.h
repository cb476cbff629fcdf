#pragma once

#include "output/LabelLayout.h"

#include <QLocale>
#include <QSizeF>
#include <QString>

#include <optional>

// What the labels take from the workstation rather than from the club's database: the
// paper its printer usually holds, and the small shift and scale its printer needs for
// labels to land on a sheet's labels.
namespace kelvory::output {

// Where the workstation's usual paper can be read, in the order libpaper and CUPS go by.
struct PaperFacts
{
    QString papersizeVariable; // PAPERSIZE, as set
    QString papersizeFile;     // /etc/papersize's paper name, when the file names one
    QString papersizeFileName; // that file's path, for the dialog to name
    QSizeF localePaperMm;      // the locale's LC_PAPER, empty under the C locale
    QString localeName;        // the locale that sets LC_PAPER
    QLocale::Territory territory = QLocale::AnyTerritory;
};

PaperFacts workstationPaperFacts();

struct SheetChoice
{
    SheetKind sheet = SheetKind::A4With21;
    QString why; // one sentence for the dialog: the paper found and where
};

// US Letter sheets on Letter-width paper (Letter, Legal, in the US, Canada and the other
// countries that use it), A4 sheets on any other.
SheetChoice sheetForPaper(const PaperFacts &facts);

// The printer adjustment: every label moved right and down by millimetres, and the whole
// sheet scaled about the paper's top left corner, as a printer that feeds or scales a
// little off needs. The defaults change nothing.
struct PrinterAdjustment
{
    static constexpr double kLargestShiftMm = 10;
    static constexpr double kSmallestScale = 98;
    static constexpr double kLargestScale = 102;

    double rightMm = 0;
    double downMm = 0;
    double scalePercent = 100;

    bool changesNothing() const { return rightMm == 0 && downMm == 0 && scalePercent == 100; }
    bool operator==(const PrinterAdjustment &) const = default;
};

// The workstation's adjustment, kept in LabelPrinter.ini in the program's folder. A file
// that is missing, unreadable or holds values out of range gives the defaults for those
// values: it never stops a label from being printed.
QString adjustmentFile(const QString &programFolder);
PrinterAdjustment readAdjustment(const QString &file);
// What went wrong, or nothing.
std::optional<QString> writeAdjustment(const QString &file, const PrinterAdjustment &adjustment);

} // namespace kelvory::output
