// The export's field writer: whatever the grid holds, every comma in the file is a field
// separator, every row is one line ending in CR LF, and a field is its cell without commas,
// its line breaks as blanks, behind an apostrophe when it would open as a formula.

#include "FuzzSupport.h"

#include "output/Export.h"

#include <QByteArray>
#include <QStringDecoder>

using namespace kelvory;
using fuzz::check;
using fuzz::shown;

namespace {

// The field as the rule says, written out the slow way.
QString expectedField(QStringView cell)
{
    QString field = cell.toString().remove(QLatin1Char(','));
    const bool formula = !field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front());
    field.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    field.replace(QLatin1Char('\r'), QLatin1Char(' '));
    field.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return formula ? QLatin1Char('\'') + field : field;
}

bool hasLineEnd(QStringView text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const fuzz::GridInput input = fuzz::gridFromBytes(data, size);
    const output::CellSource &grid = input.grid;
    const int rows = grid.rows();
    const int cols = grid.cols();

    // One field on its own, after whatever the line already holds.
    if (rows > 0 && cols > 0) {
        const QString before = QStringLiteral("x,");
        QString line = before;
        output::appendExportField(line, grid.cell(0, 0));
        check(line == before + expectedField(grid.cell(0, 0)) + QLatin1Char(','),
              "a field is its cell as the rule writes it, then one comma",
              [&] { return shown(grid.cell(0, 0)) + QStringLiteral(" gave ") + shown(line); });
    }

    const QString text = output::exportText(grid);
    check(text.count(QLatin1Char(',')) == qsizetype(rows) * cols, "no comma survives inside a field", [&] {
        return QStringLiteral("%1 rows, %2 columns, %3 commas: ").arg(rows).arg(cols).arg(text.count(QLatin1Char(',')))
            + shown(text);
    });
    check(rows == 0 ? text.isEmpty() : text.endsWith(QStringLiteral("\r\n")), "the last line ends in CR LF too",
          [&] { return shown(text); });

    // Whatever the cells hold, one line per row.
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    check(lines.size() == rows + 1 && lines.last().isEmpty(), "one line per row, each ending in CR LF",
          [&] { return QStringLiteral("%1 rows: ").arg(rows) + shown(text); });
    for (int r = 0; r < rows && r < lines.size(); ++r) {
        check(!hasLineEnd(lines[r]), "no line end but CR LF", [&] { return shown(text); });
        const QStringList fields = lines[r].split(QLatin1Char(','));
        check(fields.size() == cols + 1 && fields.last().isEmpty(), "one field per column, each followed by a comma",
              [&] { return QStringLiteral("%1 columns: ").arg(cols) + shown(lines[r]); });
        for (int c = 0; c < cols && c < fields.size(); ++c)
            check(fields[c] == expectedField(grid.cell(r, c)), "a field is its cell as the rule writes it",
                  [&] { return shown(grid.cell(r, c)) + QStringLiteral(" written as ") + shown(fields[c]); });
    }

    // The bytes, in the system's encoding for text files (UTF-8 on Linux): a comma and CR LF
    // are single bytes that no other character's encoding holds.
    const QByteArray bytes = output::exportBytes(grid);
    check(bytes.count(',') == qsizetype(rows) * cols, "no comma byte inside a field in the file",
          [&] { return QString::fromLatin1(bytes.toPercentEncoding()); });
    check(rows == 0 ? bytes.isEmpty() : bytes.endsWith("\r\n"), "the file ends in CR LF",
          [&] { return QString::fromLatin1(bytes.toPercentEncoding()); });
    // A broken surrogate has no encoding; every other text comes back from the file whole
    // (a U+FEFF that begins the first cell included, so it is read as a character here).
    if (QStringView(text).isValidUtf16()) {
        const QString decoded =
            QStringDecoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom)(bytes);
        check(decoded == text, "the file holds the text and nothing else", [&] {
            return shown(text) + QStringLiteral(" written as ") + QString::fromLatin1(bytes.toPercentEncoding());
        });
    }
    return 0;
}
