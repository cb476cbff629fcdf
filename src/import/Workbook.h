#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

// Reading a member list that a spreadsheet program saved as a workbook: .xlsx and .ods
// (zipped XML, unzipped with libzip and read with Qt's XML stream reader) and the old
// .xls (read with libfreexl).
namespace kelvory::import {

enum class FileKind { Text, Xlsx, Ods, Xls, Other };

// What a file's first bytes (and, for a zip or an Office file, its contents) say it is.
struct FileKindGuess
{
    FileKind kind = FileKind::Text;
    QString seemsToBe; // Other: "a PNG picture", "a PDF document" ...
};
FileKindGuess guessFileKind(const QString &path, QByteArrayView head);

struct WorkbookRead
{
    QStringList sheets;
    // The chosen sheet's rows from the first, blank rows as empty rows; each cell as the
    // spreadsheet shows it (a date as a date, a number in its format: ZIP 01234).
    std::vector<QStringList> rows;
    QString problem; // why the workbook cannot be read, or nothing
};
WorkbookRead readWorkbook(const QString &path, FileKind kind, int sheet);

// A number as a spreadsheet shows it in the number format `code` (Excel's format codes:
// "General", "00000", "(###) ###-####", "m/d/yyyy", "#,##0.00" ...). `date1904`: the
// workbook counts its days from 1904.
QString formatSpreadsheetNumber(double value, const QString &code, bool date1904 = false);

} // namespace kelvory::import
