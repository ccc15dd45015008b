// SPDX-License-Identifier: GPL-3.0-or-later
// Compact per-row cell storage of the string grid: building and reading the
// one block each row's cells live in.
#include "platform/StringGridStore.h"

#include <algorithm>
#include <cstring>

namespace vandrel {

namespace {

// Most rows have ten or fewer cells; bigger ones fall back to the heap.
constexpr int InlineCells = 16;

const char *blockText(const std::uint32_t *b) { return reinterpret_cast<const char *>(b + 1 + b[0]); }

} // namespace

StringGridStore::Block StringGridStore::makeBlock(std::span<const std::string_view> cells)
{
    std::size_t count = cells.size();
    while (count > 0 && cells[count - 1].empty())
        --count;
    if (count == 0)
        return nullptr;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i)
        bytes += cells[i].size();
    const std::size_t words = 1 + count + (bytes + 3) / 4;
    Block b(new std::uint32_t[words]);
    b[0] = static_cast<std::uint32_t>(count);
    char *text = reinterpret_cast<char *>(b.get() + 1 + count);
    std::uint32_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!cells[i].empty())
            std::memcpy(text + end, cells[i].data(), cells[i].size());
        end += static_cast<std::uint32_t>(cells[i].size());
        b[1 + i] = end;
    }
    return b;
}

void StringGridStore::resizeRows(int n)
{
    m_rows.resize(static_cast<std::size_t>(n < 0 ? 0 : n));
}

std::string_view StringGridStore::cell(int col, int row) const
{
    if (row < 0 || row >= rowCount() || col < 0)
        return {};
    const std::uint32_t *b = m_rows[static_cast<std::size_t>(row)].get();
    if (!b || static_cast<std::uint32_t>(col) >= b[0])
        return {};
    const std::uint32_t start = col == 0 ? 0 : b[col];
    return {blockText(b) + start, b[1 + col] - start};
}

int StringGridStore::storedCells(int row) const
{
    if (row < 0 || row >= rowCount())
        return 0;
    const std::uint32_t *b = m_rows[static_cast<std::size_t>(row)].get();
    return b ? static_cast<int>(b[0]) : 0;
}

void StringGridStore::setCell(int col, int row, std::string_view utf8)
{
    if (row < 0 || row >= rowCount() || col < 0)
        return;
    const int stored = storedCells(row);
    const int count = std::max(stored, col + 1);
    std::string_view small[InlineCells];
    std::vector<std::string_view> large;
    std::span<std::string_view> cells(small, InlineCells);
    if (count > InlineCells) {
        large.resize(static_cast<std::size_t>(count));
        cells = large;
    }
    cells = cells.first(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c)
        cells[static_cast<std::size_t>(c)] = c == col ? utf8 : cell(c, row);
    // The new block is built from views into the old one before it is freed.
    m_rows[static_cast<std::size_t>(row)] = makeBlock(cells);
}

void StringGridStore::setRow(int row, std::span<const std::string_view> cells)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(row)] = makeBlock(cells);
}

} // namespace vandrel
