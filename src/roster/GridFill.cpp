#include "roster/GridFill.h"

#include "database/Connection.h"
#include "database/DateText.h"
#include "roster/FlexGrid.h"

#include <QVarLengthArray>

namespace kelvory::roster {

int fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                      const GridFillOptions &options)
{
    database::ResultSet result = connection.openQuery(sql);

    const int cols = grid.Cols();
    const int fields = qMin(cols, result.fieldCount());
    const std::uint32_t mask = options.alignedColumns >= 32 ? ~0U : ((1U << options.alignedColumns) - 1U);
    QVarLengthArray<QString, 8> cells(cols);
    GridCells rows(cols);
    // A column with a conversion of its own (the journal's dates) arrives sorted by that
    // column, so most rows repeat the value of the row before: that text is kept, and the
    // conversion runs once per run of equal values instead of once per row.
    QVarLengthArray<QVariant, 8> converted(cols);
    QVarLengthArray<bool, 8> custom(cols);
    for (int k = 0; k < cols; ++k)
        custom[k] = k < static_cast<int>(options.cellText.size()) && options.cellText[k];

    int count = 0;
    while (!result.eof()) {
        for (int k = 0; k < fields; ++k) {
            const QVariant value = result.field(k);
            if (!custom[k]) {
                cells[k] = database::displayText(value);
            } else if (count == 0 || value.typeId() != converted[k].typeId() || value.isNull() != converted[k].isNull()
                       || value != converted[k]) {
                cells[k] = options.cellText[k](value);
                converted[k] = value;
            }
        }
        rows.appendRow(cells.data(), fields, mask);
        ++count;
        if (!result.tryMoveNext())
            break;
    }
    if (options.raiseReadFailures)
        result.raiseFailure();

    grid.replaceDataRows(std::move(rows));
    if (count > 0) {
        grid.setRow(count);
        grid.setCol(qBound(0, options.alignedColumns - 1, cols - 1));
    }
    return count;
}

} // namespace kelvory::roster
