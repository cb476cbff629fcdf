#include "import/ImportFile.h"

#include "import/ImportMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <memory>

namespace kelvory::import {

namespace {

// Bytes 0x80 to 0x9F of code page 1252; the five it leaves undefined stand for
// themselves, as Windows reads them.
constexpr std::array<char16_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// UTF-16 without a byte order mark: Latin text has a zero in every other byte, at odd
// places when little-endian. Nothing when the bytes are not UTF-16 this way.
std::optional<bool> utf16WithoutMark(QByteArrayView bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return std::nullopt;
    qsizetype even = 0, odd = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        even += bytes[i] == 0;
        odd += bytes[i + 1] == 0;
    }
    const qsizetype pairs = bytes.size() / 2;
    if (odd * 10 >= pairs * 3 && even * 10 < odd)
        return true;
    if (even * 10 >= pairs * 3 && odd * 10 < even)
        return false;
    return std::nullopt;
}

struct Utf8Count
{
    qsizetype sequences = 0; // of two bytes or more, well formed
    qsizetype stray = 0;     // bytes beyond ASCII in no such sequence
};

Utf8Count countUtf8(QByteArrayView bytes)
{
    Utf8Count count;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int length = b < 0x80  ? 1
            : b >= 0xC2 && b <= 0xDF ? 2
            : b >= 0xE0 && b <= 0xEF ? 3
            : b >= 0xF0 && b <= 0xF4 ? 4
                                     : 0;
        bool formed = length > 0 && i + length <= bytes.size();
        for (int k = 1; formed && k < length; ++k)
            formed = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (length == 1) {
            ++i;
        } else if (formed) {
            ++count.sequences;
            i += length;
        } else {
            ++count.stray;
            ++i;
        }
    }
    return count;
}

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decode(bytes);
    return !decode.hasError();
}

// The detector's guess, for a file that is not UTF-8. It is trusted only for scripts that
// code page 1252 cannot be: on a few lines of Western names it readily names a Central
// European or Mac code page for what is plain 1252 ("Zoë" read as "ZoŽ").
std::optional<QByteArray> otherScriptCodePage(QByteArrayView bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    if (uchardet_handle_data(detector.get(), bytes.data(), size_t(bytes.size())) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const QByteArray guess = QByteArray(uchardet_get_charset(detector.get())).toUpper();
    static const char *const otherScripts[] = {
        "WINDOWS-1251", "KOI8",       "ISO-8859-5",   "IBM855",     "IBM866",       "MAC-CYRILLIC", "ISO-8859-7",
        "WINDOWS-1253", "ISO-8859-8", "WINDOWS-1255", "ISO-8859-6", "WINDOWS-1256", "SHIFT_JIS",    "EUC-JP",
        "EUC-KR",       "BIG5",       "GB18030",      "EUC-TW",     "TIS-620"};
    for (const char *script : otherScripts) {
        if (guess.startsWith(script) && QStringDecoder(guess.constData()).isValid())
            return guess;
    }
    return std::nullopt;
}

// Where the first lines are split (outside quoted fields) by each candidate separator.
struct SeparatorCounts
{
    int fewest = -1; // over the lines looked at
    int first = 0;
};

struct Record
{
    std::vector<QStringList> *records;
    QStringList fields;
};

void fieldRead(void *text, size_t length, void *data)
{
    auto *record = static_cast<Record *>(data);
    // A field that begins with U+FEFF keeps it, as it does anywhere else in the file
    // (QString::fromUtf8 would drop it as a byte order mark); the preview then says that
    // it cannot be stored.
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    record->fields.append(utf8(QByteArrayView(static_cast<const char *>(text), qsizetype(length))));
}

void recordRead(int, void *data)
{
    auto *record = static_cast<Record *>(data);
    record->records->push_back(std::move(record->fields));
    record->fields = QStringList();
}

// Blanks around a field are part of it: a tab, in a tab-separated file, is no blank.
int noBlank(unsigned char)
{
    return 0;
}

QString tooLarge(qint64 size)
{
    constexpr qint64 mb = 1024 * 1024;
    return messages::isTooLarge((size + mb - 1) / mb, kLargestImportFile / mb);
}

} // namespace

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

DecodedFile decodeFile(const QByteArray &bytes)
{
    DecodedFile file;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.utf8 = bytes.mid(3);
        file.encodingName = messages::utf8WithMark();
        return file;
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        file.encoding = little ? FileEncoding::Utf16LittleEndian : FileEncoding::Utf16BigEndian;
        QStringDecoder decode(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        file.utf8 = QString(decode(QByteArrayView(bytes).sliced(2))).toUtf8();
        file.encodingName = messages::utf16();
        return file;
    }
    if (const std::optional<bool> little = utf16WithoutMark(bytes)) {
        file.encoding = *little ? FileEncoding::Utf16LittleEndian : FileEncoding::Utf16BigEndian;
        QStringDecoder decode(*little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        file.utf8 = QString(decode(bytes)).toUtf8();
        file.encodingName = messages::utf16();
        return file;
    }
    if (isUtf8(bytes)) {
        file.utf8 = bytes;
        file.encodingName = messages::utf8();
        return file;
    }
    // Letters that read as UTF-8 are as many as the bytes that do not, or more: a stray
    // byte in a UTF-8 file, which read as Windows-1252 would turn every "René" into
    // "RenÃ©". Windows-1252 text almost never holds a letter that reads as UTF-8.
    if (const Utf8Count count = countUtf8(bytes); count.sequences > 0 && count.sequences >= count.stray) {
        QStringDecoder decode(QStringConverter::Utf8);
        file.utf8 = QString(decode(bytes)).toUtf8();
        file.encodingName = messages::utf8();
        file.strayBytes = true;
        return file;
    }
    file.encoding = FileEncoding::CodePage;
    if (const std::optional<QByteArray> codePage = otherScriptCodePage(bytes)) {
        QStringDecoder decode(codePage->constData());
        file.utf8 = QString(decode(bytes)).toUtf8();
        file.encodingName = QString::fromLatin1(*codePage);
        return file;
    }
    file.utf8 = fromWindows1252(bytes).toUtf8();
    file.encodingName = messages::windows1252();
    return file;
}

char detectSeparator(QByteArrayView utf8)
{
    constexpr std::array<char, 3> candidates = {',', ';', '\t'};
    std::array<SeparatorCounts, 3> counts;
    std::array<int, 3> onLine = {0, 0, 0};
    bool quoted = false;
    bool lineHasText = false;
    int lines = 0;
    const auto endLine = [&] {
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            if (lines == 0)
                counts[k].first = onLine[k];
            counts[k].fewest = counts[k].fewest < 0 ? onLine[k] : std::min(counts[k].fewest, onLine[k]);
            onLine[k] = 0;
        }
        ++lines;
        lineHasText = false;
    };
    for (qsizetype i = 0; i < utf8.size() && lines < 10; ++i) {
        const char c = utf8[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            if (lineHasText)
                endLine();
            continue;
        } else if (!quoted) {
            for (std::size_t k = 0; k < candidates.size(); ++k)
                onLine[k] += c == candidates[k];
        }
        lineHasText = true;
    }
    if (lineHasText && lines < 10)
        endLine();
    // The one that every line has most of; between equals, the one the first line has most of.
    std::size_t best = 0;
    for (std::size_t k = 1; k < candidates.size(); ++k) {
        if (counts[k].fewest > counts[best].fewest
            || (counts[k].fewest == counts[best].fewest && counts[k].first > counts[best].first))
            best = k;
    }
    return counts[best].first > 0 ? candidates[best] : ',';
}

std::vector<QStringList> parseRecords(QByteArrayView utf8, char separator)
{
    std::vector<QStringList> records;
    // Every line end as LF, so that each one outside a field is one end of a record
    // (CSV_REPALL_NL), an empty line an empty record.
    QByteArray text = utf8.toByteArray();
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    utf8 = text;
    csv_parser parser;
    if (csv_init(&parser, CSV_REPALL_NL) != 0)
        throw std::bad_alloc();
    const std::unique_ptr<csv_parser, decltype(&csv_free)> release(&parser, &csv_free);
    csv_set_delim(&parser, static_cast<unsigned char>(separator));
    csv_set_space_func(&parser, noBlank);
    Record record{&records, {}};
    // Outside strict mode the parser takes every byte sequence; it fails only for memory.
    if (csv_parse(&parser, utf8.data(), size_t(utf8.size()), fieldRead, recordRead, &record) != size_t(utf8.size()))
        throw std::bad_alloc();
    csv_fini(&parser, fieldRead, recordRead, &record);
    return records;
}

std::optional<std::vector<QStringList>> ownExportRecords(QStringView text)
{
    static const QString heading = QStringLiteral("Name,Address,City State Zip,Phone,Comment,,");
    QString lines = text.toString();
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    const QStringList all = lines.split(u'\n');
    if (all.isEmpty() || all.front() != heading)
        return std::nullopt;
    std::vector<QStringList> records;
    QString pending;
    for (qsizetype k = 0; k < all.size(); ++k) {
        const QString &line = all[k];
        if (pending.isEmpty() && line.isEmpty()) {
            if (k + 1 < all.size()) // the end of the last line is no row
                records.emplace_back();
            continue;
        }
        // A cell with a line break, as an export written before they became blanks has it,
        // ends its line early: the line goes on on the next.
        pending = pending.isEmpty() ? line : pending + u'\n' + line;
        const qsizetype commas = pending.count(u',');
        if (commas < 6)
            continue;
        if (commas > 6 || !pending.endsWith(u','))
            return std::nullopt;
        QStringList fields = pending.split(u',');
        fields.removeLast();
        for (QString &field : fields) {
            if (field.size() > 1 && field[0] == u'\'' && QStringLiteral("=+-@\t").contains(field[1]))
                field.remove(0, 1);
        }
        records.push_back(std::move(fields));
        pending.clear();
    }
    if (!pending.isEmpty())
        return std::nullopt;
    return records;
}

namespace {

// A quoted field that runs on over lines that hold as many separators as a whole row: a
// quote that opens a field and never closes where it should, swallowing the rows after it.
void markSwallowedRows(ImportTable &table)
{
    qsizetype width = 0;
    for (const QStringList &record : table.records) {
        if (!record.isEmpty()) {
            width = record.size();
            break;
        }
    }
    const qsizetype separators = std::max<qsizetype>(1, width - 1);
    for (std::size_t r = 0; r < table.records.size(); ++r) {
        qsizetype lineBreaks = 0;
        bool swallowed = false;
        for (const QString &field : table.records[r]) {
            const QStringList lines = field.split(u'\n');
            lineBreaks += lines.size() - 1;
            for (qsizetype k = 1; k < lines.size() && !swallowed; ++k)
                swallowed = lines[k].count(QLatin1Char(table.separator)) >= separators;
        }
        if (swallowed)
            table.unusable[r] = messages::quoteRunsOn(qint64(lineBreaks));
    }
}

} // namespace

ImportTable readImportBytes(const QByteArray &bytes)
{
    const DecodedFile file = decodeFile(bytes);
    ImportTable table;
    table.encodingName = file.encodingName;
    if (std::optional<std::vector<QStringList>> own = ownExportRecords(QString::fromUtf8(file.utf8))) {
        table.ownExport = true;
        table.records = std::move(*own);
    } else {
        table.separator = detectSeparator(file.utf8);
        table.records = parseRecords(file.utf8, table.separator);
        markSwallowedRows(table);
    }
    if (file.strayBytes) {
        for (std::size_t r = 0; r < table.records.size(); ++r) {
            if (table.records[r].join(QString()).contains(QChar::ReplacementCharacter))
                table.unusable.try_emplace(r, messages::strayByte());
        }
    }
    return table;
}

ReadResult readImportFile(const QString &path, int sheet)
{
    ReadResult result;
    // Looked at before it is opened: a device such as /dev/zero never ends, and a pipe
    // would hold the program until something is written to it.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        result.problem = info.isDir() ? messages::isAFolder() : messages::isADevice();
        return result;
    }
    if (info.size() > kLargestImportFile) {
        result.problem = tooLarge(info.size());
        return result;
    }
    QFile file(path);
    // Read only: the file is never changed.
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = file.errorString();
        return result;
    }
    // One byte more than may be read tells a file that grew meanwhile.
    const QByteArray bytes = file.read(kLargestImportFile + 1);
    if (bytes.size() > kLargestImportFile) {
        result.problem = tooLarge(bytes.size());
        return result;
    }
    if (file.error() != QFileDevice::NoError) {
        result.problem = file.errorString();
        return result;
    }
    file.close();

    const QByteArrayView head = QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 4096));
    const FileKindGuess kind = guessFileKind(path, head);
    ImportTable table;
    if (kind.kind == FileKind::Other) {
        result.problem = messages::notAList(kind.seemsToBe);
        return result;
    }
    if (kind.kind == FileKind::Text) {
        table = readImportBytes(bytes);
    } else {
        WorkbookRead workbook = readWorkbook(path, kind.kind, sheet);
        if (!workbook.problem.isEmpty()) {
            result.problem = workbook.problem;
            return result;
        }
        table.kind = kind.kind;
        table.sheets = std::move(workbook.sheets);
        table.sheet = std::clamp(sheet, 0, int(table.sheets.size()) - 1);
        table.records = std::move(workbook.rows);
    }
    const bool empty = std::all_of(table.records.begin(), table.records.end(), [](const QStringList &record) {
        return std::all_of(record.begin(), record.end(),
                           [](const QString &field) { return field.trimmed().isEmpty(); });
    });
    if (empty) {
        result.problem = messages::isEmpty();
        return result;
    }
    result.table = std::move(table);
    return result;
}

} // namespace kelvory::import
