#include "ItemGrid.h"

#include "database/Connection.h"
#include "database/DateText.h"
#include "grid/FlexGrid.h"

namespace kelvory::bench {

ItemGrid::ItemGrid(QWidget *parent) : QTableWidget(1, 6, parent)
{
    // Set up as the program's own grid is, so that only the way cells are stored and
    // written differs.
    grid::setUpGridView(*this);
    setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("City, State, Zip"),
                               QStringLiteral("Phone"), QStringLiteral("Comment"), QString()});
}

int ItemGrid::fill(database::Connection &connection, const QString &sql)
{
    database::ResultSet result = connection.query(sql);
    int i = 1;
    while (!result.eof()) {
        setRows(i + 1);
        setRow(i);
        for (int c = 0; c < 5; ++c) {
            setCol(c);
            setCellAlignmentLeft();
        }
        for (int k = 0; k < 6; ++k)
            setTextMatrix(i, k, database::displayText(result.field(k)));
        ++i;
        if (!result.tryMoveNext())
            break;
    }
    return i - 1;
}

void ItemGrid::setRows(int rows)
{
    setRowCount(rows - 1);
}

void ItemGrid::setRow(int row)
{
    m_row = row;
    setCurrentCell(m_row - 1, m_col);
}

void ItemGrid::setCol(int col)
{
    m_col = col;
    setCurrentCell(m_row - 1, m_col);
}

QTableWidgetItem *ItemGrid::itemAt(int row, int col)
{
    QTableWidgetItem *cell = item(row, col);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, col, cell);
    }
    return cell;
}

void ItemGrid::setCellAlignmentLeft()
{
    itemAt(m_row - 1, m_col)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ItemGrid::setTextMatrix(int row, int col, const QString &text)
{
    itemAt(row - 1, col)->setText(text);
}

} // namespace kelvory::bench
