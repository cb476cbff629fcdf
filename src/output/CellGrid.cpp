#include "output/CellGrid.h"

#include "roster/FlexGrid.h"

#include <algorithm>

namespace kelvory::output {

FlexGridCells::FlexGridCells(const roster::FlexGrid &grid)
    : m_grid(grid), m_rows(grid.Rows()), m_cols(grid.Cols())
{
    m_headings.reserve(m_cols);
    for (int c = 0; c < m_cols; ++c)
        m_headings.append(grid.TextMatrix(0, c));
}

QStringView FlexGridCells::cell(int row, int col) const
{
    if (row == 0)
        return m_headings.at(col);
    // Straight from the packed storage: TextMatrix would copy every cell of a large roster.
    return m_grid.dataRows().cell(row - 1, col);
}

TableCells::TableCells(std::vector<QStringList> rows, int cols) : m_rows(std::move(rows)), m_cols(cols)
{
    if (m_cols < 0) {
        m_cols = 0;
        for (const QStringList &row : m_rows)
            m_cols = std::max(m_cols, static_cast<int>(row.size()));
    }
}

QStringView TableCells::cell(int row, int col) const
{
    const QStringList &cells = m_rows.at(static_cast<std::size_t>(row));
    if (col >= cells.size())
        return {};
    return cells.at(col);
}

void TableCells::appendRow(QStringList row)
{
    m_cols = std::max(m_cols, static_cast<int>(row.size()));
    m_rows.push_back(std::move(row));
}

} // namespace kelvory::output
