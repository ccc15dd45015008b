// SPDX-License-Identifier: GPL-3.0-or-later
// Compact cell storage of the string grid: encoding and reading row records and
// keeping each block's buffer tight as rows are written and rewritten.
#include "platform/StringGridStore.h"

#include <algorithm>
#include <cstring>

namespace vandrel {

namespace {

// A row record: a header (cell count << 2 | offset width code, 7 bits a byte,
// low bits first), the end offset of each cell's text in 1, 2 or 4 bytes, and the
// text. A table row's text is short, so its offsets take a byte each.
constexpr std::uint32_t NoRecord = UINT32_MAX;
// A rewritten block is compacted once its dead records outweigh the live ones.
constexpr std::size_t CompactAbove = 4096;

int widthCode(std::size_t textBytes)
{
    return textBytes <= 0xFF ? 0 : textBytes <= 0xFFFF ? 1 : 2;
}

std::size_t widthOf(int code)
{
    return std::size_t(1) << code;
}

struct Header {
    std::size_t count = 0;
    std::size_t width = 1;
    const unsigned char *ends = nullptr; // the offsets, then the text
};

Header readHeader(const char *record)
{
    const auto *p = reinterpret_cast<const unsigned char *>(record);
    std::uint64_t v = 0;
    int shift = 0;
    for (;;) {
        const unsigned char b = *p++;
        v |= std::uint64_t(b & 0x7F) << shift;
        if ((b & 0x80) == 0)
            break;
        shift += 7;
    }
    return {static_cast<std::size_t>(v >> 2), widthOf(static_cast<int>(v & 3)), p};
}

std::size_t endOf(const Header &h, std::size_t cell)
{
    const unsigned char *e = h.ends + cell * h.width;
    switch (h.width) {
    case 1:
        return e[0];
    case 2:
        return std::size_t(e[0]) | std::size_t(e[1]) << 8;
    default:
        return std::size_t(e[0]) | std::size_t(e[1]) << 8 | std::size_t(e[2]) << 16 | std::size_t(e[3]) << 24;
    }
}

const char *textOf(const Header &h)
{
    return reinterpret_cast<const char *>(h.ends + h.count * h.width);
}

std::size_t recordSize(const char *record)
{
    const Header h = readHeader(record);
    return static_cast<std::size_t>(textOf(h) - record) + (h.count ? endOf(h, h.count - 1) : 0);
}

// The record of `cells` (trailing empty ones dropped) into `out`; empty for a row without text.
void encode(std::span<const std::string_view> cells, std::string &out)
{
    out.clear();
    std::size_t count = cells.size();
    while (count > 0 && cells[count - 1].empty())
        --count;
    if (count == 0)
        return;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i)
        bytes += cells[i].size();
    const int code = widthCode(bytes);
    for (std::uint64_t v = std::uint64_t(count) << 2 | unsigned(code); ; v >>= 7) {
        out.push_back(static_cast<char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
        if (v <= 0x7F)
            break;
    }
    std::size_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        end += cells[i].size();
        for (std::size_t k = 0; k < widthOf(code); ++k)
            out.push_back(static_cast<char>((end >> (8 * k)) & 0xFF));
    }
    for (std::size_t i = 0; i < count; ++i)
        out.append(cells[i]);
}

// Most rows have ten or fewer cells; bigger ones fall back to the heap.
constexpr std::size_t InlineCells = 16;

} // namespace

struct StringGridStore::Block {
    Block() { std::fill(std::begin(start), std::end(start), NoRecord); }
    std::vector<char> bytes;
    std::size_t dead = 0; // bytes of records no row points to any more
    std::uint32_t start[BlockRows];
};

StringGridStore::StringGridStore() = default;
StringGridStore::~StringGridStore() = default;
StringGridStore::StringGridStore(StringGridStore &&) noexcept = default;
StringGridStore &StringGridStore::operator=(StringGridStore &&) noexcept = default;

void StringGridStore::resizeRows(int n)
{
    n = std::max(0, n);
    const std::size_t blocks = (static_cast<std::size_t>(n) + BlockRows - 1) / BlockRows;
    if (n < m_rows && n % BlockRows != 0 && m_blocks[blocks - 1]) {
        // Rows cut off inside the last kept block must come back empty.
        Block &b = *m_blocks[blocks - 1];
        std::fill(b.start + n % BlockRows, std::end(b.start), NoRecord);
        compact(b);
    }
    m_blocks.resize(blocks);
    if (m_open != SIZE_MAX && m_open >= blocks)
        m_open = SIZE_MAX;
    m_rows = n;
}

const char *StringGridStore::record(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    const Block *b = m_blocks[static_cast<std::size_t>(row / BlockRows)].get();
    if (!b)
        return nullptr;
    const std::uint32_t at = b->start[row % BlockRows];
    return at == NoRecord ? nullptr : b->bytes.data() + at;
}

std::string_view StringGridStore::cell(int col, int row) const
{
    const char *r = record(row);
    if (!r || col < 0)
        return {};
    const Header h = readHeader(r);
    const auto c = static_cast<std::size_t>(col);
    if (c >= h.count)
        return {};
    const std::size_t from = c == 0 ? 0 : endOf(h, c - 1);
    return {textOf(h) + from, endOf(h, c) - from};
}

int StringGridStore::storedCells(int row) const
{
    const char *r = record(row);
    return r ? static_cast<int>(readHeader(r).count) : 0;
}

void StringGridStore::setCell(int col, int row, std::string_view utf8)
{
    if (row < 0 || row >= m_rows || col < 0)
        return;
    const auto count = static_cast<std::size_t>(std::max(storedCells(row), col + 1));
    std::string_view small[InlineCells];
    std::vector<std::string_view> large;
    std::span<std::string_view> cells(small, InlineCells);
    if (count > InlineCells) {
        large.resize(count);
        cells = large;
    }
    cells = cells.first(count);
    for (std::size_t c = 0; c < count; ++c)
        cells[c] = static_cast<int>(c) == col ? utf8 : cell(static_cast<int>(c), row);
    setRow(row, cells);
}

void StringGridStore::setRow(int row, std::span<const std::string_view> cells)
{
    if (row < 0 || row >= m_rows)
        return;
    // Encoded aside first: the cells may point into the buffer the record goes to.
    encode(cells, m_scratch);
    place(row, m_scratch);
}

void StringGridStore::place(int row, std::string_view rec)
{
    const auto index = static_cast<std::size_t>(row / BlockRows);
    std::unique_ptr<Block> &slot = m_blocks[index];
    if (!slot) {
        if (rec.empty())
            return;
        slot = std::make_unique<Block>();
    }
    Block &b = *slot;
    std::uint32_t &at = b.start[row % BlockRows];
    if (at != NoRecord)
        b.dead += recordSize(b.bytes.data() + at);
    at = NoRecord;
    if (!rec.empty()) {
        if (m_open != index) {
            closeOpenBlock();
            m_open = index;
        }
        at = static_cast<std::uint32_t>(b.bytes.size());
        b.bytes.insert(b.bytes.end(), rec.begin(), rec.end());
    }
    if (b.dead > CompactAbove && b.dead > b.bytes.size() / 2)
        compact(b);
}

void StringGridStore::closeOpenBlock()
{
    if (m_open == SIZE_MAX || m_open >= m_blocks.size() || !m_blocks[m_open])
        return;
    // Rows are mostly written block after block: the one left behind is done
    // growing and gives back its spare room.
    Block &b = *m_blocks[m_open];
    if (b.bytes.capacity() > b.bytes.size() + b.bytes.size() / 16)
        b.bytes.shrink_to_fit();
    m_open = SIZE_MAX;
}

void StringGridStore::compact(Block &b)
{
    std::size_t live = 0;
    for (const std::uint32_t at : b.start)
        live += at == NoRecord ? 0 : recordSize(b.bytes.data() + at);
    std::vector<char> bytes;
    bytes.reserve(live);
    for (std::uint32_t &at : b.start) {
        if (at == NoRecord)
            continue;
        const char *r = b.bytes.data() + at;
        at = static_cast<std::uint32_t>(bytes.size());
        bytes.insert(bytes.end(), r, r + recordSize(r));
    }
    b.bytes.swap(bytes);
    b.dead = 0;
}

} // namespace vandrel
