#include "HostileTexts.h"

namespace kelvory::test {

namespace {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

// 100,000 UTF-16 code units of everything at once, no surrogate pair cut in two.
QString hundredThousand()
{
    const QString piece = utf8("O'Brien \"Doc\" \\ ; -- /* */ \t\x01\r\n \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D e\xCC\x81 "
                               "\xF0\x9F\x91\x8D ");
    QString text;
    while (text.size() < 100000)
        text += piece;
    text.truncate(100000);
    if (text.back().isHighSurrogate())
        text.back() = QLatin1Char('x');
    return text;
}

} // namespace

QList<HostileText> storableHostileTexts()
{
    return {
        {"single quotes", utf8("O'Brien's 'quoted' ''"), {}},
        {"double quotes", utf8("the \"Doc\" \"\" Smith\""), {}},
        {"both quotes", utf8("'\"'\"' \"'\""), {}},
        {"backslashes", utf8("C:\\Users\\club\\ \\' \\\" \\\\ \\0 \\n \\x00 end\\"), {}},
        {"semicolons", utf8("a; b;; ;c; select 1;"), {}},
        {"line comment", utf8("Smith -- the elder"), {}},
        {"block comment", utf8("Smith /* note */ Jr /* never closed"), {}},
        {"statement: delete", utf8("'); delete from members; --"), {}},
        {"statement: update all", utf8("x', name = 'pwned', address = 'x' where 1=1; --"), {}},
        {"statement: always true", utf8("' or '1'='1"), {}},
        {"statement: drop", utf8("\"); drop table members; drop table changeHistory; --"), {}},
        {"placeholders", utf8("? ?? :name @p $1 %s %d {0} %1"), {}},
        {"tab", utf8("a\tb\t"), {}},
        {"control 0x01, 0x1f, 0x7f",
         utf8("a\x01"
              "b\x1f"
              "c\x7f"),
         {}},
        {"escape sequence", utf8("\x1b[31mred\x1b[0m \x1b]0;title\x07"), {}},
        {"CR", utf8("first\rsecond\r"), {}},
        {"LF", utf8("first\nsecond\n"), {}},
        {"CR LF", utf8("first\r\nsecond"), {}},
        {"Hebrew with RLO",
         utf8("\xE2\x80\xAE\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D\xE2\x80\xAC 12"),
         {}},
        {"Arabic with LRO",
         utf8("\xE2\x80\xAD\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD9\xA1\xD9\xA2\xE2\x80\xAC"),
         {}},
        {"combining marks",
         utf8("e\xCC\x81 n\xCC\x83 a\xCC\x88\xCC\x84 Z\xCD\x91\xCD\x92\xCD\x9B\xCC\x80\xCC\x81"),
         {}},
        {"emoji",
         utf8("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD \xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F"
              "\x91\xA7 \xF0\x9F\x87\xBA\xF0\x9F\x87\xB8 \xF0\x9F\x98\x80"),
         {}},
        // Zero-width space, no-break space, line separator.
        {"invisible characters",
         utf8("a\xE2\x80\x8B"
              "b\xC2\xA0"
              "c\xE2\x80\xA8"
              "d"),
         {}},
        // U+FDD0, U+FDEF, U+1FFFE, U+10FFFF.
        {"other noncharacters", utf8("\xEF\xB7\x90\xEF\xB7\xAF \xF0\x9F\xBF\xBE \xF4\x8F\xBF\xBF"), {}},
        {"byte order mark inside", QStringLiteral("Ad") + QChar(0xFEFF) + QStringLiteral("ams"), {}},
        {"blanks around", utf8("  padded  "), {}},
        {"100,000 characters", hundredThousand(), {}},
    };
}

QList<HostileText> unstorableHostileTexts()
{
    const QChar high(0xD83D);
    const QChar low(0xDC4D);
    return {
        {"null character", QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QStringLiteral("a null character")},
        {"lone high surrogate", QStringLiteral("a") + high + QStringLiteral("b"),
         QStringLiteral("a broken character code")},
        {"lone low surrogate", QString(low) + QStringLiteral("b"), QStringLiteral("a broken character code")},
        {"reversed pair", QStringLiteral("x") + low + high, QStringLiteral("a broken character code")},
        {"byte order mark at start", QChar(0xFEFF) + QStringLiteral("Adams"),
         QStringLiteral("an invisible character (U+FEFF) at its start")},
        {"swapped byte order mark at start", QChar(0xFFFE) + QStringLiteral("Adams"),
         QStringLiteral("a code that is no character (U+FFFE)")},
        {"U+FFFE inside", QStringLiteral("Ad") + QChar(0xFFFE) + QStringLiteral("ams"),
         QStringLiteral("a code that is no character (U+FFFE)")},
        {"U+FFFF", QStringLiteral("Adams") + QChar(0xFFFF), QStringLiteral("a code that is no character (U+FFFF)")},
    };
}

} // namespace kelvory::test
