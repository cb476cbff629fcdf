#include "grid/PackedRows.h"

#include <algorithm>

namespace kelvory::grid {

QStringView PackedRows::cell(int row, int col) const
{
    const std::size_t i = index(row, col);
    const std::uint32_t begin = col == 0 ? 0 : m_ends[i - 1];
    return QStringView(m_text[row]).mid(begin, m_ends[i] - begin);
}

void PackedRows::setCell(int row, int col, QStringView text)
{
    const std::size_t i = index(row, col);
    const std::uint32_t begin = col == 0 ? 0 : m_ends[i - 1];
    const std::uint32_t oldLength = m_ends[i] - begin;
    QString &rowText = m_text[row];
    rowText.replace(begin, oldLength, text.data(), text.size());
    const auto delta = static_cast<std::int64_t>(text.size()) - oldLength;
    for (int c = col; c < m_cols; ++c)
        m_ends[index(row, c)] = static_cast<std::uint32_t>(m_ends[index(row, c)] + delta);
}

void PackedRows::resize(int rows)
{
    m_text.resize(rows);
    m_ends.resize(static_cast<std::size_t>(rows) * m_cols, 0);
    // Rows added by growth are empty, so all their ends are 0; rows kept are unchanged.
    m_leftAligned.resize(static_cast<std::size_t>(rows) * m_cols, false);
}

void PackedRows::reserve(int rows)
{
    m_text.reserve(rows);
    m_ends.reserve(static_cast<std::size_t>(rows) * m_cols);
    m_leftAligned.reserve(static_cast<std::size_t>(rows) * m_cols);
}

void PackedRows::appendRow(const QStringView *cells, int count, std::uint32_t leftAlignedMask)
{
    append(cells, count, leftAlignedMask);
}

void PackedRows::appendRow(const QString *cells, int count, std::uint32_t leftAlignedMask)
{
    append(cells, count, leftAlignedMask);
}

template <typename Text> void PackedRows::append(const Text *cells, int count, std::uint32_t leftAlignedMask)
{
    count = std::min(count, m_cols);
    qsizetype length = 0;
    for (int c = 0; c < count; ++c)
        length += cells[c].size();
    QString &rowText = m_text.emplace_back(length, Qt::Uninitialized);
    QChar *out = rowText.data();
    qsizetype end = 0;
    for (int c = 0; c < count; ++c) {
        std::copy_n(cells[c].data(), cells[c].size(), out + end);
        end += cells[c].size();
        m_ends.push_back(static_cast<std::uint32_t>(end));
    }
    for (int c = count; c < m_cols; ++c)
        m_ends.push_back(static_cast<std::uint32_t>(length));
    for (int c = 0; c < m_cols; ++c)
        m_leftAligned.push_back(c < 32 && ((leftAlignedMask >> c) & 1U));
}

void PackedRows::squeeze()
{
    m_text.shrink_to_fit();
    m_ends.shrink_to_fit();
    m_leftAligned.shrink_to_fit();
}

} // namespace kelvory::grid
