#include "grid/PackedRows.h"

#include <QThread>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <thread>

namespace kelvory::grid {

namespace {

// Blocks grow from 64 KiB, so that a grid of a few rows costs little, to 4 MiB, so that a
// roster of any size costs few allocations.
constexpr std::size_t kFirstBlockLength = std::size_t(1) << 15;
constexpr std::size_t kLargestBlockLength = std::size_t(1) << 21;
// From this size on, each next block is made ready on another core (see Prefault).
constexpr std::size_t kPrefaultFrom = std::size_t(1) << 19;
constexpr std::size_t kPageBytes = 4096;

std::uint32_t load(const char16_t *at)
{
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store(char16_t *at, std::uint32_t value)
{
    std::memcpy(at, &value, sizeof value);
}

} // namespace

// The next block, allocated here and touched page by page on another core while the rows
// before it are written: the first write to each page of a fresh block costs the system
// a fault, which a roster of 1,000,000 members would otherwise meet 40,000 times in the fill.
struct PackedRows::Prefault
{
    std::unique_ptr<char16_t[]> block;
    std::size_t length = 0;
    std::thread toucher;

    explicit Prefault(std::size_t blockLength)
        : block(std::make_unique_for_overwrite<char16_t[]>(blockLength)), length(blockLength)
    {
        toucher = std::thread([at = reinterpret_cast<volatile char *>(block.get()), bytes = length * 2] {
            for (std::size_t i = 0; i < bytes; i += kPageBytes)
                at[i] = 0;
        });
    }
    ~Prefault()
    {
        if (toucher.joinable())
            toucher.join();
    }
    std::unique_ptr<char16_t[]> take()
    {
        toucher.join();
        return std::move(block);
    }
};

PackedRows::PackedRows(int cols) : m_cols(cols), m_nextBlockLength(kFirstBlockLength)
{
}
PackedRows::~PackedRows() = default;
PackedRows::PackedRows(PackedRows &&) noexcept = default;
PackedRows &PackedRows::operator=(PackedRows &&) noexcept = default;

std::uint32_t PackedRows::end(const char16_t *record, int col) const
{
    return load(record + 2 * col);
}

QStringView PackedRows::cell(int row, int col) const
{
    const char16_t *record = m_rows[static_cast<std::size_t>(row)];
    if (!record)
        return {};
    const std::uint32_t begin = col == 0 ? 0 : end(record, col - 1);
    return QStringView(record + headerLength() + begin, end(record, col) - begin);
}

bool PackedRows::leftAligned(int row, int col) const
{
    const char16_t *record = m_rows[static_cast<std::size_t>(row)];
    return record && ((load(record + 2 * (m_cols + col / 32)) >> (col % 32)) & 1U);
}

void PackedRows::setLeftAligned(int row, int col, bool on)
{
    char16_t *at = record(row) + 2 * (m_cols + col / 32);
    const std::uint32_t bit = 1U << (col % 32);
    const std::uint32_t word = load(at);
    store(at, on ? word | bit : word & ~bit);
}

char16_t *PackedRows::record(int row)
{
    char16_t *&record = m_rows[static_cast<std::size_t>(row)];
    if (!record) {
        record = room(headerLength());
        std::fill_n(record, headerLength(), u'\0');
    }
    return record;
}

char16_t *PackedRows::newBlock(std::size_t length)
{
    std::unique_ptr<char16_t[]> block;
    if (m_prefault && m_prefault->length == length)
        block = m_prefault->take();
    else
        block = std::make_unique_for_overwrite<char16_t[]>(length);
    m_prefault.reset();
    if (length >= kPrefaultFrom && QThread::idealThreadCount() > 1)
        m_prefault = std::make_unique<Prefault>(m_nextBlockLength);
    return m_blocks.emplace_back(std::move(block)).get();
}

char16_t *PackedRows::room(std::size_t length)
{
    if (length > m_freeLength) {
        if (length > kFirstBlockLength / 4) {
            // A record this long gets a block of its own, and the block being filled keeps its room.
            return m_blocks.emplace_back(std::make_unique_for_overwrite<char16_t[]>(length)).get();
        }
        const std::size_t blockLength = m_nextBlockLength;
        m_nextBlockLength = std::min(blockLength * 2, kLargestBlockLength);
        m_free = newBlock(blockLength);
        m_freeLength = blockLength;
    }
    char16_t *at = m_free;
    m_free += length;
    m_freeLength -= length;
    return at;
}

void PackedRows::setCell(int row, int col, QStringView text)
{
    const char16_t *old = record(row);
    const std::size_t header = headerLength();
    const std::uint32_t begin = col == 0 ? 0 : end(old, col - 1);
    const std::uint32_t oldEnd = end(old, col);
    const std::uint32_t length = end(old, m_cols - 1);
    const auto delta = static_cast<std::int64_t>(text.size()) - (oldEnd - begin);
    // The row is written anew; its old record stays in its block until the grid is filled again.
    char16_t *out = room(header + static_cast<std::size_t>(length + delta));
    std::copy_n(old, header + begin, out);
    std::memcpy(out + header + begin, text.data(), static_cast<std::size_t>(text.size()) * sizeof(char16_t));
    std::copy(old + header + oldEnd, old + header + length, out + header + begin + text.size());
    for (int c = col; c < m_cols; ++c)
        store(out + 2 * c, static_cast<std::uint32_t>(end(out, c) + delta));
    m_rows[static_cast<std::size_t>(row)] = out;
}

void PackedRows::resize(int rows)
{
    m_rows.resize(static_cast<std::size_t>(rows), nullptr);
}

void PackedRows::reserve(int rows)
{
    m_rows.reserve(static_cast<std::size_t>(rows));
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
    std::size_t length = 0;
    for (int c = 0; c < count; ++c)
        length += static_cast<std::size_t>(lengths[c]);
    const std::size_t header = headerLength();
    char16_t *out = room(header + length);
    std::uint32_t at = 0;
    for (int c = 0; c < count; ++c) {
        at += static_cast<std::uint32_t>(lengths[c]);
        store(out + 2 * c, at);
    }
    for (int c = count; c < m_cols; ++c)
        store(out + 2 * c, at);
    store(out + 2 * m_cols, leftAlignedMask);
    for (std::size_t w = 1; w < alignmentWords(); ++w)
        store(out + 2 * (m_cols + w), 0);
    m_rows.push_back(out);
    return out + header;
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
    m_prefault.reset();
    m_rows.shrink_to_fit();
}

} // namespace kelvory::grid
