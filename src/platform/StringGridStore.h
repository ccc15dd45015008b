// SPDX-License-Identifier: GPL-3.0-or-later
// Compact cell storage of the string grid: one heap block per row holding the
// row's UTF-8 text and cell offsets, so a million rows stay small.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace vandrel {

// Rows of text cells, addressed (column, row) from 0. A row that holds no
// text costs one null pointer; trailing empty cells are not stored.
class StringGridStore
{
public:
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // New rows are empty; rows beyond n are freed.
    void resizeRows(int n);
    // Empty for a cell never written or out of range. Valid until the row changes.
    std::string_view cell(int col, int row) const;
    void setCell(int col, int row, std::string_view utf8);
    // Replaces the whole row: cells 0..size-1 from `cells`, the rest empty.
    void setRow(int row, std::span<const std::string_view> cells);
    // Number of cells stored in the row (the last non-empty one + 1).
    int storedCells(int row) const;

private:
    // Layout in 32-bit words: [count][end offset of each cell][text bytes...].
    using Block = std::unique_ptr<std::uint32_t[]>;
    static Block makeBlock(std::span<const std::string_view> cells);
    std::vector<Block> m_rows;
};

} // namespace vandrel
