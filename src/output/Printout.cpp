#include "output/Printout.h"

#include "database/MemberFields.h"
#include "output/OutputMessages.h"
#include "output/PrinterQueue.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace kelvory::output {

std::span<const PrintItem> PrintLayout::line(std::size_t index) const
{
    const std::size_t begin = index == 0 ? 0 : m_lineEnds[index - 1];
    return std::span<const PrintItem>(m_items).subspan(begin, m_lineEnds[index] - begin);
}

void PrintLayout::add(int column, QStringView text)
{
    m_items.push_back({column, text});
}

void PrintLayout::reserve(std::size_t items, std::size_t lines)
{
    m_items.reserve(items);
    m_lineEnds.reserve(lines);
}

void PrintLayout::endLine()
{
    m_lineEnds.push_back(m_items.size());
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin);
}

PrintLayout layoutRoster(const CellSource &grid, bool withLines, const TextWidth &width)
{
    static const QString rule(kRuleLength, u'_');
    static const QString memberLine(kMemberLineLength, u'-');
    constexpr int fieldCount = members::kMemberFieldCount;
    const int fields = std::min(grid.cols(), fieldCount);

    PrintLayout layout;
    const int rows = grid.rows();
    layout.reserve(static_cast<std::size_t>(std::max(rows, 0)) * (fieldCount + 1) + 2,
                   static_cast<std::size_t>(std::max(rows, 0)) * 2 + 3);
    auto printRow = [&](int row) {
        // The print position, in columns: where the next character would go.
        double position = 1;
        for (int f = 0; f < fieldCount; ++f) {
            const int column = printColumn(f);
            // A field that would start inside text already printed goes to its column on
            // the next line; the member's remaining fields follow it there.
            if (position > column)
                layout.endLine();
            position = column;
            if (f >= fields)
                continue;
            const QStringView text = trimBlanks(grid.cell(row, f));
            if (text.isEmpty())
                continue;
            layout.add(column, text);
            // How far the last field reaches decides nothing, so it is not measured.
            if (f + 1 < fieldCount)
                position += width(text);
        }
        layout.endLine();
    };

    if (rows > 0)
        printRow(0);
    layout.add(1, rule);
    layout.endLine();
    for (int row = 1; row < rows; ++row) {
        printRow(row);
        if (withLines) {
            layout.add(1, memberLine);
            layout.endLine();
        }
    }
    layout.endLine();
    return layout;
}

QString printerLabel(const QPrinter &printer)
{
    const QString name =
        printer.outputFileName().isEmpty() ? printer.printerName() : QDir::toNativeSeparators(printer.outputFileName());
    return QLatin1Char('"') + name + QLatin1Char('"');
}

namespace {

} // namespace

QFont printerFont()
{
    // The columns and the 170 hyphens fit the page in Arial, a Windows printer's first
    // face; a Qt printer has no face of its own. Liberation Sans has Arial's widths.
    QFont font(QStringLiteral("Arial"));
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSize(kPrintPointSize);
    return font;
}

double averageCharacterWidth(const QFontMetricsF &metrics)
{
    // Windows' average for a printer font: the small letters and the blank, weighted by
    // their frequency in English. Qt's figure averages every glyph, which in Liberation
    // Sans comes out a third wider and pushes the comment column off the paper.
    static constexpr int letterWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                              56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
    constexpr int blankWeight = 166;
    double sum = blankWeight * metrics.horizontalAdvance(QLatin1Char(' '));
    for (int i = 0; i < 26; ++i)
        sum += letterWeights[i] * metrics.horizontalAdvance(QChar(u'a' + i));
    return sum / 1000.0;
}

std::optional<QString> printRoster(QPrinter &printer, const CellSource &grid, bool withLines)
{
    QPainter painter;
    if (!painter.begin(&printer) || printer.printerState() == QPrinter::Error)
        return messages::rosterNotPrinted(printerLabel(printer));

    const QFont font = printerFont();
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const double column = averageCharacterWidth(metrics);
    const PrintLayout layout = layoutRoster(
        grid, withLines, [&](QStringView text) { return metrics.horizontalAdvance(text.toString()) / column; });

    const double lineHeight = metrics.lineSpacing();
    const double pageHeight = printer.height();
    double top = 0;
    // A page is started only when something is to be drawn on it, so that the closing
    // empty line never costs a blank sheet.
    bool pageOwed = false;
    for (std::size_t i = 0; i < layout.lineCount(); ++i) {
        if (top > 0 && top + lineHeight > pageHeight) {
            pageOwed = true;
            top = 0;
        }
        const std::span<const PrintItem> items = layout.line(i);
        if (!items.empty()) {
            if (pageOwed) {
                if (!printer.newPage()) {
                    painter.end();
                    return messages::rosterPrintNotFinished(printerLabel(printer));
                }
                pageOwed = false;
            }
            for (const PrintItem &item : items)
                painter.drawText(QPointF((item.column - 1) * column, top + metrics.ascent()), item.text.toString());
        }
        top += lineHeight;
    }

    if (!painter.end() || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return messages::rosterPrintNotFinished(printerLabel(printer));
    return std::nullopt;
}

PrintOutcome PrintRoster(PrinterQueue *queue, const QString &jobName, const CellSource &grid, bool withLines)
{
    const std::unique_ptr<QPrinter> printer = queue ? queue->defaultPrinter() : nullptr;
    if (!printer)
        return {PrintOutcome::Kind::NoDefaultPrinter, {}};
    printer->setDocName(jobName);
    if (std::optional<QString> problem = printRoster(*printer, grid, withLines))
        return {PrintOutcome::Kind::NotPrinted, std::move(*problem)};
    return {};
}

} // namespace kelvory::output
