#pragma once

#include "output/CellSource.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelvory::output {

// One field of the export: the cell's text without its commas, then the separating
// comma. A cell that a spreadsheet would take for a formula (its first character =, +, -,
// @, a tab or a carriage return) gets a leading apostrophe, and a line break in it is one
// blank; nothing else is changed: no quoting, no trimming.
void appendExportField(QString &line, QStringView cell);

// The whole export as text: one line per grid row, heading row first, every line
// ending in CR LF.
QString exportText(const CellSource &grid);
// The same, in the system's encoding for text files.
QByteArray exportBytes(const CellSource &grid);

// Writes the bytes to the path through a temporary file that replaces the old file
// only once complete. Returns why it could not, or nothing.
std::optional<QString> writeExportFile(const QString &path, const QByteArray &bytes);

// What writing the export came to; the window tells the operator.
struct ExportOutcome
{
    enum class Kind { Ready, NotWritten };
    Kind kind = Kind::Ready;
    QString problem; // NotWritten: why the file cannot be written
};

// Xcel Export's file: the roster grid written to `path` (ExcelExport.csv) whole, or not at all.
ExportOutcome exportRoster(const QString &path, const CellSource &grid);

} // namespace kelvory::output
