#include "output/CellSource.h"

#include <algorithm>

namespace kelvory::output {

TableSource::TableSource(std::vector<QStringList> rows, int cols) : m_rows(std::move(rows)), m_cols(cols)
{
    if (m_cols < 0) {
        m_cols = 0;
        for (const QStringList &row : m_rows)
            m_cols = std::max(m_cols, static_cast<int>(row.size()));
    }
}

QStringView TableSource::cell(int row, int col) const
{
    const QStringList &cells = m_rows.at(static_cast<std::size_t>(row));
    if (col >= cells.size())
        return {};
    return cells.at(col);
}

void TableSource::appendRow(QStringList row)
{
    m_cols = std::max(m_cols, static_cast<int>(row.size()));
    m_rows.push_back(std::move(row));
}

} // namespace kelvory::output
