#include "startup/NumberText.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kelvory {

namespace {

bool isIgnoredBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int digitValue(QChar c, int radix)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < radix ? value : -1;
}

struct Parsed
{
    double value = 0;
    qsizetype consumed = 0; // characters that belong to the number
    bool hasDigits = false;
};

Parsed parseRadix(QStringView text, int radix)
{
    Parsed parsed;
    qsizetype i = 2; // past "&H" or "&O"
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], radix);
        if (digit < 0)
            break;
        parsed.value = parsed.value * radix + digit;
        parsed.hasDigits = true;
    }
    parsed.consumed = i;
    return parsed;
}

// The power of ten of a decimal number's leading digit; only its sign matters, to tell a
// number too large for a double from one too small.
long long leadingPowerOfTen(const std::string &number)
{
    const std::size_t point = number.find('.');
    const std::size_t e = number.find('e');
    const std::string mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        for (std::size_t k = e + 1; k < number.size(); ++k)
            exponent = qMin(exponent * 10 + (number[k] - '0'), 1000000LL);
    }
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string::npos)
        return 0;
    const std::size_t pointAt = point == std::string::npos ? mantissa.size() : point;
    const long long power =
        first < pointAt ? static_cast<long long>(pointAt - first) - 1 : -static_cast<long long>(first - pointAt);
    return power + exponent;
}

// Digits with at most one "." and an optional exponent of E and digits. No sign: a text
// that begins with one does not begin with a number. allowSign lets a leading + or - in,
// for a text that must be a number as a whole.
Parsed parse(QStringView text, bool allowSign)
{
    if (text.size() >= 2 && text[0] == QLatin1Char('&')) {
        const QChar kind = text[1].toUpper();
        if (kind == QLatin1Char('H'))
            return parseRadix(text, 16);
        if (kind == QLatin1Char('O'))
            return parseRadix(text, 8);
        return {};
    }

    std::string number; // ASCII only, read in the "C" locale by from_chars
    qsizetype i = 0;
    bool negative = false;
    if (allowSign && i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    bool digits = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        number += static_cast<char>(text[i].unicode());
        digits = true;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            number += static_cast<char>(text[i].unicode());
            digits = true;
        }
    }
    if (!digits)
        return {};
    qsizetype end = i;
    if (i + 1 < text.size() && text[i].toUpper() == QLatin1Char('E') && isDigit(text[i + 1])) {
        number += 'e';
        for (end = i + 1; end < text.size() && isDigit(text[end]); ++end)
            number += static_cast<char>(text[end].unicode());
    }

    Parsed parsed;
    parsed.hasDigits = true;
    parsed.consumed = end;
    const char *first = number.data();
    const char *last = first + number.size();
    const auto [ptr, error] = std::from_chars(first, last, parsed.value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: as far as a comparison goes, infinity or zero.
        parsed.value = leadingPowerOfTen(number) < 0 ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        parsed.value = 0;
    }
    if (negative)
        parsed.value = -parsed.value;
    return parsed;
}

} // namespace

double readLeadingNumber(QStringView text)
{
    QString compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (!isIgnoredBlank(c))
            compact.append(c);
    }
    return parse(compact, false).value;
}

std::optional<double> readWholeNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    const Parsed parsed = parse(trimmed, true);
    if (!parsed.hasDigits || parsed.consumed != trimmed.size())
        return std::nullopt;
    return parsed.value;
}

} // namespace kelvory
