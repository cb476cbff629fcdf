// The version-number reader: whatever the database's version column holds, reading it
// ends, and the two readers agree with each other and with the rules they promise.

#include "FuzzSupport.h"

#include "startup/NumberText.h"

#include <QLocale>

#include <cmath>
#include <cstring>

using namespace kelvory;
using fuzz::check;
using fuzz::shown;

namespace {

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

void readsBack(const QString &text, double value)
{
    check(same(readLeadingNumber(text), value), "a number that Qt wrote is read back as written by readLeadingNumber",
          [&] { return shown(text) + QStringLiteral(" read as ") + number(readLeadingNumber(text)); });
    const std::optional<double> whole = readWholeNumber(text);
    check(whole && same(*whole, value), "a number that Qt wrote is read back as written by readWholeNumber",
          [&] { return shown(text) + (whole ? QStringLiteral(" read as ") + number(*whole) : QStringLiteral(" refused")); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzz::textFromBytes(data, size, false);
    const double leading = readLeadingNumber(text);

    // Blanks, tabs and line feeds anywhere change nothing: neither taken out nor put in.
    QString compact = text;
    compact.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    check(same(readLeadingNumber(compact), leading), "blanks taken out change nothing",
          [&] { return shown(text) + QStringLiteral(" read as ") + number(leading) + QStringLiteral(", without its blanks as ")
                    + number(readLeadingNumber(compact)); });
    QString spread;
    spread.reserve(text.size() * 2 + 1);
    static const char16_t blanks[] = {u' ', u'\t', u'\n'};
    for (qsizetype i = 0; i < text.size(); ++i) {
        spread.append(QChar(blanks[i % 3]));
        spread.append(text[i]);
    }
    spread.append(QLatin1Char(' '));
    check(same(readLeadingNumber(spread), leading), "blanks put in change nothing",
          [&] { return shown(text) + QStringLiteral(" read as ") + number(leading) + QStringLiteral(", spread out as ")
                    + number(readLeadingNumber(spread)); });

    // Reading stops at a character that cannot continue a number: what follows it is not read.
    const QString cut = text + QStringLiteral(",9");
    check(same(readLeadingNumber(cut), leading), "nothing after a comma is read",
          [&] { return shown(cut) + QStringLiteral(" read as ") + number(readLeadingNumber(cut)) + QStringLiteral(", not ")
                    + number(leading); });

    // What readWholeNumber accepts, readLeadingNumber reads the same, once the blanks
    // around it are gone; and blanks around it change nothing.
    const std::optional<double> whole = readWholeNumber(text);
    if (whole) {
        const QString trimmed = text.trimmed();
        check(same(readLeadingNumber(trimmed), *whole), "readWholeNumber agrees with readLeadingNumber",
              [&] { return shown(text) + QStringLiteral(" whole ") + number(*whole) + QStringLiteral(", leading ")
                        + number(readLeadingNumber(trimmed)); });
    }
    const QString padded = QStringLiteral(" \t") + text + QStringLiteral("\r\n ");
    const std::optional<double> paddedWhole = readWholeNumber(padded);
    check(whole.has_value() == paddedWhole.has_value() && (!whole || same(*whole, *paddedWhole)),
          "blanks around a whole number change nothing", [&] { return shown(text); });

    // Numbers written by Qt, in every form it writes them, read back exactly: the bytes
    // of the input taken as a double and as a whole number.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        if (std::isfinite(value)) {
            readsBack(QString::number(value, 'g', QLocale::FloatingPointShortest), value);
            readsBack(QString::number(value, 'e', QLocale::FloatingPointShortest), value);
            readsBack(QString::number(value, 'f', QLocale::FloatingPointShortest), value);
        }
        std::uint64_t whole64;
        std::memcpy(&whole64, data, sizeof whole64);
        // Within 2^53 every whole number is exactly a double.
        const std::uint64_t exact = whole64 & ((std::uint64_t(1) << 53) - 1);
        const double expected = static_cast<double>(exact);
        readsBack(QStringLiteral("&H") + QString::number(exact, 16).toUpper(), expected);
        readsBack(QStringLiteral("&h") + QString::number(exact, 16), expected);
        readsBack(QStringLiteral("&O") + QString::number(exact, 8), expected);
        readsBack(QString::number(exact), expected);
    }
    return 0;
}
