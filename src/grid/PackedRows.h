#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvory::grid {

// The data rows of a grid, packed: each row is one record in a large block, the end
// offset of each of its cells and its alignments first, then its cells end to end. A
// roster of 1,000,000 members then costs little more than its text, one pointer a row
// and one allocation a block, where a string object per row or per cell would cost an
// allocation each and several times the memory.
class PackedRows
{
public:
    explicit PackedRows(int cols = 0);
    ~PackedRows();
    PackedRows(PackedRows &&) noexcept;
    PackedRows &operator=(PackedRows &&) noexcept;

    int cols() const { return m_cols; }
    int rows() const { return static_cast<int>(m_rows.size()); }

    QStringView cell(int row, int col) const;
    void setCell(int row, int col, QStringView text);

    bool leftAligned(int row, int col) const;
    void setLeftAligned(int row, int col, bool on);

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
    struct Prefault;
    template <typename Text> void append(const Text *cells, int count, std::uint32_t leftAlignedMask);
    // A row's record: its cells' end offsets and its alignment words (32 columns a word),
    // each two characters wide, then its text.
    std::size_t headerLength() const { return 2 * (static_cast<std::size_t>(m_cols) + alignmentWords()); }
    std::size_t alignmentWords() const { return static_cast<std::size_t>(m_cols + 31) / 32; }
    std::uint32_t end(const char16_t *record, int col) const;
    // Room for a record of `length` characters, at the end of the last block or in a new
    // one; a record never spans two blocks.
    char16_t *room(std::size_t length);
    char16_t *newBlock(std::size_t length);
    // The record of a row grown by resize(), which has none until it is written.
    char16_t *record(int row);

    int m_cols;
    // Where each row's record begins; null for a row grown by resize(), whose cells are empty.
    std::vector<char16_t *> m_rows;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t *m_free = nullptr;
    std::size_t m_freeLength = 0;
    std::size_t m_nextBlockLength;
    std::unique_ptr<Prefault> m_prefault;
};

} // namespace kelvory::grid
