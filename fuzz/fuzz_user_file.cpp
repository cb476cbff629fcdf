// The User.txt reader: whatever bytes the file holds, reading it ends with a name fit to
// journal under (never empty, on one line, storable) or with the reason there is none; and
// a name the first run writes is read back as typed, up to its first double quote, also
// once an editor has saved the file again as UTF-8 or UTF-16 with a byte order mark.

#include "FuzzSupport.h"

#include "database/StorableText.h"
#include "startup/Admission.h"

#include <QByteArray>
#include <QStringEncoder>

#include <algorithm>

using namespace kelvory;
using fuzz::check;
using fuzz::shown;

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

void readsAnyText(const QString &text)
{
    const std::optional<QString> item = admission::firstItem(text);
    if (!item)
        return;
    check(text.contains(*item), "the first item is a piece of the text",
          [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
    check(std::none_of(item->begin(), item->end(), isLineEnd), "the first item holds no line end",
          [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
    qsizetype start = 0;
    while (start < text.size() && (text[start] == QLatin1Char(' ') || text[start] == QLatin1Char('\t')))
        ++start;
    if (start < text.size() && text[start] == QLatin1Char('"')) {
        check(!item->contains(QLatin1Char('"')), "a quoted item ends at the next double quote",
              [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
        check(text.mid(start + 1).startsWith(*item), "a quoted item begins after its quote",
              [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
    } else {
        check(!item->contains(QLatin1Char(',')), "an unquoted item ends at the first comma",
              [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
        check(text.mid(start).startsWith(*item), "an unquoted item begins after the leading blanks",
              [&] { return shown(text) + QStringLiteral(" gave ") + shown(*item); });
    }
}

// The first run refuses a name it cannot store and an empty one; a name with a line end
// cannot be typed into the one-line prompt. Every other name goes into User.txt.
void roundTrip(const QString &typed)
{
    if (typed.isEmpty() || std::any_of(typed.begin(), typed.end(), isLineEnd)
        || !database::unstorableCharacter(typed).isEmpty())
        return;
    const QByteArray content = admission::userFileContent(typed);
    check(content.startsWith('"') && content.endsWith("\"\r\n"), "User.txt is the name in double quotes, then CR LF",
          [&] {
              return shown(typed) + QStringLiteral(" written as ") + QString::fromLatin1(content.toPercentEncoding());
          });
    const std::optional<QString> read = admission::firstNameFromContent(content);
    const qsizetype quote = typed.indexOf(QLatin1Char('"'));
    const QString expected = quote < 0 ? typed : typed.left(quote);
    if (expected.isEmpty()) {
        check(!read, "a name that begins with a double quote reads as no name",
              [&] { return shown(typed) + QStringLiteral(" read back as ") + shown(*read); });
        return;
    }
    check(read && *read == expected, "a written name is read back up to its first double quote", [&] {
        return shown(typed) + QStringLiteral(" read back as ") + (read ? shown(*read) : QStringLiteral("no name"));
    });

    const QString line = QLatin1Char('"') + typed + QStringLiteral("\"\r\n");
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::WriteBom);
    QStringEncoder utf16le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder utf16be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    for (QStringEncoder *encode : {&utf8, &utf16le, &utf16be}) {
        const QByteArray saved = encode->encode(line);
        const std::optional<QString> again = admission::firstNameFromContent(saved);
        check(again == read, "a name saved again with a byte order mark reads as before", [&] {
            return shown(typed) + QStringLiteral(" saved as ") + QString::fromLatin1(saved.toPercentEncoding())
                + QStringLiteral(" read back as ") + (again ? shown(*again) : QStringLiteral("no name"));
        });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Any bytes in the file: a name, when there is one, is never empty, never spans lines
    // and can be stored; when there is none, the reader says why.
    const QByteArray content =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const admission::UserFileName read = admission::readUserFileName(content);
    const std::optional<QString> name = admission::firstNameFromContent(content);
    check(name.has_value() == (read.problem == admission::UserFileName::Problem::None),
          "a name is given exactly when the reader finds no problem");
    check(read.character.isEmpty() == (read.problem != admission::UserFileName::Problem::Unstorable),
          "an unstorable name is told by its character");
    if (name) {
        check(*name == read.name, "both readers give the same name");
        check(!name->isEmpty(), "a name read from User.txt is never empty");
        check(std::none_of(name->begin(), name->end(), isLineEnd), "a name read from User.txt holds no line end",
              [&] { return shown(*name); });
        check(database::unstorableCharacter(*name).isEmpty(), "a name read from User.txt can be stored",
              [&] { return shown(*name); });
    }

    const QString utf8 = fuzz::textFromBytes(data, size, false);
    const QString utf16 = fuzz::textFromBytes(data, size, true);
    readsAnyText(utf8);
    readsAnyText(utf16);
    roundTrip(utf8);
    roundTrip(utf16);
    return 0;
}
