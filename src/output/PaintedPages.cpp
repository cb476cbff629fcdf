#include "output/PaintedPages.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace kelvory::output {

std::optional<QByteArray> pdfBytes(const QString &title, const QString &creator, const QPageLayout &layout,
                                   const PagePainter &paint)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setCreator(creator);
        writer.setPageLayout(layout);
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        const bool painted = paint(painter, writer);
        if (!painter.end() || !painted)
            return std::nullopt;
    }
    return buffer.data();
}

PagesPrinted printPages(QPrinter &printer, const QPageLayout &layout, bool fullPage, const PagePainter &paint)
{
    if (fullPage)
        printer.setFullPage(true);
    printer.setPageLayout(layout);
    QPainter painter;
    if (!painter.begin(&printer) || printer.printerState() == QPrinter::Error)
        return PagesPrinted::NotStarted;
    const bool painted = paint(painter, printer);
    if (!painter.end() || !painted || printer.printerState() == QPrinter::Error
        || printer.printerState() == QPrinter::Aborted)
        return PagesPrinted::NotFinished;
    return PagesPrinted::Printed;
}

void previewPages(const QString &docName, const QString &windowTitle, const QPageLayout &layout, bool fullPage,
                  QWidget *parent, const PagePainter &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(docName);
    if (fullPage)
        printer.setFullPage(true);
    printer.setPageLayout(layout);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(windowTitle);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *target) {
        QPainter painter(target);
        paint(painter, *target);
    });
    preview.exec();
}

QString pdfPath(const QString &chosen)
{
    return QFileInfo(chosen).suffix().isEmpty() ? chosen + QStringLiteral(".pdf") : chosen;
}

} // namespace kelvory::output
