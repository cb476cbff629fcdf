#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace kelvory::grid {

// The data rows of a grid, packed: one string per row holding its cells end to end,
// and the end offset of every cell. A roster of 100,000 members then costs little
// more than the text itself, where a string object per cell would cost several times it.
class PackedRows
{
public:
    explicit PackedRows(int cols = 0) : m_cols(cols) {}

    int cols() const { return m_cols; }
    int rows() const { return static_cast<int>(m_text.size()); }

    QStringView cell(int row, int col) const;
    void setCell(int row, int col, QStringView text);

    bool leftAligned(int row, int col) const { return m_leftAligned[index(row, col)]; }
    void setLeftAligned(int row, int col, bool on) { m_leftAligned[index(row, col)] = on; }

    // Grows with empty rows or drops rows from the bottom.
    void resize(int rows);
    void reserve(int rows);

    // Appends one row of `count` cells in column order (missing trailing cells stay
    // empty); bit c of leftAlignedMask marks column c as left-aligned.
    void appendRow(const QStringView *cells, int count, std::uint32_t leftAlignedMask);
    void appendRow(const QString *cells, int count, std::uint32_t leftAlignedMask);

    // Frees the spare capacity left by growth.
    void squeeze();

private:
    template <typename Text> void append(const Text *cells, int count, std::uint32_t leftAlignedMask);
    std::size_t index(int row, int col) const { return static_cast<std::size_t>(row) * m_cols + col; }

    int m_cols;
    std::vector<QString> m_text;
    std::vector<std::uint32_t> m_ends;
    std::vector<bool> m_leftAligned;
};

} // namespace kelvory::grid
