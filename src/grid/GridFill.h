#pragma once

#include "common/Failure.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

namespace kelvory::database {
class Connection;
}

namespace kelvory::grid {

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

struct GridFillResult
{
    int rows = 0;
    // Why the rows after those shown could not be read, when a row could not be.
    std::optional<Failure> unreadRow;
};

// Fills the data rows of a grid from a query, in one load: row r holds the r-th row
// of the result, column k its field k. Every row of the result is shown; NULL shows
// as empty text; an empty result leaves the heading row and one empty data row.
// Afterwards the current cell is the last row, last aligned column. Returns the
// number of rows read, and whether the result was read to its end. A query that cannot
// be opened raises Failure; what a row that cannot be read does is for the options to say.
GridFillResult fillGridFromQuery(database::Connection &connection, const QString &sql, FlexGrid &grid,
                                 const GridFillOptions &options);

// What the operator is told when the roster shows only the `shown` members read before a
// row that could not be read. On the embedded file (`embeddedFile` not empty) a row that
// SQLite cannot read means a damaged file, and the copies are in `backupsFolder`.
QString partialRosterMessage(int shown, const Failure &unread, const QString &embeddedFile,
                             const QString &backupsFolder);

} // namespace kelvory::grid
