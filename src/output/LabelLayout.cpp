#include "output/LabelLayout.h"

#include "database/MemberFields.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace kelvory::output {

namespace {

constexpr double inches(double value)
{
    return value * 72.0;
}

constexpr double millimetres(double value)
{
    return value * 72.0 / 25.4;
}

// Avery 5160 and the many sheets made to its measure.
const LabelSheet kUsLetter30{.paper = QPageSize::Letter,
                             .columns = 3,
                             .rows = 10,
                             .labelWidth = inches(2.625),
                             .labelHeight = inches(1),
                             .left = inches(0.1875),
                             .top = inches(0.5),
                             .pitchX = inches(2.75),
                             .pitchY = inches(1),
                             .largestPointSize = 10};
// Avery L7160: labels of 2.5 x 1.5 inches on a pitch of 2.6 inches across, the block
// centred on the paper (7.21 mm either side) and 15.15 mm from its top and bottom.
const LabelSheet kA4With21{.paper = QPageSize::A4,
                           .columns = 3,
                           .rows = 7,
                           .labelWidth = millimetres(63.5),
                           .labelHeight = millimetres(38.1),
                           .left = (millimetres(210) - 2 * millimetres(66.04) - millimetres(63.5)) / 2,
                           .top = millimetres(15.15),
                           .pitchX = millimetres(66.04),
                           .pitchY = millimetres(38.1),
                           .largestPointSize = 11};

QString tidied(QStringView text)
{
    return text.toString().simplified();
}

} // namespace

QRectF LabelSheet::labelBox(int position) const
{
    const int column = position % columns;
    const int row = position / columns;
    return QRectF(left + column * pitchX, top + row * pitchY, labelWidth, labelHeight);
}

const LabelSheet &labelSheet(SheetKind kind)
{
    return kind == SheetKind::A4With21 ? kA4With21 : kUsLetter30;
}

std::optional<MailingAddress> memberOfRow(const CellSource &grid, int row)
{
    bool anyText = false;
    for (int c = 0; c < grid.cols() && !anyText; ++c)
        anyText = !grid.cell(row, c).trimmed().isEmpty();
    if (!anyText)
        return std::nullopt;
    return MailingAddress{tidied(grid.cell(row, members::Name)), tidied(grid.cell(row, members::Address)),
                          tidied(grid.cell(row, members::City))};
}

AddressList addressesFromGrid(const CellSource &grid)
{
    AddressList list;
    const int rows = grid.rows();
    if (grid.cols() < 3)
        return list;
    list.addresses.reserve(static_cast<std::size_t>(std::max(rows - 1, 0)));
    for (int r = 1; r < rows; ++r) {
        std::optional<MailingAddress> member = memberOfRow(grid, r);
        if (!member)
            continue;
        if (member->address.isEmpty())
            ++list.withoutAddress;
        else
            list.addresses.push_back(std::move(*member));
    }
    return list;
}

AddressList addressFromBoxes(const QString &name, const QString &address, const QString &city)
{
    AddressList list;
    MailingAddress member{tidied(name), tidied(address), tidied(city)};
    if (member.name.isEmpty() && member.address.isEmpty() && member.city.isEmpty())
        return list;
    if (member.address.isEmpty())
        list.withoutAddress = 1;
    else
        list.addresses.push_back(std::move(member));
    return list;
}

FittedLine fitLine(const QString &text, double room, double largest, const LabelTextWidth &width)
{
    double size = std::max(largest, kSmallestLabelPointSize);
    for (;; size -= kLabelPointSizeStep) {
        size = std::max(size, kSmallestLabelPointSize);
        if (width(text, size) <= room)
            return {text, size, false};
        if (size <= kSmallestLabelPointSize)
            break;
    }

    // Cut between letters as the reader sees them, never inside one.
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        ends.push_back(at);
    const QChar ellipsis(0x2026);
    auto cutAt = [&](std::size_t count) {
        return (count == 0 ? QString() : text.left(ends[count - 1]).trimmed()) + ellipsis;
    };
    // The longest beginning that fits with its ellipsis: widths grow with the length.
    std::size_t low = 0;
    std::size_t high = ends.size();
    while (low < high) {
        const std::size_t mid = (low + high + 1) / 2;
        if (width(cutAt(mid), size) <= room)
            low = mid;
        else
            high = mid - 1;
    }
    return {cutAt(low), size, true};
}

int sheetsNeeded(int labels, const LabelSheet &sheet, int startLabel)
{
    if (labels <= 0)
        return 0;
    const int perSheet = sheet.labelsPerSheet();
    const int skipped = std::clamp(startLabel, 1, perSheet) - 1;
    return (skipped + labels + perSheet - 1) / perSheet;
}

LabelLayout layoutLabels(std::span<const MailingAddress> addresses, const LabelSheet &sheet, int startLabel,
                         const LabelTextWidth &width)
{
    LabelLayout layout;
    const int perSheet = sheet.labelsPerSheet();
    const int skipped = std::clamp(startLabel, 1, perSheet) - 1;
    const double room = sheet.labelWidth - 2 * kLabelInset;
    layout.labels.reserve(addresses.size());
    int index = skipped;
    for (const MailingAddress &member : addresses) {
        PlacedLabel label;
        label.sheet = index / perSheet;
        label.position = index % perSheet;
        label.box = sheet.labelBox(label.position);
        ++index;

        double blockHeight = 0;
        for (const QString *text : {&member.name, &member.address, &member.city}) {
            if (text->isEmpty())
                continue;
            const FittedLine fitted = fitLine(*text, room, sheet.largestPointSize, width);
            label.lines.push_back({fitted.text, fitted.pointSize, label.box.left() + kLabelInset, 0, fitted.cut});
            blockHeight += fitted.pointSize * kLabelLineSpacing;
        }
        double top = label.box.top() + (label.box.height() - blockHeight) / 2;
        for (LabelLine &line : label.lines) {
            line.baseline = top + line.pointSize * kLabelAscent;
            top += line.pointSize * kLabelLineSpacing;
        }
        layout.labels.push_back(std::move(label));
    }
    layout.sheets = sheetsNeeded(static_cast<int>(addresses.size()), sheet, startLabel);
    return layout;
}

} // namespace kelvory::output
