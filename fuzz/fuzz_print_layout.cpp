// The print line layout: whatever the grid holds and however wide its characters print,
// the layout ends; every field is printed once, in order, at its own column and never
// over the text before it; a line is broken only where a field would start inside text
// already printed; and the record id never appears.

#include "FuzzSupport.h"

#include "database/MemberFields.h"
#include "output/Printout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

using namespace kelvory;
using fuzz::check;
using fuzz::shown;

namespace {

constexpr int kFields = members::kMemberFieldCount;

int printColumn(int field)
{
    return kelvory::output::printColumn(field);
}

struct Expected
{
    int field;
    QStringView text;
};

bool within(QStringView piece, QStringView cell)
{
    return !piece.isEmpty() && piece.data() >= cell.data() && piece.data() + piece.size() <= cell.data() + cell.size();
}

// How many print columns a text takes: one per character as on a test's fixed grid, a
// width of its own for every character as a proportional face has, or a stretched grid.
output::TextWidth widthFrom(std::uint8_t options, const std::uint8_t *data, std::size_t size)
{
    switch ((options >> 1) & 3) {
    case 1: {
        std::array<double, 16> widths{};
        for (std::size_t i = 0; i < widths.size(); ++i)
            widths[i] = (i + 2 < size ? data[i + 2] : i) / 32.0; // 0 to 8 columns a character
        return [widths](QStringView text) {
            double sum = 0;
            for (QChar c : text)
                sum += widths[c.unicode() % widths.size()];
            return sum;
        };
    }
    case 2: {
        const double scale = (size > 2 ? data[2] : 0) / 16.0;
        return [scale](QStringView text) { return text.size() * scale; };
    }
    default: return [](QStringView text) { return static_cast<double>(text.size()); };
    }
}

class LayoutReader
{
public:
    LayoutReader(const output::PrintLayout &layout, const output::CellSource &grid, const output::TextWidth &width)
        : m_layout(layout), m_grid(grid), m_width(width)
    {
    }

    std::span<const output::PrintItem> nextLine(const char *what)
    {
        check(m_line < m_layout.lineCount(), "the layout holds every line it should", [&] {
            return QStringLiteral("%1 lines, the next one wanted for %2")
                .arg(m_layout.lineCount())
                .arg(QLatin1String(what));
        });
        return m_layout.line(m_line++);
    }

    void expectRule(QChar c, qsizetype length, const char *what)
    {
        const auto items = nextLine(what);
        check(items.size() == 1 && items[0].column == 1 && items[0].text == QString(length, c),
              "a rule is one run of its character at column 1", [&] { return QString::fromLatin1(what); });
    }

    void expectEmptyLine(const char *what) { check(nextLine(what).empty(), "the closing line is empty"); }

    void expectRow(int row)
    {
        const int fields = std::min(m_grid.cols(), kFields);
        std::vector<Expected> expected;
        for (int f = 0; f < fields; ++f) {
            const QStringView text = output::trimBlanks(m_grid.cell(row, f));
            if (!text.isEmpty())
                expected.push_back({f, text});
        }
        // Nothing but blanks, and only blanks, leaves a cell's ends.
        for (const Expected &e : expected)
            check(!e.text.startsWith(u' ') && !e.text.endsWith(u' ') && m_grid.cell(row, e.field).contains(e.text),
                  "a field is its cell without the blanks at its ends", [&] { return shown(e.text); });

        auto describe = [&] {
            QString out = QStringLiteral("row %1:").arg(row);
            for (int f = 0; f < m_grid.cols(); ++f)
                out += QLatin1Char(' ') + shown(m_grid.cell(row, f));
            return out;
        };

        std::size_t next = 0;
        auto line = nextLine("a row");
        std::size_t onLine = 0;
        for (;;) {
            for (; onLine < line.size(); ++onLine) {
                const output::PrintItem &item = line[onLine];
                check(next < expected.size(), "every printed piece is one of the row's fields", describe);
                const Expected &e = expected[next];
                check(item.column == printColumn(e.field), "a field lands at its own column", describe);
                check(item.text == e.text && item.text.data() == e.text.data(),
                      "every field is printed once, whole and in order", describe);
                // The record id, and any column past the comment, is never printed.
                for (int f = kFields; f < m_grid.cols(); ++f)
                    check(!within(item.text, m_grid.cell(row, f)) || within(item.text, e.text),
                          "the record id never appears", describe);
                if (onLine > 0) {
                    const output::PrintItem &before = line[onLine - 1];
                    check(before.column + m_width(before.text) <= item.column,
                          "a field starts at or after the end of the text before it", describe);
                }
                ++next;
            }
            if (next == expected.size())
                break;
            // The line ends before the next field: only because the last text reached past
            // the column of the field after it.
            check(onLine > 0, "a line is broken only after text that reaches past a column", describe);
            const Expected &last = expected[next - 1];
            check(printColumn(last.field) + m_width(last.text) > printColumn(last.field + 1),
                  "a line is broken only where a field would start inside printed text", describe);
            line = nextLine("a row's next part");
            onLine = 0;
        }
        // After the row's last text, one more line only when that text reaches past a later column.
        if (!expected.empty() && expected.back().field + 1 < kFields) {
            const Expected &last = expected.back();
            if (printColumn(last.field) + m_width(last.text) > printColumn(last.field + 1))
                check(nextLine("the break after a row's last text").empty(),
                      "the line after a row's last text is empty", describe);
        }
    }

    bool atEnd() const { return m_line == m_layout.lineCount(); }

private:
    const output::PrintLayout &m_layout;
    const output::CellSource &m_grid;
    const output::TextWidth &m_width;
    std::size_t m_line = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const fuzz::GridInput input = fuzz::gridFromBytes(data, size);
    const output::CellSource &grid = input.grid;
    const bool withLines = (input.options & 1) != 0;
    const output::TextWidth width = widthFrom(input.options, data, size);

    const output::PrintLayout layout = output::layoutRoster(grid, withLines, width);

    LayoutReader reader(layout, grid, width);
    if (grid.rows() > 0)
        reader.expectRow(0);
    reader.expectRule(QLatin1Char('_'), output::kRuleLength, "the rule under the headings");
    for (int row = 1; row < grid.rows(); ++row) {
        reader.expectRow(row);
        if (withLines)
            reader.expectRule(QLatin1Char('-'), output::kMemberLineLength, "the line under a member");
    }
    reader.expectEmptyLine("the closing line");
    check(reader.atEnd(), "nothing follows the closing line",
          [&] { return QStringLiteral("%1 lines").arg(layout.lineCount()); });
    return 0;
}
