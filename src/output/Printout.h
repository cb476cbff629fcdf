#pragma once

#include "output/CellSource.h"

#include <QFont>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class QFontMetricsF;
class QPrinter;

namespace kelvory {
class PrinterQueue;
}

namespace kelvory::output {

inline constexpr int kPrintPointSize = 10;
inline constexpr int kRuleLength = 100;
inline constexpr int kMemberLineLength = 170;

// One piece of text on a printed line, starting at a print column. The text is a view
// into the grid's cell (or into a rule that lives as long as the program).
struct PrintItem
{
    int column = 1;
    QStringView text;

    friend bool operator==(const PrintItem &, const PrintItem &) = default;
};

// The printed lines, top to bottom, in one flat array of views: laying out a roster of
// many thousand members copies no text and allocates nothing per field or line.
class PrintLayout
{
public:
    std::size_t lineCount() const { return m_lineEnds.size(); }
    // An empty line has no items.
    std::span<const PrintItem> line(std::size_t index) const;

    void add(int column, QStringView text);
    void endLine();
    void reserve(std::size_t items, std::size_t lines);

private:
    std::vector<PrintItem> m_items;
    std::vector<std::size_t> m_lineEnds;
};

// How many print columns a text occupies: one per character on a test's fixed grid, the
// text's width in average characters of the printer font on paper.
using TextWidth = std::function<double(QStringView)>;

// The printout as lines, from the grid alone, valid while the grid stays as it is: the heading row, a rule of
// underscores, one line per data row (two or more when a field reaches past the next field's column), a line of hyphens
// under each member when `withLines`, and a closing empty line. The record id column is never printed.
PrintLayout layoutRoster(const CellSource &grid, bool withLines, const TextWidth &width);

// Blanks, and only blanks, are removed from both ends, as the printout always has.
QStringView trimBlanks(QStringView text);

// The print column where member field k starts, name to comment.
inline constexpr std::array<int, 5> kPrintColumns = {1, 28, 62, 93, 110};
inline constexpr int printColumn(int field)
{
    return kPrintColumns[static_cast<std::size_t>(field)];
}

// The font the roster is printed in, at 10 points.
QFont printerFont();

// The width of one print column, in the metrics' units: the font's average character.
double averageCharacterWidth(const QFontMetricsF &metrics);

// Paints the laid-out roster on the printer and ends the job. Returns what went wrong
// when the printer did not take the job; nothing when it did.
std::optional<QString> printRoster(QPrinter &printer, const CellSource &grid, bool withLines);

// What PRINT came to; the window tells the operator.
struct PrintOutcome
{
    enum class Kind { Sent, NoDefaultPrinter, NotPrinted };
    Kind kind = Kind::Sent;
    QString problem; // NotPrinted: what went wrong, as the operator is told it
};

// PRINT: prints the roster grid on the queue's default printer, the job named `jobName`.
PrintOutcome PrintRoster(PrinterQueue *queue, const QString &jobName, const CellSource &grid, bool withLines);

// The printer as a message names it: its name, or the file a PDF printer writes, in quotes.
QString printerLabel(const QPrinter &printer);

} // namespace kelvory::output
