#include "grid/PackedRows.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace kelvory::grid {

namespace {

// 1 MiB of text a block: large enough that a roster of any size costs few allocations,
// small enough that the last block's unused room is nothing beside the rows.
constexpr std::size_t kBlockLength = std::size_t(1) << 19;
// A row without text still has a place, so that its cells read as empty, not null.
constexpr char16_t kNoText[] = u"";

} // namespace

QStringView PackedRows::cell(int row, int col) const
{
    const std::size_t i = index(row, col);
    const std::uint32_t begin = col == 0 ? 0 : m_ends[i - 1];
    const char16_t *text = m_rowText[row];
    if (!text)
        return {};
    return QStringView(text + begin, m_ends[i] - begin);
}

char16_t *PackedRows::room(std::size_t length)
{
    if (length == 0)
        return const_cast<char16_t *>(kNoText);
    if (length > m_freeLength) {
        if (length > kBlockLength / 4) {
            // A row this long gets a block of its own, and the block being filled keeps its room.
            return m_blocks.emplace_back(std::make_unique_for_overwrite<char16_t[]>(length)).get();
        }
        m_free = m_blocks.emplace_back(std::make_unique_for_overwrite<char16_t[]>(kBlockLength)).get();
        m_freeLength = kBlockLength;
    }
    char16_t *text = m_free;
    m_free += length;
    m_freeLength -= length;
    return text;
}

void PackedRows::setCell(int row, int col, QStringView text)
{
    const std::size_t first = index(row, 0);
    const std::size_t i = first + col;
    const std::uint32_t begin = col == 0 ? 0 : m_ends[i - 1];
    const std::uint32_t end = m_ends[i];
    const std::uint32_t length = m_ends[first + m_cols - 1];
    const auto delta = static_cast<std::int64_t>(text.size()) - (end - begin);
    // The row is written anew; its old text stays in its block until the grid is filled again.
    const char16_t *old = m_rowText[row];
    char16_t *out = room(static_cast<std::size_t>(length + delta));
    if (old)
        std::copy_n(old, begin, out);
    std::memcpy(out + begin, text.data(), static_cast<std::size_t>(text.size()) * sizeof(char16_t));
    if (old)
        std::copy(old + end, old + length, out + begin + text.size());
    m_rowText[row] = out;
    for (int c = col; c < m_cols; ++c)
        m_ends[first + c] = static_cast<std::uint32_t>(m_ends[first + c] + delta);
}

void PackedRows::resize(int rows)
{
    m_rowText.resize(rows, nullptr);
    m_ends.resize(static_cast<std::size_t>(rows) * m_cols, 0);
    // Rows added by growth are empty, so all their ends are 0; rows kept are unchanged.
    m_leftAligned.resize(static_cast<std::size_t>(rows) * alignmentWords(), 0);
}

void PackedRows::reserve(int rows)
{
    m_rowText.reserve(rows);
    m_ends.reserve(static_cast<std::size_t>(rows) * m_cols);
    m_leftAligned.reserve(static_cast<std::size_t>(rows) * alignmentWords());
}

void PackedRows::appendRow(const QStringView *cells, int count, std::uint32_t leftAlignedMask)
{
    append(cells, count, leftAlignedMask);
}

void PackedRows::appendRow(const QString *cells, int count, std::uint32_t leftAlignedMask)
{
    append(cells, count, leftAlignedMask);
}

char16_t *PackedRows::appendRowSpace(const qsizetype *lengths, int count, std::uint32_t leftAlignedMask)
{
    count = std::min(count, m_cols);
    const std::size_t first = m_ends.size();
    m_ends.resize(first + static_cast<std::size_t>(m_cols));
    std::uint32_t end = 0;
    for (int c = 0; c < count; ++c) {
        end += static_cast<std::uint32_t>(lengths[c]);
        m_ends[first + c] = end;
    }
    std::fill(m_ends.begin() + static_cast<std::ptrdiff_t>(first) + count, m_ends.end(), end);
    m_leftAligned.push_back(leftAlignedMask);
    m_leftAligned.resize(m_leftAligned.size() + alignmentWords() - 1, 0);
    char16_t *out = room(end);
    m_rowText.push_back(out);
    return out;
}

template <typename Text> void PackedRows::append(const Text *cells, int count, std::uint32_t leftAlignedMask)
{
    count = std::min(count, m_cols);
    QVarLengthArray<qsizetype, 8> lengths(count);
    for (int c = 0; c < count; ++c)
        lengths[c] = cells[c].size();
    char16_t *out = appendRowSpace(lengths.data(), count, leftAlignedMask);
    for (int c = 0; c < count; ++c) {
        std::memcpy(out, cells[c].data(), static_cast<std::size_t>(cells[c].size()) * sizeof(char16_t));
        out += cells[c].size();
    }
}

void PackedRows::squeeze()
{
    m_rowText.shrink_to_fit();
    m_ends.shrink_to_fit();
    m_leftAligned.shrink_to_fit();
}

} // namespace kelvory::grid
