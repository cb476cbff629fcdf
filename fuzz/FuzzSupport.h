#pragma once

// Shared by the fuzz targets. A broken property aborts, so that libFuzzer keeps the input
// that broke it as a crash artifact and the run fails.

#include "output/CellSource.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kelvory::fuzz {

// A text as it can be read in a report: printable ASCII as is, everything else escaped.
inline QString shown(QStringView text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7f && u != u'"' && u != u'\\')
            out.append(c);
        else
            out.append(QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QLatin1Char('0')));
    }
    out.append(QLatin1Char('"'));
    return out;
}

[[noreturn]] inline void fail(const char *property, const QString &details)
{
    std::fprintf(stderr, "\nPROPERTY BROKEN: %s\n%s\n", property, qUtf8Printable(details));
    std::fflush(stderr);
    std::abort();
}

// The details are only put together when the property is broken: the fuzzer runs the
// checks some hundred thousand times a second.
template <typename Describe> inline void check(bool holds, const char *property, Describe describe)
{
    if (!holds)
        fail(property, describe());
}

inline void check(bool holds, const char *property)
{
    if (!holds)
        fail(property, QString());
}

// The fuzzer's bytes as text: UTF-8 (broken sequences become U+FFFD), or, when `raw` is
// set, UTF-16 as it lies in memory, so that broken surrogates reach the code as well.
inline QString textFromBytes(const std::uint8_t *data, std::size_t size, bool raw)
{
    if (raw) {
        // Copied, not cast: the fuzzer's bytes need not be aligned for char16_t.
        QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
        if (!text.isEmpty())
            std::memcpy(text.data(), data, (size / 2) * sizeof(char16_t));
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// A grid from the fuzzer's bytes. Byte 0 holds options: bit 7 selects UTF-16 text, the
// other bits are the target's own. Byte 1 is the column count: 0 to 7, or, from 8 on, as
// many columns as the longest row has cells. The rest is the cells: rows separated by
// U+001E, cells by U+001F.
struct GridInput
{
    std::uint8_t options = 0;
    output::TableSource grid;
};

inline GridInput gridFromBytes(const std::uint8_t *data, std::size_t size)
{
    GridInput input;
    if (size < 2)
        return input;
    input.options = data[0];
    const int cols = data[1] < 8 ? data[1] : -1;
    const QString text = textFromBytes(data + 2, size - 2, (input.options & 0x80) != 0);
    std::vector<QStringList> rows;
    if (!text.isEmpty()) {
        for (const QString &row : text.split(QChar(0x1e)))
            rows.push_back(row.split(QChar(0x1f)));
    }
    input.grid = output::TableSource(std::move(rows), cols);
    return input;
}

} // namespace kelvory::fuzz
