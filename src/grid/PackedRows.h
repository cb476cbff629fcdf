#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvory::grid {

// The data rows of a grid, packed: each row's cells end to end, the rows one after the
// other in large blocks, and the end offset of every cell. A roster of 1,000,000 members
// then costs little more than its text and one allocation per block, where a string
// object per row or per cell would cost an allocation each and several times the memory.
class PackedRows
{
public:
    explicit PackedRows(int cols = 0) : m_cols(cols) {}

    int cols() const { return m_cols; }
    int rows() const { return static_cast<int>(m_rowText.size()); }

    QStringView cell(int row, int col) const;
    void setCell(int row, int col, QStringView text);

    bool leftAligned(int row, int col) const { return (m_leftAligned[alignmentWord(row, col)] >> (col % 32)) & 1U; }
    void setLeftAligned(int row, int col, bool on)
    {
        std::uint32_t &word = m_leftAligned[alignmentWord(row, col)];
        word = on ? word | (1U << (col % 32)) : word & ~(1U << (col % 32));
    }

    // Grows with empty rows or drops rows from the bottom.
    void resize(int rows);
    void reserve(int rows);

    // Appends one row of `count` cells in column order (missing trailing cells stay
    // empty); bit c of leftAlignedMask marks column c as left-aligned.
    void appendRow(const QStringView *cells, int count, std::uint32_t leftAlignedMask);
    void appendRow(const QString *cells, int count, std::uint32_t leftAlignedMask);
    // Appends a row of `count` cells of the given lengths and returns where its text goes:
    // the caller writes the cells' characters there, end to end.
    char16_t *appendRowSpace(const qsizetype *lengths, int count, std::uint32_t leftAlignedMask);

    // Frees the spare capacity left by growth.
    void squeeze();

private:
    template <typename Text> void append(const Text *cells, int count, std::uint32_t leftAlignedMask);
    std::size_t index(int row, int col) const { return static_cast<std::size_t>(row) * m_cols + col; }
    // Each row's alignments are bits of its own words, 32 columns a word.
    std::size_t alignmentWords() const { return static_cast<std::size_t>(m_cols + 31) / 32; }
    std::size_t alignmentWord(int row, int col) const
    {
        return static_cast<std::size_t>(row) * alignmentWords() + static_cast<std::size_t>(col) / 32;
    }
    // Room for a row's text of `length` characters, at the end of the last block or in
    // a new one; a row's text never spans two blocks.
    char16_t *room(std::size_t length);

    int m_cols;
    // Where each row's text begins; a row grown by resize() has none.
    std::vector<const char16_t *> m_rowText;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t *m_free = nullptr;
    std::size_t m_freeLength = 0;
    std::vector<std::uint32_t> m_ends;
    std::vector<std::uint32_t> m_leftAligned;
};

} // namespace kelvory::grid
