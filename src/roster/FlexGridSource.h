#pragma once

#include "output/CellSource.h"

#include <QStringList>

namespace kelvory::grid {
class FlexGrid;
}
namespace kelvory::roster {

using grid::FlexGrid;

// The roster grid as it is at the moment the view is made. Rows and Cols are read
// once, as the printout and the export have always done.
class FlexGridSource final : public output::CellSource
{
public:
    explicit FlexGridSource(const FlexGrid &grid);

    int rows() const override { return m_rows; }
    int cols() const override { return m_cols; }
    QStringView cell(int row, int col) const override;

private:
    const FlexGrid &m_grid;
    int m_rows;
    int m_cols;
    // The heading row lives apart from the data rows in the grid; a copy keeps its views valid.
    QStringList m_headings;
};

} // namespace kelvory::roster
