#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Reading a member list that a spreadsheet program saved as separated text.
namespace kelvory::import {

// The encodings a file is read in: what its byte order mark says; without one, UTF-8
// when every byte sequence is UTF-8, else the code page the detector names.
enum class FileEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian, CodePage };

struct DecodedFile
{
    QByteArray utf8;       // the text, as UTF-8 without its byte order mark
    FileEncoding encoding = FileEncoding::Utf8;
    QString encodingName;  // as the preview names it: "UTF-8", "UTF-16", "Windows-1252" ...
};

// The file's bytes as UTF-8 text.
DecodedFile decodeFile(const QByteArray &bytes);

// The Windows code page 1252 (the "ANSI" of Western Windows), byte by byte.
QString fromWindows1252(QByteArrayView bytes);

// The separator of the file's fields: ',', ';' or '\t', whichever splits its first lines
// most evenly (outside quoted fields); a comma when none does.
char detectSeparator(QByteArrayView utf8);

// Every record of the text, fields as written, with their quotes taken off and doubled
// quotes made single; line breaks inside quoted fields stay in the field. Empty lines
// give no record.
std::vector<QStringList> parseRecords(QByteArrayView utf8, char separator);

struct ImportTable
{
    QString encodingName;
    char separator = ',';
    std::vector<QStringList> records; // the heading row, if the file has one, included
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
ReadResult readImportFile(const QString &path);

} // namespace kelvory::import
