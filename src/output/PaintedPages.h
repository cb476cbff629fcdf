#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

// Pages painted by one function, whatever they land on: a PDF file's bytes, a printer, or
// Qt's print preview. The labels and the lists share these.
namespace kelvory::output {

using PagePainter = std::function<bool(QPainter &, QPagedPaintDevice &)>;

// A document painted into the bytes of a PDF file, with its title, creator and page layout;
// nothing when it could not be painted.
std::optional<QByteArray> pdfBytes(const QString &title, const QString &creator, const QPageLayout &layout,
                                   const PagePainter &paint);

enum class PagesPrinted {
    Printed,
    NotStarted,  // the printer would not begin
    NotFinished, // begun, then painting or the printer failed
};
// Paints the pages on the printer in the given layout (`fullPage`: measured from the
// paper's edge rather than from the printable area).
PagesPrinted printPages(QPrinter &printer, const QPageLayout &layout, bool fullPage, const PagePainter &paint);

// Qt's print preview of the pages, painted afresh whenever it asks, named `docName`.
void previewPages(const QString &docName, const QString &windowTitle, const QPageLayout &layout, bool fullPage,
                  QWidget *parent, const PagePainter &paint);

// The path chosen for a PDF file, with ".pdf" added when it has no suffix.
QString pdfPath(const QString &chosen);

} // namespace kelvory::output
