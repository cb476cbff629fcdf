#pragma once

#include "output/MemberLists.h"

#include <QByteArray>
#include <QPageLayout>

#include <optional>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace kelvory {
class Module1;
}

// A list on paper: painted, printed on the default printer, previewed, or saved as PDF.
namespace kelvory::output {

// The workstation's paper (Letter or A4, as the labels find it), upright.
QPageLayout listPageLayout();

// Lays the list out in the printer face, a title, the headings at the top of every page,
// one line a row, the notes under the last. False when a new page could not be started.
bool paintList(QPainter &painter, QPagedPaintDevice &device, const ListDocument &document);
std::optional<QByteArray> listPdf(const ListDocument &document, const QString &title);

// The lists dialog's commands, each with its messages; whether the list went out.
bool printListOnDefaultPrinter(Module1 &module, const ListDocument &document);
bool saveListAsPdf(Module1 &module, const ListDocument &document);
void previewList(Module1 &module, const ListDocument &document, QWidget *parent);

} // namespace kelvory::output
