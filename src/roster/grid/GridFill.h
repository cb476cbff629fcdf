#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace kelvory::database {
class Connection;
}

namespace kelvory::roster {

class FlexGrid;

using CellText = std::function<QString(QStringView)>;

struct GridFillOptions
{
    // Columns 0 .. alignedColumns-1 of every row are left-aligned.
    int alignedColumns = 0;
    // How a value held as text becomes cell text in a column; other values, and columns
    // without one, show as displayText() gives them.
    std::vector<CellText> cellText;
    // A row that cannot be read raises Failure; otherwise it ends the fill with the rows
    // read before it.
    bool raiseReadFailures = false;
};

// Fills the data rows of a grid from a query, in one load: row r holds the r-th row
// of the result, column k its field k. Every row of the result is shown; NULL shows
// as empty text; an empty result leaves the heading row and one empty data row.
// Afterwards the current cell is the last row, last aligned column. Returns the
// number of rows read. A query that cannot be opened raises Failure; what a row that
// cannot be read does is for the options to say.
int fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                      const GridFillOptions &options);

} // namespace kelvory::roster
