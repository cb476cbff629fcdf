#include "output/PdfBytes.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace kelvory::output {

std::optional<QByteArray> pdfBytes(const QString &title, const QString &creator, const QPageLayout &layout,
                                   const std::function<bool(QPainter &, QPagedPaintDevice &)> &paint)
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

} // namespace kelvory::output
