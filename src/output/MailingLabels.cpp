#include "output/MailingLabels.h"

#include "output/Export.h"
#include "output/OutputMessages.h"
#include "output/PaintedPages.h"
#include "output/PrinterQueue.h"
#include "output/Printout.h"
#include "startup/Module1.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <map>

namespace kelvory::output {

QPageLayout labelPageLayout(const LabelSheet &sheet)
{
    QPageLayout layout(QPageSize(sheet.paper), QPageLayout::Portrait, QMarginsF(), QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

QFont labelFont(double pointSize)
{
    QFont font = printerFont();
    font.setPointSizeF(pointSize);
    return font;
}

namespace {

// Moves and scales what the painter paints next, in the device's pixels, about the
// paper's top left corner. The defaults leave the painter as it is, so that the output
// is the same as it was before there was an adjustment.
void adjust(QPainter &painter, const QPaintDevice &device, const PrinterAdjustment &adjustment)
{
    if (adjustment.changesNothing())
        return;
    constexpr double pointsPerMm = 72.0 / 25.4;
    painter.translate(adjustment.rightMm * pointsPerMm * device.logicalDpiX() / 72.0,
                      adjustment.downMm * pointsPerMm * device.logicalDpiY() / 72.0);
    painter.scale(adjustment.scalePercent / 100, adjustment.scalePercent / 100);
}

std::optional<QString> printOnSheets(QPrinter &printer, const LabelSheet &sheet, const PagePainter &paint)
{
    switch (printPages(printer, labelPageLayout(sheet), true, paint)) {
    case PagesPrinted::Printed: return std::nullopt;
    case PagesPrinted::NotStarted: return messages::labelsNotPrinted(printerLabel(printer));
    case PagesPrinted::NotFinished: break;
    }
    return messages::labelsPrintNotFinished(printerLabel(printer));
}

std::unique_ptr<QPrinter> defaultPrinterOrSay(Module1 &module)
{
    PrinterQueue *queue = module.services().printers;
    std::unique_ptr<QPrinter> printer = queue ? queue->defaultPrinter() : nullptr;
    if (!printer)
        module.MsgBox(messages::labelsNoDefaultPrinter(), MB_OK | MB_ICONERROR);
    else
        printer->setDocName(module.deployment().title);
    return printer;
}

} // namespace

bool paintLabels(QPainter &painter, QPagedPaintDevice &device, const LabelJob &job)
{
    const double perPointX = device.logicalDpiX() / 72.0;
    const double perPointY = device.logicalDpiY() / 72.0;
    adjust(painter, device, job.adjustment);
    // A handful of sizes serve every line; each size's metrics are made once.
    std::map<double, QFontMetricsF> metrics;
    auto metricsAt = [&](double size) -> const QFontMetricsF & {
        auto found = metrics.find(size);
        if (found == metrics.end())
            found = metrics.emplace(size, QFontMetricsF(labelFont(size), &device)).first;
        return found->second;
    };
    const LabelLayout layout =
        layoutLabels(job.addresses, labelSheet(job.sheet), job.startLabel, [&](QStringView text, double size) {
            return metricsAt(size).horizontalAdvance(text.toString()) / perPointX;
        });

    int page = 0;
    for (const PlacedLabel &label : layout.labels) {
        for (; page < label.sheet; ++page) {
            if (!device.newPage())
                return false;
        }
        for (const LabelLine &line : label.lines) {
            painter.setFont(labelFont(line.pointSize));
            painter.drawText(QPointF(line.x * perPointX, line.baseline * perPointY), line.text);
        }
    }
    return true;
}

void paintAlignmentTest(QPainter &painter, QPaintDevice &device, const LabelSheet &sheet,
                        const PrinterAdjustment &adjustment)
{
    const double perPointX = device.logicalDpiX() / 72.0;
    const double perPointY = device.logicalDpiY() / 72.0;
    adjust(painter, device, adjustment);
    painter.setPen(QPen(Qt::black, 0.5 * perPointX));
    painter.setFont(labelFont(14));
    for (int k = 0; k < sheet.labelsPerSheet(); ++k) {
        const QRectF box = sheet.labelBox(k);
        const QRectF shown(box.left() * perPointX, box.top() * perPointY, box.width() * perPointX,
                           box.height() * perPointY);
        painter.drawRect(shown);
        painter.drawText(shown, Qt::AlignCenter, QString::number(k + 1));
    }
}

std::optional<QString> printLabels(QPrinter &printer, const LabelJob &job)
{
    return printOnSheets(printer, labelSheet(job.sheet), [&](QPainter &painter, QPagedPaintDevice &device) {
        return paintLabels(painter, device, job);
    });
}

std::optional<QString> printAlignmentTest(QPrinter &printer, SheetKind sheet, const PrinterAdjustment &adjustment)
{
    return printOnSheets(printer, labelSheet(sheet), [&](QPainter &painter, QPagedPaintDevice &device) {
        paintAlignmentTest(painter, device, labelSheet(sheet), adjustment);
        return true;
    });
}

std::optional<QByteArray> labelsPdf(const LabelJob &job, const QString &title)
{
    return pdfBytes(title, title, labelPageLayout(labelSheet(job.sheet)),
                    [&](QPainter &painter, QPagedPaintDevice &device) { return paintLabels(painter, device, job); });
}

bool printLabelsOnDefaultPrinter(Module1 &module, const LabelJob &job)
{
    const std::unique_ptr<QPrinter> printer = defaultPrinterOrSay(module);
    if (!printer)
        return false;
    if (const std::optional<QString> problem = printLabels(*printer, job)) {
        module.MsgBox(*problem, MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::labelsSentToPrinter(static_cast<int>(job.addresses.size())), MB_OK);
    return true;
}

bool printAlignmentTestOnDefaultPrinter(Module1 &module, SheetKind sheet, const PrinterAdjustment &adjustment)
{
    const std::unique_ptr<QPrinter> printer = defaultPrinterOrSay(module);
    if (!printer)
        return false;
    if (const std::optional<QString> problem = printAlignmentTest(*printer, sheet, adjustment)) {
        module.MsgBox(*problem, MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::alignmentTestSent(), MB_OK);
    return true;
}

bool saveLabelsAsPdf(Module1 &module, const LabelJob &job)
{
    const QString suggested = QDir(module.deployment().programFolder).filePath(messages::suggestedPdfName());
    const std::optional<QString> chosen =
        module.services().dialogs->saveFileName(messages::saveAsPdfTitle(), suggested, messages::pdfFileFilter());
    if (!chosen || chosen->isEmpty())
        return false;
    const QString path = pdfPath(*chosen);
    const QString nativePath = QDir::toNativeSeparators(path);

    const std::optional<QByteArray> pdf = labelsPdf(job, module.deployment().title);
    if (!pdf) {
        module.MsgBox(messages::labelsNotSaved(nativePath, messages::pdfNotMade()), MB_OK | MB_ICONERROR);
        return false;
    }
    // Through a temporary file, as the export is written: a file that cannot be finished
    // leaves whatever was there before.
    if (const std::optional<QString> problem = writeExportFile(path, *pdf)) {
        module.MsgBox(messages::labelsNotSaved(nativePath, *problem), MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::labelsSaved(static_cast<int>(job.addresses.size()), nativePath), MB_OK);
    return true;
}

void previewLabels(Module1 &module, const LabelJob &job, QWidget *parent)
{
    previewPages(module.deployment().title, messages::dialogTitle(), labelPageLayout(labelSheet(job.sheet)), true,
                 parent,
                 [&](QPainter &painter, QPagedPaintDevice &device) { return paintLabels(painter, device, job); });
}

} // namespace kelvory::output
