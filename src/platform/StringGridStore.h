// SPDX-License-Identifier: GPL-3.0-or-later
// Compact cell storage of the string grid: rows in blocks, each block one byte
// buffer of row records (cell end offsets, then the row's UTF-8 text).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// Rows of text cells, addressed (column, row) from 0. A row that holds no
// text costs four bytes in its block (nothing in a block of empty rows);
// trailing empty cells are not stored.
class StringGridStore
{
public:
    StringGridStore();
    ~StringGridStore();
    StringGridStore(StringGridStore &&) noexcept;
    StringGridStore &operator=(StringGridStore &&) noexcept;

    int rowCount() const { return rows_; }
    // New rows are empty; rows beyond n are freed.
    void resizeRows(int n);
    // Empty for a cell never written or out of range. Valid until the store changes.
    std::string_view cell(int col, int row) const;
    void setCell(int col, int row, std::string_view utf8);
    // Replaces the whole row: cells 0..size-1 from `cells`, the rest empty.
    // The cells may be views into this store.
    void setRow(int row, std::span<const std::string_view> cells);
    // A row's cells laid out as this store keeps them, appended to `out`
    // (nothing for a row without text); setRowRecord() then stores the row
    // with one copy. Lets rows be laid out on another thread than the one
    // that owns the store.
    static void appendRecord(std::span<const std::string_view> cells, std::string &out);
    // The same for the cells `first`, then the fields of `line`: field i ends
    // at fieldEnds[i], and the next one starts a byte (its separator) later.
    // `line` may reach past the last field (up to whatever is readable there):
    // short fields are then copied a whole word at a time.
    static void appendRecord(std::string_view first, std::string_view line, std::span<const std::uint8_t> fieldEnds,
                             std::string &out);
    // Replaces the whole row by one laid out by appendRecord (empty: no text).
    void setRowRecord(int row, std::string_view record);
    // Number of cells stored in the row (the last non-empty one + 1).
    int storedCells(int row) const;

    // Rows per block.
    static constexpr int BlockRows = 256;

private:
    struct Block;
    const char *record(int row) const;
    // Makes room for a record of `size` bytes as the row's and has writeTo fill it.
    template <typename Write>
    void place(int row, std::size_t size, const Write &writeTo);
    void closeOpenBlock();
    static void compact(Block &block);

    std::vector<std::unique_ptr<Block>> blocks_; // null: a block of empty rows
    int rows_ = 0;
    // The block rows were last written to; it keeps room to grow, the others are exact.
    std::size_t open_ = SIZE_MAX;
    std::size_t lastClosedBytes_ = 0;
};

} // namespace vandrel
