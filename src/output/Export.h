#pragma once

#include "output/CellSource.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvory {
class Module1;
}

namespace kelvory::output {

// One field of the export: the cell's text without its commas, then the separating
// comma. Nothing else is changed: no quoting, no trimming.
void appendExportField(QString &line, QStringView cell);

// The whole export as text: one line per grid row, heading row first, every line
// ending in CR LF.
QString exportText(const CellSource &grid);
// The same, in the system's encoding for text files.
QByteArray exportBytes(const CellSource &grid);

// Writes the bytes to the path through a temporary file that replaces the old file
// only once complete. Returns why it could not, or nothing.
std::optional<QString> writeExportFile(const QString &path, const QByteArray &bytes);

// Xcel Export: writes the roster grid to ExcelExport.csv, tells the operator where to
// find it and, unless cancelled, opens it with the program the system associates with it.
void exportRoster(Module1 &module, const CellSource &grid);

} // namespace kelvory::output
