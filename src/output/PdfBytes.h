#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QPageLayout;
class QPagedPaintDevice;
class QPainter;

namespace kelvory::output {

// A document painted into the bytes of a PDF file, with its title, creator and page layout;
// nothing when it could not be painted.
std::optional<QByteArray> pdfBytes(const QString &title, const QString &creator, const QPageLayout &layout,
                                   const std::function<bool(QPainter &, QPagedPaintDevice &)> &paint);

} // namespace kelvory::output
