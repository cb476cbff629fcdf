#include "output/ListOutput.h"

#include "output/Export.h"
#include "output/LabelLayout.h"
#include "output/LabelPrinter.h"
#include "output/PaintedPages.h"
#include "output/PrinterQueue.h"
#include "output/Printout.h"
#include "output/YearMessages.h"
#include "startup/Module1.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <numeric>

namespace kelvory::output {

namespace {

constexpr double kMarginPoints = 54; // 3/4 inch
constexpr double kBodyPointSize = 10;
constexpr double kTitlePointSize = 14;

QFont listFont(double pointSize, bool bold = false)
{
    QFont font = printerFont();
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QPageLayout listPageLayout()
{
    const SheetKind sheet = sheetForPaper(workstationPaperFacts()).sheet;
    return QPageLayout(QPageSize(labelSheet(sheet).paper), QPageLayout::Portrait,
                       QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints), QPageLayout::Point);
}

bool paintList(QPainter &painter, QPagedPaintDevice &device, const ListDocument &document)
{
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    // Painting starts at the printable area's corner; the layout's margins place it.
    const double left = 0;
    const double width = page.width();
    const double bottom = page.height();
    const QFont body = listFont(kBodyPointSize);
    const QFont bold = listFont(kBodyPointSize, true);
    const QFontMetricsF metrics(body, &device);
    const double line = metrics.lineSpacing() * 1.2;

    const int total = std::max(1, std::accumulate(document.widths.begin(), document.widths.end(), 0));
    std::vector<double> columnX;
    double x = left;
    for (const int share : document.widths) {
        columnX.push_back(x);
        x += width * share / total;
    }
    columnX.push_back(left + width);
    const double gap = metrics.averageCharWidth();

    double y = 0;
    // A cell too long for its column goes on over more lines: a phone number on an
    // emergency sheet is never cut.
    const auto flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    auto rowHeight = [&](const QStringList &cells, const QFont &font) {
        const QFontMetricsF fit(font, &device);
        double height = line;
        for (qsizetype c = 0; c < cells.size() && c + 1 < qsizetype(columnX.size()); ++c) {
            const double room = columnX[std::size_t(c) + 1] - columnX[std::size_t(c)] - gap;
            const QRectF needed = fit.boundingRect(QRectF(0, 0, room, 1e6), flags, cells[c]);
            height = std::max(height, needed.height() + line - fit.lineSpacing());
        }
        return height;
    };
    auto drawRow = [&](const QStringList &cells, const QFont &font) {
        painter.setFont(font);
        const double height = rowHeight(cells, font);
        for (qsizetype c = 0; c < cells.size() && c + 1 < qsizetype(columnX.size()); ++c) {
            const double room = columnX[std::size_t(c) + 1] - columnX[std::size_t(c)] - gap;
            painter.drawText(QRectF(columnX[std::size_t(c)], y, room, height), flags, cells[c]);
        }
        y += height;
    };
    auto headings = [&] {
        drawRow(document.headings, bold);
        painter.drawLine(QPointF(left, y - line * 0.15), QPointF(left + width, y - line * 0.15));
    };

    painter.setFont(listFont(kTitlePointSize, true));
    const QFontMetricsF titleMetrics(painter.font(), &device);
    painter.drawText(QPointF(left, titleMetrics.ascent()), document.title);
    y = titleMetrics.lineSpacing() * 1.5;
    headings();
    for (std::size_t r = 0; r < document.rows.size(); ++r) {
        const QFont &font = r < document.marked.size() && document.marked[r] ? bold : body;
        if (y + rowHeight(document.rows[r], font) > bottom) {
            if (!device.newPage())
                return false;
            y = 0;
            headings();
        }
        drawRow(document.rows[r], font);
    }
    y += line / 2;
    painter.setFont(body);
    for (const QString &note : document.notes) {
        if (y + line > bottom) {
            if (!device.newPage())
                return false;
            y = 0;
        }
        painter.drawText(QPointF(left, y + metrics.ascent()), note);
        y += line;
    }
    return true;
}

std::optional<QByteArray> listPdf(const ListDocument &document, const QString &title)
{
    return pdfBytes(document.title, title, listPageLayout(),
                    [&](QPainter &painter, QPagedPaintDevice &device) { return paintList(painter, device, document); });
}

bool printListOnDefaultPrinter(Module1 &module, const ListDocument &document)
{
    PrinterQueue *queue = module.services().printers;
    const std::unique_ptr<QPrinter> printer = queue ? queue->defaultPrinter() : nullptr;
    if (!printer) {
        module.MsgBox(messages::listNoDefaultPrinter(), MB_OK | MB_ICONERROR);
        return false;
    }
    printer->setDocName(module.deployment().title);
    const PagesPrinted printed =
        printPages(*printer, listPageLayout(), false,
                   [&](QPainter &painter, QPagedPaintDevice &device) { return paintList(painter, device, document); });
    if (printed != PagesPrinted::Printed) {
        module.MsgBox(messages::listNotPrinted(printerLabel(*printer)), MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::listSentToPrinter(), MB_OK);
    return true;
}

bool saveListAsPdf(Module1 &module, const ListDocument &document)
{
    const QString suggested = QDir(module.deployment().programFolder).filePath(messages::suggestedListPdfName());
    const std::optional<QString> chosen = module.services().dialogs->saveFileName(messages::saveListTitle(), suggested,
                                                                                  QStringLiteral("PDF files (*.pdf)"));
    if (!chosen || chosen->isEmpty())
        return false;
    const QString path = pdfPath(*chosen);
    const QString nativePath = QDir::toNativeSeparators(path);
    const std::optional<QByteArray> pdf = listPdf(document, module.deployment().title);
    // Through a temporary file, as the export is written: a file that cannot be finished
    // leaves whatever was there before.
    const std::optional<QString> problem = pdf
        ? writeExportFile(path, *pdf)
        : std::optional<QString>(QStringLiteral("the PDF document could not be made"));
    if (problem) {
        module.MsgBox(messages::listNotSaved(nativePath, *problem), MB_OK | MB_ICONERROR);
        return false;
    }
    module.MsgBox(messages::listSaved(nativePath), MB_OK);
    return true;
}

void previewList(Module1 &module, const ListDocument &document, QWidget *parent)
{
    previewPages(module.deployment().title, messages::listsTitle(), listPageLayout(), false, parent,
                 [&](QPainter &painter, QPagedPaintDevice &device) { return paintList(painter, device, document); });
}

} // namespace kelvory::output
