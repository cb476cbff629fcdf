#pragma once

#include "output/CellGrid.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvory {
class Module1;
}

namespace kelvory::output {

// One field of the export: the cell's text without its commas, then the separating
// comma. A cell that a spreadsheet would take for a formula (its first character =, +, -,
// @, a tab or a carriage return) gets a leading apostrophe, and a line break in it is one
// blank; nothing else is changed: no quoting, no trimming.
void appendExportField(QString &line, QStringView cell);

// The whole export as text: one line per grid row, heading row first, every line
// ending in CR LF.
QString exportText(const CellGrid &grid);
// The same, in the system's encoding for text files.
QByteArray exportBytes(const CellGrid &grid);

// Writes the bytes to the path through a temporary file that replaces the old file
// only once complete. Returns why it could not, or nothing.
std::optional<QString> writeExportFile(const QString &path, const QByteArray &bytes);

// Xcel Export: writes the roster grid to ExcelExport.csv, tells the operator where to
// find it and, unless cancelled, opens it with the program the system associates with it.
void exportRoster(Module1 &module, const CellGrid &grid);

} // namespace kelvory::output
