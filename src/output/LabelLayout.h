#pragma once

#include "output/CellSource.h"

#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <span>
#include <vector>

// Mailing labels laid out on sheets of labels, from the addresses alone: where each label
// sits, on which sheet, and how each of its lines is set. Nothing here paints or measures
// by itself, so that the layout can be checked with any measure of text width.
namespace kelvory::output {

// A sheet of labels as it is sold. Lengths are in points (1/72 inch) from the top left
// corner of the paper.
struct LabelSheet
{
    QPageSize::PageSizeId paper;
    int columns;
    int rows;
    double labelWidth;
    double labelHeight;
    double left;             // the first column's left edge
    double top;              // the first row's top edge
    double pitchX;           // from one column's left edge to the next one's
    double pitchY;           // from one row's top edge to the next one's
    double largestPointSize; // lines are set at this size, or smaller to fit

    int labelsPerSheet() const { return columns * rows; }
    // Label k of a sheet (0-based), counted across each row from the top left.
    QRectF labelBox(int position) const;
};

enum class SheetKind { UsLetter30, A4With21 };
const LabelSheet &labelSheet(SheetKind kind);

inline constexpr double kSmallestLabelPointSize = 7;
inline constexpr double kLabelPointSizeStep = 0.5;
// Room kept clear inside each label, left and right, for the sheet's own tolerance.
inline constexpr double kLabelInset = 9; // 1/8 inch
// The printer font's line height and ascent, per point of its size.
inline constexpr double kLabelLineSpacing = 1.15;
inline constexpr double kLabelAscent = 0.905;

struct MailingAddress
{
    QString name;
    QString address;
    QString city; // city, state and ZIP
};

struct AddressList
{
    std::vector<MailingAddress> addresses;
    // Members left out because they have no address.
    int withoutAddress = 0;
};

// Every member of the grid's data rows that has an address, in the grid's order, from
// columns 0, 1 and 2. Blanks and line breaks are tidied (a line is one line on a label);
// a row with no text at all is the grid's empty row and is no member.
AddressList addressesFromGrid(const CellSource &grid);
// The member of one data row, tidied so (its address empty when it has none); nothing for
// the grid's empty row.
std::optional<MailingAddress> memberOfRow(const CellSource &grid, int row);
// The one member in the edit boxes; nothing, and nobody left out, when all three are blank.
AddressList addressFromBoxes(const QString &name, const QString &address, const QString &city);

// How wide a text is, in points, in the printer font at a point size.
using LabelTextWidth = std::function<double(QStringView text, double pointSize)>;

struct FittedLine
{
    QString text;
    double pointSize = 0;
    bool cut = false; // shortened with an ellipsis
};

// The largest size from `largest` down to kSmallestLabelPointSize, in steps of
// kLabelPointSizeStep, at which the text fits `room`; a text that does not fit even at the
// smallest size is cut there, between letters, and ends with an ellipsis.
FittedLine fitLine(const QString &text, double room, double largest, const LabelTextWidth &width);

struct LabelLine
{
    QString text;
    double pointSize = 0;
    double x = 0;        // points from the paper's left edge
    double baseline = 0; // points from the paper's top edge
    bool cut = false;
};

struct PlacedLabel
{
    int sheet = 0;    // 0-based
    int position = 0; // 0-based on its sheet, across each row from the top left
    QRectF box;
    std::vector<LabelLine> lines; // name, address, city-state-ZIP; empty ones left out
};

struct LabelLayout
{
    std::vector<PlacedLabel> labels;
    int sheets = 0;
};

// The labels in order, the first at `startLabel` (1-based, clamped to the sheet) of the
// first sheet and each further one at the next position, going on to a new sheet when one
// is full. Each label's lines are set left, inset, as a block centred from top to bottom.
LabelLayout layoutLabels(std::span<const MailingAddress> addresses, const LabelSheet &sheet, int startLabel,
                         const LabelTextWidth &width);

// How many sheets the labels take from `startLabel` on.
int sheetsNeeded(int labels, const LabelSheet &sheet, int startLabel);

} // namespace kelvory::output
