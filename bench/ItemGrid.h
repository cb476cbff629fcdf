#pragma once

#include <QString>
#include <QTableWidget>

namespace kelvory::database {
class Connection;
}

namespace kelvory::bench {

// A grid as the program was first designed around: one widget item per cell, no bulk
// load. Row 0 of the design (the heading row) is the widget's header, so `Rows` = n is
// n - 1 widget rows.
class ItemGrid : public QTableWidget
{
public:
    explicit ItemGrid(QWidget *parent = nullptr);

    // The design's fill, access by access: for member i, Rows = i + 1, Row = i, then for
    // columns 0 to 4 Col = c and CellAlignment = left, then six TextMatrix writes. Eighteen
    // property accesses per member; drawing is not suspended. Returns the members read.
    int fill(database::Connection &connection, const QString &sql);

private:
    void setRows(int rows);
    void setRow(int row);
    void setCol(int col);
    void setCellAlignmentLeft();
    void setTextMatrix(int row, int col, const QString &text);
    QTableWidgetItem *itemAt(int row, int col);

    int m_row = 1;
    int m_col = 0;
};

} // namespace kelvory::bench
