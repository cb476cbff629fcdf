#pragma once

#include "output/LabelLayout.h"
#include "output/LabelPrinter.h"

#include <QByteArray>
#include <QFont>
#include <QPageLayout>
#include <QString>

#include <optional>
#include <span>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace kelvory {
class Module1;
}

// Mailing labels on paper: painted, printed on the default printer, previewed, or saved
// as a PDF file.
namespace kelvory::output {

struct LabelJob
{
    SheetKind sheet = SheetKind::UsLetter30;
    int startLabel = 1;
    std::span<const MailingAddress> addresses;
    PrinterAdjustment adjustment;
};

// The sheet's paper, upright, with nothing kept back for margins: label positions are
// measured from the paper's corner, whatever the printer can reach.
QPageLayout labelPageLayout(const LabelSheet &sheet);

// The face labels are printed in (the roster printout's), at a point size.
QFont labelFont(double pointSize);

// Lays the labels out with the device's own text widths and paints them, one sheet to a
// page. The painter is active on the device, whose page layout is the sheet's. False when
// the device could not start a new page.
bool paintLabels(QPainter &painter, QPagedPaintDevice &device, const LabelJob &job);

// One page for holding against a sheet of labels: each label's outline and its number,
// moved and scaled as the adjustment says.
void paintAlignmentTest(QPainter &painter, QPaintDevice &device, const LabelSheet &sheet,
                        const PrinterAdjustment &adjustment);

// Prints the labels and ends the job. Returns what went wrong, or nothing.
std::optional<QString> printLabels(QPrinter &printer, const LabelJob &job);
std::optional<QString> printAlignmentTest(QPrinter &printer, SheetKind sheet, const PrinterAdjustment &adjustment);
// The labels as a PDF document, or nothing when it could not be made.
std::optional<QByteArray> labelsPdf(const LabelJob &job, const QString &title);

// The labels dialog's commands, each with its messages to the operator. The first two
// return whether the labels went where they were sent.
bool printLabelsOnDefaultPrinter(Module1 &module, const LabelJob &job);
bool saveLabelsAsPdf(Module1 &module, const LabelJob &job);
bool printAlignmentTestOnDefaultPrinter(Module1 &module, SheetKind sheet, const PrinterAdjustment &adjustment);
void previewLabels(Module1 &module, const LabelJob &job, QWidget *parent);

} // namespace kelvory::output
