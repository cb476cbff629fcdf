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

Parsed parse(QStringView text)
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
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            number += '-';
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
    if (i < text.size()) {
        const QChar e = text[i].toUpper();
        if (e == QLatin1Char('E') || e == QLatin1Char('D')) {
            qsizetype j = i + 1;
            std::string exponent = "e";
            if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
                exponent += static_cast<char>(text[j].unicode());
                ++j;
            }
            bool expDigits = false;
            for (; j < text.size() && isDigit(text[j]); ++j) {
                exponent += static_cast<char>(text[j].unicode());
                expDigits = true;
            }
            if (expDigits) {
                number += exponent;
                end = j;
            }
        }
    }

    Parsed parsed;
    parsed.hasDigits = true;
    parsed.consumed = end;
    const char *first = number.data();
    const char *last = first + number.size();
    const auto [ptr, error] = std::from_chars(first, last, parsed.value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: as far as a comparison goes, infinity or zero.
        const auto e = number.find('e');
        const bool tiny = e != std::string::npos && number.find('-', e) != std::string::npos;
        const bool negative = number[0] == '-';
        parsed.value = tiny ? 0.0 : (negative ? -1 : 1) * std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        parsed.value = 0;
    }
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
    return parse(compact).value;
}

std::optional<double> readWholeNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    const Parsed parsed = parse(trimmed);
    if (!parsed.hasDigits || parsed.consumed != trimmed.size())
        return std::nullopt;
    return parsed.value;
}

} // namespace kelvory
