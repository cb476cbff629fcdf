#include "output/MailingLabels.h"

#include "output/Export.h"
#include "output/OutputMessages.h"
#include "output/PrinterQueue.h"
#include "output/Printout.h"
#include "startup/Module1.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
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

bool paintLabels(QPainter &painter, QPagedPaintDevice &device, const LabelJob &job)
{
    const double perPointX = device.logicalDpiX() / 72.0;
    const double perPointY = device.logicalDpiY() / 72.0;
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

std::optional<QString> printLabels(QPrinter &printer, const LabelJob &job)
{
    printer.setFullPage(true);
    printer.setPageLayout(labelPageLayout(labelSheet(job.sheet)));
    QPainter painter;
    if (!painter.begin(&printer) || printer.printerState() == QPrinter::Error)
        return messages::labelsNotPrinted(printerLabel(printer));
    if (!paintLabels(painter, printer, job)) {
        painter.end();
        return messages::labelsPrintNotFinished(printerLabel(printer));
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return messages::labelsPrintNotFinished(printerLabel(printer));
    return std::nullopt;
}

std::optional<QByteArray> labelsPdf(const LabelJob &job, const QString &title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(title);
        writer.setPageLayout(labelPageLayout(labelSheet(job.sheet)));
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        const bool painted = paintLabels(painter, writer, job);
        if (!painter.end() || !painted)
            return std::nullopt;
    }
    return buffer.data();
}

bool printLabelsOnDefaultPrinter(Module1 &module, const LabelJob &job)
{
    PrinterQueue *queue = module.services().printers;
    const std::unique_ptr<QPrinter> printer = queue ? queue->defaultPrinter() : nullptr;
    if (!printer) {
        module.MsgBox(messages::noDefaultPrinter(), MB_OK | MB_ICONERROR);
        return false;
    }
    printer->setDocName(module.deployment().title);
    if (const std::optional<QString> problem = printLabels(*printer, job)) {
        module.MsgBox(*problem, MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::labelsSentToPrinter(static_cast<int>(job.addresses.size())), MB_OK);
    return true;
}

bool saveLabelsAsPdf(Module1 &module, const LabelJob &job)
{
    const QString suggested = QDir(module.deployment().programFolder).filePath(messages::suggestedPdfName());
    const std::optional<QString> chosen =
        module.services().dialogs->saveFileName(messages::saveAsPdfTitle(), suggested, messages::pdfFileFilter());
    if (!chosen || chosen->isEmpty())
        return false;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const QString nativePath = QDir::toNativeSeparators(path);

    const std::optional<QByteArray> pdf = labelsPdf(job, module.deployment().title);
    if (!pdf) {
        module.MsgBox(messages::labelsNotSaved(nativePath, messages::pdfNotMade()),
                      MB_OK | MB_ICONERROR);
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
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(module.deployment().title);
    printer.setFullPage(true);
    printer.setPageLayout(labelPageLayout(labelSheet(job.sheet)));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(messages::dialogTitle());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *target) {
        QPainter painter(target);
        paintLabels(painter, *target, job);
    });
    preview.exec();
}

} // namespace kelvory::output
