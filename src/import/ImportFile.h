#pragma once

#include "import/Workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

// Reading a member list that a spreadsheet program saved as separated text.
namespace kelvory::import {

// The encodings a file is read in: what its byte order mark says; without one, UTF-8
// when every byte sequence is UTF-8, else the code page the detector names.
enum class FileEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian, CodePage };

struct DecodedFile
{
    QByteArray utf8; // the text, as UTF-8 without its byte order mark
    FileEncoding encoding = FileEncoding::Utf8;
    QString encodingName; // as the preview names it: "UTF-8", "UTF-16", "Windows-1252" ...
    // UTF-8 text with a stray byte or two that is not: each is U+FFFD in the text.
    bool strayBytes = false;
};

// The file's bytes as UTF-8 text. Without a byte order mark, UTF-16 is told by its zero
// bytes, and text that is UTF-8 but for a few stray bytes is read as UTF-8.
DecodedFile decodeFile(const QByteArray &bytes);

// The Windows code page 1252 (the "ANSI" of Western Windows), byte by byte.
QString fromWindows1252(QByteArrayView bytes);

// The separator of the file's fields: ',', ';' or '\t', whichever splits its first lines
// most evenly (outside quoted fields); a comma when none does.
char detectSeparator(QByteArrayView utf8);

// Every record of the text, fields as written, with their quotes taken off and doubled
// quotes made single; a line break inside a quoted field stays in the field as LF. An
// empty line is an empty record, so that record k is the spreadsheet's row k + 1.
std::vector<QStringList> parseRecords(QByteArrayView utf8, char separator);

// This program's own export, known by its heading line and its shape (six commas a line,
// the last at its end): one record a line, quotes as ordinary characters, the apostrophe
// that marks a formula-like cell taken off. Nothing when the text is not one.
std::optional<std::vector<QStringList>> ownExportRecords(QStringView text);

struct ImportTable
{
    QString encodingName;
    char separator = ',';
    FileKind kind = FileKind::Text;
    bool ownExport = false;
    QStringList sheets; // a workbook's, and the one read
    int sheet = 0;
    // One per row of the file, blank rows as empty records, the heading row included.
    std::vector<QStringList> records;
    // The records that cannot be imported as they stand, and why.
    std::map<std::size_t, QString> unusable;
};

ImportTable readImportBytes(const QByteArray &bytes);

// The largest file the import reads, far beyond any club's list, so that a wrong choice
// of file is not read whole into memory.
inline constexpr qint64 kLargestImportFile = 64 * 1024 * 1024;

// The file's table, or why it cannot be read: a folder, a device or a file larger than
// kLargestImportFile is refused before anything is read.
struct ReadResult
{
    std::optional<ImportTable> table;
    QString problem;
};
// `sheet`: which of a workbook's sheets.
ReadResult readImportFile(const QString &path, int sheet = 0);

} // namespace kelvory::import
