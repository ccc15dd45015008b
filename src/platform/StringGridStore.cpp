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

// How the record of some cells is laid out; trailing empty cells are dropped.
struct Layout {
    std::size_t count = 0;
    std::size_t textBytes = 0;
    int code = 0;
    std::size_t headerBytes = 0;
    std::size_t size = 0; // 0: a row without text has no record
};

// The layout of a record of `count` cells (the last one not empty) and `textBytes` of text.
Layout layoutFor(std::size_t count, std::size_t textBytes)
{
    Layout l;
    l.count = count;
    l.textBytes = textBytes;
    l.code = widthCode(textBytes);
    l.headerBytes = 1;
    for (std::uint64_t v = std::uint64_t(count) << 2; v > 0x7F; v >>= 7)
        ++l.headerBytes;
    l.size = l.headerBytes + count * widthOf(l.code) + textBytes;
    return l;
}

Layout layoutOf(std::span<const std::string_view> cells)
{
    std::size_t count = cells.size();
    while (count > 0 && cells[count - 1].empty())
        --count;
    if (count == 0)
        return {};
    std::size_t textBytes = 0;
    for (std::size_t i = 0; i < count; ++i)
        textBytes += cells[i].size();
    return layoutFor(count, textBytes);
}

// Copies a cell's text. Cells are mostly a few bytes, where a call to memcpy
// costs more than the copy: fixed-size (overlapping) moves do them inline.
inline void copyText(char *to, const char *from, std::size_t n)
{
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0 && n < 4) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    } else if (n > 16) {
        std::memcpy(to, from, n);
    }
}

// Writes a record's header; returns where its cell ends go.
unsigned char *writeHeader(char *out, const Layout &l)
{
    auto *p = reinterpret_cast<unsigned char *>(out);
    for (std::uint64_t v = std::uint64_t(l.count) << 2 | unsigned(l.code);; v >>= 7) {
        *p++ = static_cast<unsigned char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
        if (v <= 0x7F)
            break;
    }
    return p;
}

// Writes one cell's end offset at p in `width` bytes; returns the next place.
unsigned char *writeEnd(unsigned char *p, std::size_t end, std::size_t width)
{
    if (width == 1) { // nearly every row: a loop costs more than the byte
        *p = static_cast<unsigned char>(end);
        return p + 1;
    }
    for (std::size_t k = 0; k < width; ++k)
        *p++ = static_cast<unsigned char>(end >> (8 * k));
    return p;
}

void write(char *out, std::span<const std::string_view> cells, const Layout &l)
{
    unsigned char *p = writeHeader(out, l);
    const std::size_t width = widthOf(l.code);
    char *text = out + l.headerBytes + l.count * width;
    std::size_t end = 0;
    for (std::size_t i = 0; i < l.count; ++i) {
        const std::string_view cell = cells[i];
        copyText(text + end, cell.data(), cell.size());
        end += cell.size();
        p = writeEnd(p, end, width);
    }
}

// Most rows have ten or fewer cells; bigger ones fall back to the heap.
constexpr std::size_t InlineCells = 16;

} // namespace

struct StringGridStore::Block {
    Block() { std::fill(std::begin(start), std::end(start), NoRecord); }
    // Not zero-filled: only what records were written to is ever read.
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::size_t dead = 0; // bytes of records no row points to any more
    std::uint32_t start[BlockRows];

    // Moves the records to a buffer of `room` bytes.
    void reallocate(std::size_t room)
    {
        std::unique_ptr<char[]> moved = std::make_unique_for_overwrite<char[]>(room);
        if (size)
            std::memcpy(moved.get(), bytes.get(), size);
        bytes = std::move(moved);
        capacity = room;
    }
};

StringGridStore::StringGridStore() = default;
StringGridStore::~StringGridStore() = default;
StringGridStore::StringGridStore(StringGridStore &&) noexcept = default;
StringGridStore &StringGridStore::operator=(StringGridStore &&) noexcept = default;

void StringGridStore::resizeRows(int n)
{
    n = std::max(0, n);
    const std::size_t blocks = (static_cast<std::size_t>(n) + BlockRows - 1) / BlockRows;
    if (n < rows_ && n % BlockRows != 0 && blocks_[blocks - 1]) {
        // Rows cut off inside the last kept block must come back empty.
        Block &b = *blocks_[blocks - 1];
        std::fill(b.start + n % BlockRows, std::end(b.start), NoRecord);
        compact(b);
    }
    blocks_.resize(blocks);
    if (open_ != SIZE_MAX && open_ >= blocks)
        open_ = SIZE_MAX;
    rows_ = n;
}

const char *StringGridStore::record(int row) const
{
    if (row < 0 || row >= rows_)
        return nullptr;
    const Block *b = blocks_[static_cast<std::size_t>(row / BlockRows)].get();
    if (!b)
        return nullptr;
    const std::uint32_t at = b->start[row % BlockRows];
    return at == NoRecord ? nullptr : b->bytes.get() + at;
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
    if (row < 0 || row >= rows_ || col < 0)
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
    const Layout layout = layoutOf(cells);
    place(row, layout.size, [&](char *to) { write(to, cells, layout); });
}

void StringGridStore::appendRecord(std::span<const std::string_view> cells, std::string &out)
{
    const Layout layout = layoutOf(cells);
    const std::size_t at = out.size();
    out.resize(at + layout.size);
    write(out.data() + at, cells, layout);
}

void StringGridStore::appendRecord(std::string_view first, std::string_view line,
                                   std::span<const std::uint8_t> fieldEnds, std::string &out)
{
    // `line` may go on past its last field: those bytes are only ever read.
    // Field i runs from just after the separator that ends field i-1 to fieldEnds[i].
    const auto startOf = [&](std::size_t i) -> std::size_t { return i == 0 ? 0 : fieldEnds[i - 1] + 1u; };
    std::size_t fields = fieldEnds.size();
    while (fields > 0 && fieldEnds[fields - 1] == startOf(fields - 1))
        --fields; // empty cells at the end are not kept
    if (fields == 0 && first.empty())
        return;
    // The fields' text is the stretch they cover less the separators between them.
    const Layout l = layoutFor(1 + fields, first.size() + (fields ? fieldEnds[fields - 1] - (fields - 1) : 0));

    // Sixteen bytes of slack let short fields be copied sixteen bytes at a
    // time, the bytes past a field overwritten by the next.
    constexpr std::size_t Slack = 16;
    const std::size_t at = out.size();
    out.resize(at + l.size + Slack);
    unsigned char *p = writeHeader(out.data() + at, l);
    const std::size_t width = widthOf(l.code);
    char *text = out.data() + at + l.headerBytes + l.count * width;
    copyText(text, first.data(), first.size());
    std::size_t end = first.size();
    p = writeEnd(p, end, width);
    for (std::size_t i = 0; i < fields; ++i) {
        const std::size_t start = startOf(i);
        const std::size_t n = fieldEnds[i] - start;
        if (n <= Slack && start + Slack <= line.size())
            std::memcpy(text + end, line.data() + start, Slack);
        else
            copyText(text + end, line.data() + start, n);
        end += n;
        p = writeEnd(p, end, width);
    }
    out.resize(at + l.size);
}

void StringGridStore::setRowRecord(int row, std::string_view record)
{
    place(row, record.size(), [&](char *to) { copyText(to, record.data(), record.size()); });
}

template <typename Write>
void StringGridStore::place(int row, std::size_t size, const Write &writeTo)
{
    if (row < 0 || row >= rows_)
        return;
    const auto index = static_cast<std::size_t>(row / BlockRows);
    std::unique_ptr<Block> &slot = blocks_[index];
    if (!slot) {
        if (size == 0)
            return;
        slot = std::make_unique<Block>();
    }
    Block &b = *slot;
    std::uint32_t &at = b.start[row % BlockRows];
    if (at != NoRecord)
        b.dead += recordSize(b.bytes.get() + at);
    at = NoRecord;
    if (size > 0) {
        // The cells may point into any block: a buffer is shrunk or let go only
        // after the record is written.
        std::unique_ptr<char[]> outgrown;
        if (b.capacity - b.size < size) {
            const std::size_t room = std::max({b.size + size, 2 * b.capacity, lastClosedBytes_});
            outgrown = std::move(b.bytes);
            b.bytes = std::make_unique_for_overwrite<char[]>(room);
            if (b.size)
                std::memcpy(b.bytes.get(), outgrown.get(), b.size);
            b.capacity = room;
        }
        writeTo(b.bytes.get() + b.size);
        at = static_cast<std::uint32_t>(b.size);
        b.size += size;
        if (open_ != index) {
            closeOpenBlock();
            open_ = index;
        }
    }
    if (b.dead > CompactAbove && b.dead > b.size / 2)
        compact(b);
}

void StringGridStore::closeOpenBlock()
{
    if (open_ == SIZE_MAX || open_ >= blocks_.size() || !blocks_[open_])
        return;
    // Rows are mostly written block after block: the one left behind is done
    // growing and gives back its spare room; the next starts at its size.
    Block &b = *blocks_[open_];
    if (b.capacity > b.size + b.size / 16)
        b.reallocate(b.size);
    lastClosedBytes_ = b.size;
    open_ = SIZE_MAX;
}

void StringGridStore::compact(Block &b)
{
    std::size_t live = 0;
    for (const std::uint32_t at : b.start)
        live += at == NoRecord ? 0 : recordSize(b.bytes.get() + at);
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(live);
    std::size_t size = 0;
    for (std::uint32_t &at : b.start) {
        if (at == NoRecord)
            continue;
        const char *r = b.bytes.get() + at;
        const std::size_t n = recordSize(r);
        std::memcpy(bytes.get() + size, r, n);
        at = static_cast<std::uint32_t>(size);
        size += n;
    }
    b.bytes = std::move(bytes);
    b.size = b.capacity = size;
    b.dead = 0;
}

} // namespace vandrel
