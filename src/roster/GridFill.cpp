#include "roster/GridFill.h"

#include "database/Connection.h"
#include "database/DateText.h"
#include "roster/FlexGrid.h"

#include <QVarLengthArray>

namespace kelvory::roster {

int fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                      const GridFillOptions &options)
{
    database::ResultSet result = connection.query(sql);

    const int cols = grid.Cols();
    const int fields = qMin(cols, result.fieldCount());
    const std::uint32_t mask = options.alignedColumns >= 32 ? ~0U : ((1U << options.alignedColumns) - 1U);
    QVarLengthArray<QString, 8> cells(cols);
    GridCells rows(cols);

    int count = 0;
    while (!result.eof()) {
        for (int k = 0; k < fields; ++k) {
            const QVariant value = result.field(k);
            const bool custom = k < static_cast<int>(options.cellText.size()) && options.cellText[k];
            cells[k] = custom ? options.cellText[k](value) : database::displayText(value);
        }
        rows.appendRow(cells.data(), fields, mask);
        ++count;
        if (!result.tryMoveNext())
            break;
    }

    grid.replaceDataRows(std::move(rows));
    if (count > 0) {
        grid.setRow(count);
        grid.setCol(qBound(0, options.alignedColumns - 1, cols - 1));
    }
    return count;
}

} // namespace kelvory::roster
