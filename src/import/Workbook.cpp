#include "import/Workbook.h"

#include "import/ImportMessages.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>

#include <freexl.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace kelvory::import {

namespace {

// More than any club's list unzips to; a zip that claims more is refused before it is read.
constexpr zip_uint64_t kLargestPart = 256 * 1024 * 1024;
// A row or cell repeated this often is the rest of an empty sheet, not a list.
constexpr qint64 kMostRepeats = 100000;

using Zip = std::unique_ptr<zip_t, decltype(&zip_discard)>;

Zip openZip(const QString &path)
{
    int error = 0;
    return Zip(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error), &zip_discard);
}

bool hasPart(zip_t *zip, const char *name)
{
    return zip_name_locate(zip, name, 0) >= 0;
}

// One part of the zip, whole; nothing when it is missing, too large or broken.
std::optional<QByteArray> readPart(zip_t *zip, const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(zip, utf8.constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || stat.size > kLargestPart)
        return std::nullopt;
    const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen(zip, utf8.constData(), 0), &zip_fclose);
    if (!file)
        return std::nullopt;
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    if (zip_fread(file.get(), bytes.data(), stat.size) != zip_int64_t(stat.size))
        return std::nullopt;
    return bytes;
}

// "B12" -> column 1; letters only.
int columnOfReference(QStringView reference)
{
    int column = 0;
    for (const QChar c : reference) {
        if (!c.isLetter())
            break;
        column = column * 26 + (c.toUpper().unicode() - u'A' + 1);
        if (column > 16384)
            return -1;
    }
    return column - 1;
}

void setCell(std::vector<QStringList> &rows, std::size_t row, int column, const QString &text)
{
    if (rows.size() <= row)
        rows.resize(row + 1);
    QStringList &cells = rows[row];
    while (cells.size() <= column)
        cells.append(QString());
    cells[column] = text;
}

void trimTrailingBlankRows(std::vector<QStringList> &rows)
{
    const auto blank = [](const QStringList &row) {
        return std::all_of(row.begin(), row.end(), [](const QString &cell) { return cell.trimmed().isEmpty(); });
    };
    while (!rows.empty() && blank(rows.back()))
        rows.pop_back();
}

// ---- Number formats --------------------------------------------------------------------

// Excel's built-in formats that a file names by number only.
QString builtInFormat(int id)
{
    switch (id) {
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 14: return QStringLiteral("m/d/yyyy");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("m/d/yyyy h:mm");
    case 37: return QStringLiteral("#,##0 ;(#,##0)");
    case 38: return QStringLiteral("#,##0 ;(#,##0)");
    case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 49: return QStringLiteral("@");
    default: return QStringLiteral("General");
    }
}

QString generalNumber(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    QString text = QString::number(value, 'g', 15);
    return text;
}

// The sections of a format, split at ';' outside quotes and escapes.
QStringList formatSections(const QString &code)
{
    QStringList sections;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u'\\' && i + 1 < code.size()) {
            current += c;
            current += code[++i];
            continue;
        }
        if (!quoted && c == u';') {
            sections.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    sections.append(current);
    return sections;
}

// A condition such as [<=9999999] at the start of a section; nothing when there is none.
std::optional<bool> conditionHolds(const QString &section, double value)
{
    const qsizetype open = section.indexOf(u'[');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = section.indexOf(u']', open);
    const QString inside = section.mid(open + 1, close - open - 1);
    static const char *const operators[] = {"<=", ">=", "<>", "<", ">", "="};
    for (const char *op : operators) {
        const QString o = QString::fromLatin1(op);
        if (!inside.startsWith(o))
            continue;
        bool ok = false;
        const double limit = inside.mid(o.size()).toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (o == QLatin1String("<="))
            return value <= limit;
        if (o == QLatin1String(">="))
            return value >= limit;
        if (o == QLatin1String("<>"))
            return value != limit;
        if (o == QLatin1String("<"))
            return value < limit;
        if (o == QLatin1String(">"))
            return value > limit;
        return value == limit;
    }
    return std::nullopt;
}

// The pieces of a section: literal text, or a format character.
struct Piece
{
    QString text;
    bool literal = false;
};

std::vector<Piece> pieces(const QString &section)
{
    std::vector<Piece> out;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'"') {
            const qsizetype end = section.indexOf(u'"', i + 1);
            out.push_back({section.mid(i + 1, (end < 0 ? section.size() : end) - i - 1), true});
            i = end < 0 ? section.size() : end;
        } else if (c == u'\\' && i + 1 < section.size()) {
            out.push_back({QString(section[++i]), true});
        } else if (c == u'[') {
            // Colours, conditions and locales show nothing; [h] is elapsed hours.
            const qsizetype end = section.indexOf(u']', i);
            const QString inside = section.mid(i + 1, end - i - 1).toLower();
            if (!inside.isEmpty() && (inside[0] == u'h' || inside[0] == u'm' || inside[0] == u's'))
                out.push_back({inside, false});
            i = end < 0 ? section.size() : end;
        } else if (c == u'_' && i + 1 < section.size()) {
            out.push_back({QStringLiteral(" "), true}); // the width of the next character
            ++i;
        } else if (c == u'*' && i + 1 < section.size()) {
            ++i; // fill to the column's width: nothing here
        } else {
            out.push_back({QString(c), false});
        }
    }
    return out;
}

bool isDateFormat(const std::vector<Piece> &parts)
{
    for (const Piece &p : parts) {
        if (p.literal)
            continue;
        const QChar c = p.text[0].toLower();
        if (c == u'y' || c == u'd' || c == u'm' || c == u'h' || c == u's')
            return true;
        if (c == u'0' || c == u'#' || c == u'?')
            return false;
    }
    return false;
}

QString formatDate(double value, const std::vector<Piece> &parts, bool date1904)
{
    // Day 60 of the 1900 system is 29 February 1900, which never was; days before it are
    // counted from one day later.
    const qint64 days = qint64(std::floor(value));
    QDate day = date1904 ? QDate(1904, 1, 1).addDays(days)
                         : (days < 61 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days));
    qint64 seconds = std::llround((value - std::floor(value)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        day = day.addDays(1);
    }
    const int hour = int(seconds / 3600), minute = int(seconds / 60 % 60), second = int(seconds % 60);

    // Runs of one letter: "mm" after an hour or before seconds is minutes.
    struct Run
    {
        QChar letter;
        int length = 0;
        QString literal;
    };
    std::vector<Run> runs;
    bool twelveHour = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Piece &p = parts[i];
        if (!p.literal && p.text.size() > 1) { // [h], [mm], [ss]
            runs.push_back({p.text[0], int(p.text.size()), {}});
            continue;
        }
        const QChar c = p.literal ? QChar() : p.text[0].toLower();
        if (!p.literal && (p.text == QLatin1String("A") || p.text == QLatin1String("a"))) {
            // AM/PM or A/P
            QString rest;
            std::size_t j = i;
            while (j < parts.size() && rest.size() < 5)
                rest += parts[j++].text;
            if (rest.startsWith(QLatin1String("AM/PM"), Qt::CaseInsensitive)) {
                runs.push_back({u'p', 5, {}});
                twelveHour = true;
                i += 4;
                continue;
            }
            if (rest.startsWith(QLatin1String("A/P"), Qt::CaseInsensitive)) {
                runs.push_back({u'p', 3, {}});
                twelveHour = true;
                i += 2;
                continue;
            }
        }
        if (!p.literal && (c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u's')) {
            if (!runs.empty() && runs.back().letter == c)
                ++runs.back().length;
            else
                runs.push_back({c, 1, {}});
        } else if (!p.literal && c == u'.' && !runs.empty() && runs.back().letter == u's') {
            runs.push_back({QChar(), 0, QString()}); // fractions of a second: left out
            while (i + 1 < parts.size() && parts[i + 1].text == QLatin1String("0"))
                ++i;
        } else {
            runs.push_back({QChar(), 0, p.text});
        }
    }
    const QLocale english = QLocale::c();
    QString out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run &r = runs[i];
        const auto padded = [&](int n) {
            return r.length >= 2 ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : QString::number(n);
        };
        if (r.letter.isNull()) {
            out += r.literal;
            continue;
        }
        if (r.letter == u'm') {
            bool minutes = false;
            for (std::size_t j = i; j-- > 0;) {
                if (!runs[j].letter.isNull()) {
                    minutes = runs[j].letter == u'h';
                    break;
                }
            }
            for (std::size_t j = i + 1; !minutes && j < runs.size(); ++j) {
                if (!runs[j].letter.isNull()) {
                    minutes = runs[j].letter == u's';
                    break;
                }
            }
            if (minutes)
                out += padded(minute);
            else if (r.length >= 4)
                out += english.monthName(day.month(), QLocale::LongFormat);
            else if (r.length == 3)
                out += english.monthName(day.month(), QLocale::ShortFormat);
            else
                out += padded(day.month());
        } else if (r.letter == u'y') {
            out += r.length <= 2 ? QStringLiteral("%1").arg(day.year() % 100, 2, 10, QLatin1Char('0'))
                                 : QString::number(day.year());
        } else if (r.letter == u'd') {
            if (r.length >= 4)
                out += english.dayName(day.dayOfWeek(), QLocale::LongFormat);
            else if (r.length == 3)
                out += english.dayName(day.dayOfWeek(), QLocale::ShortFormat);
            else
                out += padded(day.day());
        } else if (r.letter == u'h') {
            const int h = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            out += padded(h);
        } else if (r.letter == u's') {
            out += padded(second);
        } else if (r.letter == u'p') {
            out += r.length == 5 ? (hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"))
                                 : (hour < 12 ? QStringLiteral("A") : QStringLiteral("P"));
        }
    }
    return out;
}

// A number in a pattern of digit places: 0 (a digit, padded), # (a digit when there is
// one), ? (a digit or a blank), with literal text kept where it stands: "00000" gives a
// ZIP its leading zero, "(###) ###-####" a phone its punctuation.
QString formatDigits(double value, const std::vector<Piece> &parts, bool showSign)
{
    int intPlaces = 0, zeroPlaces = 0, decimals = 0;
    bool point = false, thousands = false, percent = false, exponent = false;
    for (const Piece &p : parts) {
        if (p.literal)
            continue;
        const QChar c = p.text[0];
        if (c == u'0' || c == u'#' || c == u'?') {
            if (point) {
                ++decimals;
            } else {
                ++intPlaces;
                zeroPlaces += c == u'0';
            }
        } else if (c == u'.') {
            point = true;
        } else if (c == u',' && !point && intPlaces > 0) {
            thousands = true;
        } else if (c == u'%') {
            percent = true;
        } else if (c == u'E' || c == u'e') {
            exponent = true;
        }
    }
    if (intPlaces + decimals == 0)
        return generalNumber(value);
    if (percent)
        value *= 100;
    if (exponent)
        return QString::number(value, 'E', decimals);
    const bool negative = value < 0;
    const QString number = QString::number(std::fabs(value), 'f', decimals);
    QString whole = number.section(u'.', 0, 0);
    const QString fraction = number.section(u'.', 1);
    if (whole == QLatin1String("0") && zeroPlaces == 0)
        whole.clear();
    while (whole.size() < zeroPlaces)
        whole.prepend(u'0');

    // The whole part laid into its places from the right; the first place also takes
    // every digit the places cannot hold.
    QString out;
    qsizetype used = 0;
    const auto emitDigit = [&] {
        out += whole[used++];
        const qsizetype left = whole.size() - used;
        if (thousands && left > 0 && left % 3 == 0)
            out += u',';
    };
    int place = 0;
    qsizetype fractionAt = 0;
    bool afterPoint = false;
    for (const Piece &p : parts) {
        if (p.literal) {
            out += p.text;
            continue;
        }
        const QChar c = p.text[0];
        if (c == u'0' || c == u'#' || c == u'?') {
            if (afterPoint) {
                out += fractionAt < fraction.size() ? fraction[fractionAt] : QChar(u'0');
                ++fractionAt;
                continue;
            }
            if (place == 0) {
                while (whole.size() - used > intPlaces)
                    emitDigit();
            }
            const qsizetype placesRight = intPlaces - place - 1;
            if (whole.size() - used > placesRight)
                emitDigit();
            else if (c == u'?')
                out += u' ';
            ++place;
        } else if (c == u'.') {
            afterPoint = true;
            if (decimals > 0)
                out += u'.';
        } else if (c != u',') {
            out += c;
        }
    }
    return negative && showSign ? u'-' + out : out;
}

} // namespace

QString formatSpreadsheetNumber(double value, const QString &code, bool date1904)
{
    if (!std::isfinite(value))
        return generalNumber(value);
    const QStringList sections = formatSections(code.isEmpty() ? QStringLiteral("General") : code);
    // The section for the value: by its conditions when it has any, else by its sign.
    qsizetype chosen = 0;
    bool signShown = true;
    bool conditional = false;
    for (qsizetype i = 0; i < sections.size() && i < 2; ++i) {
        if (const std::optional<bool> holds = conditionHolds(sections[i], value)) {
            conditional = true;
            if (*holds) {
                chosen = i;
                break;
            }
            chosen = i + 1;
        }
    }
    if (!conditional) {
        if (value < 0 && sections.size() > 1) {
            chosen = 1;
            signShown = false;
        } else if (value == 0 && sections.size() > 2) {
            chosen = 2;
        }
    }
    chosen = std::min(chosen, sections.size() - 1);
    const QString &section = sections[chosen];
    if (section.trimmed().compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 || section.contains(u'@'))
        return generalNumber(value);
    const std::vector<Piece> parts = pieces(section);
    if (isDateFormat(parts))
        return formatDate(value, parts, date1904);
    return formatDigits(conditional ? value : (signShown ? value : std::fabs(value)), parts, signShown || conditional);
}

namespace {

// ---- .xlsx -----------------------------------------------------------------------------

// The text of an element and its <t> descendants (a shared string's runs), without the
// phonetic guides.
QString runText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    bool phonetic = false;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (xml.name() == QLatin1String("rPh"))
                phonetic = true;
            else if (xml.name() == QLatin1String("t") && !phonetic) {
                text += xml.readElementText();
                --depth;
            }
        } else if (xml.isEndElement()) {
            --depth;
            if (xml.name() == QLatin1String("rPh"))
                phonetic = false;
        }
    }
    return text;
}

struct XlsxBook
{
    QStringList sheetNames;
    QStringList sheetParts;
    QStringList sharedStrings;
    std::vector<QString> cellFormats; // by the cell's style index
    bool date1904 = false;
};

QString partPath(const QString &target)
{
    if (target.startsWith(u'/'))
        return target.mid(1);
    QString path = QStringLiteral("xl/") + target;
    // "../" is rare, but allowed.
    while (path.contains(QLatin1String("/../"))) {
        const qsizetype at = path.indexOf(QLatin1String("/../"));
        const qsizetype before = path.lastIndexOf(u'/', at - 1);
        path.remove(before + 1, at + 4 - before - 1);
    }
    return path;
}

std::optional<XlsxBook> readXlsxBook(zip_t *zip)
{
    XlsxBook book;
    const std::optional<QByteArray> workbook = readPart(zip, QStringLiteral("xl/workbook.xml"));
    const std::optional<QByteArray> relations = readPart(zip, QStringLiteral("xl/_rels/workbook.xml.rels"));
    if (!workbook || !relations)
        return std::nullopt;
    QHash<QString, QString> targets;
    QXmlStreamReader rels(*relations);
    while (!rels.atEnd()) {
        rels.readNext();
        if (rels.isStartElement() && rels.name() == QLatin1String("Relationship"))
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           rels.attributes().value(QLatin1String("Target")).toString());
    }
    QXmlStreamReader xml(*workbook);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("workbookPr")) {
            const QStringView d = xml.attributes().value(QLatin1String("date1904"));
            book.date1904 = d == QLatin1String("1") || d == QLatin1String("true");
        } else if (xml.name() == QLatin1String("sheet")) {
            QString id;
            for (const QXmlStreamAttribute &a : xml.attributes()) {
                if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                    id = a.value().toString();
            }
            book.sheetNames.append(xml.attributes().value(QLatin1String("name")).toString());
            book.sheetParts.append(partPath(targets.value(id)));
        }
    }
    if (xml.hasError() || book.sheetNames.isEmpty())
        return std::nullopt;

    if (const std::optional<QByteArray> shared = readPart(zip, QStringLiteral("xl/sharedStrings.xml"))) {
        QXmlStreamReader strings(*shared);
        while (!strings.atEnd()) {
            strings.readNext();
            if (strings.isStartElement() && strings.name() == QLatin1String("si"))
                book.sharedStrings.append(runText(strings));
        }
    }
    if (const std::optional<QByteArray> styles = readPart(zip, QStringLiteral("xl/styles.xml"))) {
        QHash<int, QString> codes;
        QXmlStreamReader xmlStyles(*styles);
        bool inCellXfs = false;
        while (!xmlStyles.atEnd()) {
            xmlStyles.readNext();
            if (xmlStyles.isStartElement()) {
                const QXmlStreamAttributes a = xmlStyles.attributes();
                if (xmlStyles.name() == QLatin1String("numFmt"))
                    codes.insert(a.value(QLatin1String("numFmtId")).toInt(),
                                 a.value(QLatin1String("formatCode")).toString());
                else if (xmlStyles.name() == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (inCellXfs && xmlStyles.name() == QLatin1String("xf")) {
                    const int id = a.value(QLatin1String("numFmtId")).toInt();
                    book.cellFormats.push_back(codes.contains(id) ? codes.value(id) : builtInFormat(id));
                }
            } else if (xmlStyles.isEndElement() && xmlStyles.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
    }
    return book;
}

std::vector<QStringList> readXlsxSheet(const XlsxBook &book, const QByteArray &sheet)
{
    std::vector<QStringList> rows;
    QXmlStreamReader xml(sheet);
    std::size_t row = 0;
    int column = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const qint64 r = xml.attributes().value(QLatin1String("r")).toLongLong(&ok);
            row = ok && r > 0 && r <= 1048576 ? std::size_t(r - 1) : (rows.empty() && row == 0 ? 0 : row + 1);
            column = 0;
            if (rows.size() < row)
                rows.resize(row);
        } else if (xml.name() == QLatin1String("c")) {
            const QXmlStreamAttributes a = xml.attributes();
            const QStringView reference = a.value(QLatin1String("r"));
            if (!reference.isEmpty())
                column = columnOfReference(reference);
            if (column < 0)
                continue;
            const QString type = a.value(QLatin1String("t")).toString();
            const std::size_t style = a.value(QLatin1String("s")).toUInt();
            QString value;
            bool hasValue = false;
            int depth = 1;
            while (depth > 0 && !xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement()) {
                    if (xml.name() == QLatin1String("v")) {
                        value = xml.readElementText();
                        hasValue = true;
                    } else if (xml.name() == QLatin1String("is")) {
                        value = runText(xml);
                        hasValue = true;
                    } else {
                        ++depth;
                    }
                } else if (xml.isEndElement()) {
                    --depth;
                }
            }
            QString shown;
            if (!hasValue) {
                shown.clear();
            } else if (type == QLatin1String("s")) {
                shown = book.sharedStrings.value(value.toInt());
            } else if (type == QLatin1String("b")) {
                shown = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else if (type == QLatin1String("str") || type == QLatin1String("inlineStr") || type == QLatin1String("e")
                       || type == QLatin1String("d")) {
                shown = value;
            } else {
                bool ok = false;
                const double number = value.toDouble(&ok);
                const QString format =
                    style < book.cellFormats.size() ? book.cellFormats[style] : QStringLiteral("General");
                shown = ok ? formatSpreadsheetNumber(number, format, book.date1904) : value;
            }
            if (!shown.isEmpty())
                setCell(rows, row, column, shown);
            ++column;
        }
    }
    return rows;
}

WorkbookRead readXlsx(const QString &path, int sheet)
{
    WorkbookRead read;
    const Zip zip = openZip(path);
    const std::optional<XlsxBook> book = zip ? readXlsxBook(zip.get()) : std::nullopt;
    if (!book) {
        read.problem = messages::workbookBroken();
        return read;
    }
    read.sheets = book->sheetNames;
    const int chosen = std::clamp(sheet, 0, int(book->sheetParts.size()) - 1);
    const std::optional<QByteArray> part = readPart(zip.get(), book->sheetParts[chosen]);
    if (!part) {
        read.problem = messages::workbookBroken();
        return read;
    }
    read.rows = readXlsxSheet(*book, *part);
    trimTrailingBlankRows(read.rows);
    return read;
}

// ---- .ods ------------------------------------------------------------------------------

constexpr auto kTableNs = QLatin1String("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
constexpr auto kTextNs = QLatin1String("urn:oasis:names:tc:opendocument:xmlns:text:1.0");

// A paragraph's text as shown: runs of blanks (text:s), tabs and line breaks included.
QString paragraphText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters()) {
            text += xml.text();
        } else if (xml.isStartElement()) {
            ++depth;
            if (xml.namespaceUri() == kTextNs && xml.name() == QLatin1String("s")) {
                const int count = xml.attributes().value(kTextNs, QLatin1String("c")).toInt();
                text += QString(std::clamp(count, 1, 1000), u' ');
            } else if (xml.namespaceUri() == kTextNs && xml.name() == QLatin1String("tab")) {
                text += u'\t';
            } else if (xml.namespaceUri() == kTextNs && xml.name() == QLatin1String("line-break")) {
                text += u'\n';
            } else if (xml.namespaceUri() == kTextNs && xml.name() == QLatin1String("note")) {
                xml.skipCurrentElement();
                --depth;
            }
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    return text;
}

qint64 repeats(const QXmlStreamAttributes &a, QLatin1String name)
{
    const qint64 n = a.value(kTableNs, name).toLongLong();
    return std::clamp<qint64>(n, 1, kMostRepeats);
}

WorkbookRead readOds(const QString &path, int sheet)
{
    WorkbookRead read;
    const Zip zip = openZip(path);
    const std::optional<QByteArray> content = zip ? readPart(zip.get(), QStringLiteral("content.xml")) : std::nullopt;
    if (!content) {
        read.problem = messages::workbookBroken();
        return read;
    }
    QXmlStreamReader xml(*content);
    int table = -1;
    bool inChosen = false;
    std::size_t row = 0;
    qint64 rowRepeats = 1;
    QStringList cells;
    qint64 pendingCells = 0; // empty cells not yet added: kept only when a cell follows
    // Blank rows are counted, not stored: a sheet ends in a million of them.
    const auto endRow = [&] {
        if (cells.isEmpty()) {
            row += std::size_t(rowRepeats);
            return;
        }
        for (qint64 k = 0; k < rowRepeats; ++k) {
            if (read.rows.size() <= row)
                read.rows.resize(row + 1);
            read.rows[row++] = cells;
        }
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.namespaceUri() == kTableNs) {
            const QXmlStreamAttributes a = xml.attributes();
            if (xml.name() == QLatin1String("table")) {
                ++table;
                read.sheets.append(a.value(kTableNs, QLatin1String("name")).toString());
                inChosen = table == sheet;
            } else if (inChosen && xml.name() == QLatin1String("table-row")) {
                rowRepeats = repeats(a, QLatin1String("number-rows-repeated"));
                cells.clear();
                pendingCells = 0;
            } else if (inChosen
                       && (xml.name() == QLatin1String("table-cell")
                           || xml.name() == QLatin1String("covered-table-cell"))) {
                const qint64 times = repeats(a, QLatin1String("number-columns-repeated"));
                QStringList paragraphs;
                int depth = 1;
                while (depth > 0 && !xml.atEnd()) {
                    xml.readNext();
                    if (xml.isStartElement()) {
                        if (xml.namespaceUri() == kTextNs && xml.name() == QLatin1String("p"))
                            paragraphs.append(paragraphText(xml));
                        else if (xml.namespaceUri() == QLatin1String("urn:oasis:names:tc:opendocument:xmlns:office:1.0")
                                 && xml.name() == QLatin1String("annotation"))
                            xml.skipCurrentElement();
                        else
                            ++depth;
                    } else if (xml.isEndElement()) {
                        --depth;
                    }
                }
                const QString text = paragraphs.join(u'\n');
                if (text.isEmpty()) {
                    pendingCells += times;
                } else {
                    for (; pendingCells > 0 && cells.size() < 16384; --pendingCells)
                        cells.append(QString());
                    for (qint64 k = 0; k < times && cells.size() < 16384; ++k)
                        cells.append(text);
                }
            }
        } else if (xml.isEndElement() && xml.namespaceUri() == kTableNs) {
            if (inChosen && xml.name() == QLatin1String("table-row"))
                endRow();
            else if (xml.name() == QLatin1String("table"))
                inChosen = false;
        }
    }
    if (xml.hasError() || read.sheets.isEmpty()) {
        read = {};
        read.problem = messages::workbookBroken();
        return read;
    }
    if (sheet >= read.sheets.size())
        return readOds(path, 0);
    trimTrailingBlankRows(read.rows);
    return read;
}

// ---- .xls ------------------------------------------------------------------------------

QString xlsDate(const char *text)
{
    const QString value = QString::fromUtf8(text);
    const QDate day = QDate::fromString(value.left(10), Qt::ISODate);
    if (!day.isValid())
        return value;
    const QString date = QStringLiteral("%1/%2/%3").arg(day.month()).arg(day.day()).arg(day.year());
    return value.size() > 10 ? date + u' ' + value.mid(11, 5) : date;
}

WorkbookRead readXls(const QString &path, int sheet)
{
    WorkbookRead read;
    const void *handle = nullptr;
    if (freexl_open(QFile::encodeName(path).constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        read.problem = messages::workbookBroken();
        return read;
    }
    const std::unique_ptr<const void, int (*)(const void *)> close(handle, &freexl_close);
    unsigned int count = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        read.problem = messages::workbookBroken();
        return read;
    }
    for (unsigned short k = 0; k < count; ++k) {
        const char *name = nullptr;
        read.sheets.append(freexl_get_worksheet_name(handle, k, &name) == FREEXL_OK && name ? QString::fromUtf8(name)
                                                                                            : QString());
    }
    const unsigned short chosen = static_cast<unsigned short>(std::clamp(sheet, 0, int(count) - 1));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, chosen) != FREEXL_OK
        || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        read.problem = messages::workbookBroken();
        return read;
    }
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK)
                continue;
            QString shown;
            switch (cell.type) {
            case FREEXL_CELL_INT: shown = QString::number(cell.value.int_value); break;
            case FREEXL_CELL_DOUBLE: shown = generalNumber(cell.value.double_value); break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT: shown = QString::fromUtf8(cell.value.text_value); break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME: shown = xlsDate(cell.value.text_value); break;
            case FREEXL_CELL_TIME: shown = QString::fromUtf8(cell.value.text_value); break;
            default: break;
            }
            if (!shown.isEmpty())
                setCell(read.rows, r, c, shown);
        }
    }
    trimTrailingBlankRows(read.rows);
    return read;
}

bool startsWith(QByteArrayView head, const char *magic, qsizetype length)
{
    return head.size() >= length && std::memcmp(head.data(), magic, std::size_t(length)) == 0;
}

// Bytes that text never holds: controls other than tab, line ends and form feed.
bool looksBinary(QByteArrayView head)
{
    qsizetype controls = 0;
    for (const char byte : head) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f')
            ++controls;
    }
    return controls > 0 && controls * 100 >= head.size();
}

} // namespace

FileKindGuess guessFileKind(const QString &path, QByteArrayView head)
{
    const auto other = [](QString what) { return FileKindGuess{FileKind::Other, std::move(what)}; };
    if (startsWith(head, "PK\x03\x04", 4)) {
        const Zip zip = openZip(path);
        if (!zip)
            return other(messages::seemsZip());
        if (hasPart(zip.get(), "xl/workbook.xml"))
            return {FileKind::Xlsx, {}};
        if (hasPart(zip.get(), "mimetype")) {
            const QByteArray type = readPart(zip.get(), QStringLiteral("mimetype")).value_or(QByteArray());
            if (type.trimmed() == "application/vnd.oasis.opendocument.spreadsheet")
                return {FileKind::Ods, {}};
            if (type.contains("opendocument.text"))
                return other(messages::seemsTextDocument());
        }
        if (hasPart(zip.get(), "word/document.xml"))
            return other(messages::seemsTextDocument());
        return other(messages::seemsZip());
    }
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        const void *handle = nullptr;
        const bool xls = freexl_open_info(QFile::encodeName(path).constData(), &handle) == FREEXL_OK;
        if (handle)
            freexl_close(handle);
        return xls ? FileKindGuess{FileKind::Xls, {}} : other(messages::seemsOfficeDocument());
    }
    if (startsWith(head, "%PDF", 4))
        return other(messages::seemsPdf());
    if (startsWith(head, "\x89PNG", 4) || startsWith(head, "\xFF\xD8\xFF", 3) || startsWith(head, "GIF8", 4)
        || startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4)
        || (startsWith(head, "RIFF", 4) && head.size() >= 12 && head.sliced(8, 4) == QByteArrayView("WEBP")))
        return other(messages::seemsPicture());
    if (startsWith(head, "\x1F\x8B", 2) || startsWith(head, "7z\xBC\xAF", 4) || startsWith(head, "Rar!", 4))
        return other(messages::seemsArchive());
    if (startsWith(head, "SQLite format 3", 15))
        return other(messages::seemsDatabase());
    if (startsWith(head, "{\\rtf", 5))
        return other(messages::seemsTextDocument());
    // UTF-16 has a zero in every other byte of Latin text; anything else with controls is no text.
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i + 1 < head.size(); i += 2) {
        evenZeros += head[i] == 0;
        oddZeros += head[i + 1] == 0;
    }
    const bool utf16 = (oddZeros * 10 >= head.size() / 2 * 3 && evenZeros * 10 < oddZeros)
        || (evenZeros * 10 >= head.size() / 2 * 3 && oddZeros * 10 < evenZeros);
    if (!utf16 && looksBinary(head))
        return other(messages::seemsNoText());
    return {};
}

WorkbookRead readWorkbook(const QString &path, FileKind kind, int sheet)
{
    switch (kind) {
    case FileKind::Xlsx: return readXlsx(path, sheet);
    case FileKind::Ods: return readOds(path, sheet);
    case FileKind::Xls: return readXls(path, sheet);
    case FileKind::Text:
    case FileKind::Other: break;
    }
    WorkbookRead read;
    read.problem = messages::workbookBroken();
    return read;
}

} // namespace kelvory::import
