// The version-number reader: whatever the database's version column holds, reading it
// ends, and the two readers agree with each other and with the rules they promise.

#include "FuzzSupport.h"

#include "startup/NumberText.h"

#include <QLocale>

#include <cmath>
#include <cstring>
#include <optional>

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

// A number as Qt writes it, in the form the readers take: no sign, and an exponent of E
// and digits. Nothing when the form needs a negative exponent, which the readers do not take.
std::optional<QString> unsignedForm(double magnitude, char format)
{
    QString text = QString::number(magnitude, format, QLocale::FloatingPointShortest);
    if (text.contains(QLatin1String("e-")))
        return std::nullopt;
    text.replace(QLatin1String("e+"), QLatin1String("E"));
    return text;
}

void readsBack(const QString &text, double value)
{
    check(same(readLeadingNumber(text), value), "a number that Qt wrote is read back as written by readLeadingNumber",
          [&] { return shown(text) + QStringLiteral(" read as ") + number(readLeadingNumber(text)); });
    const std::optional<double> whole = readWholeNumber(text);
    check(whole && same(*whole, value), "a number that Qt wrote is read back as written by readWholeNumber", [&] {
        return shown(text) + (whole ? QStringLiteral(" read as ") + number(*whole) : QStringLiteral(" refused"));
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzz::textFromBytes(data, size, false);
    const double leading = readLeadingNumber(text);

    // Blanks, tabs and line feeds anywhere change nothing: neither taken out nor put in.
    QString compact = text;
    compact.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    check(same(readLeadingNumber(compact), leading), "blanks taken out change nothing", [&] {
        return shown(text) + QStringLiteral(" read as ") + number(leading) + QStringLiteral(", without its blanks as ")
            + number(readLeadingNumber(compact));
    });
    QString spread;
    spread.reserve(text.size() * 2 + 1);
    static const char16_t blanks[] = {u' ', u'\t', u'\n'};
    for (qsizetype i = 0; i < text.size(); ++i) {
        spread.append(QChar(blanks[i % 3]));
        spread.append(text[i]);
    }
    spread.append(QLatin1Char(' '));
    check(same(readLeadingNumber(spread), leading), "blanks put in change nothing", [&] {
        return shown(text) + QStringLiteral(" read as ") + number(leading) + QStringLiteral(", spread out as ")
            + number(readLeadingNumber(spread));
    });

    // Reading stops at a character that cannot continue a number: what follows it is not read.
    const QString cut = text + QStringLiteral(",9");
    check(same(readLeadingNumber(cut), leading), "nothing after a comma is read", [&] {
        return shown(cut) + QStringLiteral(" read as ") + number(readLeadingNumber(cut)) + QStringLiteral(", not ")
            + number(leading);
    });

    // A sign is no part of a version number: a text that begins with one reads 0.
    check(readLeadingNumber(QLatin1Char('-') + text) == 0.0 && readLeadingNumber(QLatin1Char('+') + text) == 0.0,
          "a text that begins with a sign reads 0", [&] { return shown(text); });

    // What readWholeNumber accepts, readLeadingNumber reads the same once the blanks
    // around it are gone, but for the sign that only a whole number may carry; and blanks
    // around it change nothing.
    const std::optional<double> whole = readWholeNumber(text);
    if (whole) {
        QString trimmed = text.trimmed();
        double sign = 1;
        if (trimmed.startsWith(QLatin1Char('-')) || trimmed.startsWith(QLatin1Char('+'))) {
            sign = trimmed.startsWith(QLatin1Char('-')) ? -1 : 1;
            trimmed.remove(0, 1);
        }
        check(same(sign * readLeadingNumber(trimmed), *whole), "readWholeNumber agrees with readLeadingNumber", [&] {
            return shown(text) + QStringLiteral(" whole ") + number(*whole) + QStringLiteral(", leading ")
                + number(readLeadingNumber(trimmed));
        });
    }
    const QString padded = QStringLiteral(" \t") + text + QStringLiteral("\r\n ");
    const std::optional<double> paddedWhole = readWholeNumber(padded);
    check(whole.has_value() == paddedWhole.has_value() && (!whole || same(*whole, *paddedWhole)),
          "blanks around a whole number change nothing", [&] { return shown(text); });

    // Numbers written by Qt, in every form the readers take, read back exactly: the bytes
    // of the input taken as a double and as a whole number.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        if (std::isfinite(value)) {
            const double magnitude = std::fabs(value);
            for (char format : {'g', 'e', 'f'}) {
                if (const std::optional<QString> written = unsignedForm(magnitude, format)) {
                    readsBack(*written, magnitude);
                    const std::optional<double> negative = readWholeNumber(QLatin1Char('-') + *written);
                    check(negative && same(*negative, -magnitude), "a whole number keeps its minus sign",
                          [&] { return shown(*written); });
                }
            }
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
