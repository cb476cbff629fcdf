#include "roster/FlexGridSource.h"

#include "grid/FlexGrid.h"

namespace kelvory::roster {

using namespace grid;

FlexGridSource::FlexGridSource(const grid::FlexGrid &grid) : m_grid(grid), m_rows(grid.Rows()), m_cols(grid.Cols())
{
    m_headings.reserve(m_cols);
    for (int c = 0; c < m_cols; ++c)
        m_headings.append(grid.TextMatrix(0, c));
}

QStringView FlexGridSource::cell(int row, int col) const
{
    if (row == 0)
        return m_headings.at(col);
    // Straight from the packed storage: TextMatrix would copy every cell of a large roster.
    return m_grid.dataRows().cell(row - 1, col);
}

} // namespace kelvory::roster
