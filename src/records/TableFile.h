// SPDX-License-Identifier: GPL-3.0-or-later
// The table file format: one text line per table row, every cell followed by
// a tab or comma, CR LF line ends. Pure: bytes and cell texts, no widgets.
#pragma once

#include "records/TableRow.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

namespace vandrel {

// Reading keeps at most this many characters of a line; a longer line is cut
// here and ends the table after it.
inline constexpr int TableLineMaxChars = 179;

// ',' when the name's last three characters are "csv" in any case, else '\t'.
char tableSeparator(const QString &fileName);

// Appends one line: each cell (UTF-8) followed by `sep`, then CR LF. A cell
// holding the separator or a double quote is written in double quotes with its
// quotes doubled, so it reads back as one cell; line breaks inside a cell
// become blanks, since they would split the row.
void appendTableLine(std::string &out, std::span<const std::string_view> cells, char sep);

// A table row's line as Save writes it: the cells after the row number (a
// file numbers its rows by their place), each followed by `sep`, then CR LF.
std::string tableRowLine(const QStringList &cells, char sep);

// Splits one line (without its line end) into at most `maxCells` cells; text
// after the last separator and cells beyond `maxCells` are dropped. False when
// the line holds no separator-terminated field, which ends a table. A field is
// read as quoted only when it starts with a quote and its closing quote is
// followed by the separator; anything else is taken as it stands, so files
// without quotes read exactly as they always did. Views point into `line` or
// `scratch`.
bool splitTableLine(std::string_view line, char sep, int maxCells, std::vector<std::string_view> &cells,
                    std::string &scratch);

// How far a table file is read. AsOpen: as File › Open reads it, to the first
// line without a separator, or after a line cut at TableLineMaxChars. WholeFile:
// every line to the end of the file, none cut; a line that holds no row is
// only that (the figures of a record count it and read on).
enum class TableReading { AsOpen, WholeFile };

// Reads the rows of a table file from a device, a block at a time.
// Text is taken as UTF-8; a line that is not valid UTF-8 is read as Latin-1,
// the single-byte text older files carry.
class TableFileReader
{
public:
    TableFileReader(QIODevice &device, char separator, TableReading reading = TableReading::AsOpen);

    // The next row's cells (valid until the next call). False at the end of
    // the table: end of file, a line without separator, after a cut long
    // line, or a read error (failed()).
    bool nextRow(int maxCells, std::vector<std::string_view> &cells);
    // nextRow in two steps, for a caller that takes some lines its own way:
    // the next line as it stands (false at the end of the table), then its
    // cells appended to `cells` (false when the line ends the table).
    bool nextRawLine(std::string_view &line);
    bool appendCells(std::string_view line, int maxCells, std::vector<std::string_view> &cells);
    // The line from nextRawLine and what is read after it, as far as the
    // reader holds it: bytes that may be read but belong to no cell of the line.
    std::string_view readableFrom(std::string_view line) const;
    bool failed() const { return failed_; }
    QString errorString() const;
    // The number of the line nextRawLine gave last (from 1), and whether it
    // had no line end within 64 KiB (only its start was given).
    long long lineNumber() const { return lineNumber_; }
    bool lineOverlong() const { return overlong_; }

private:
    void endTable();
    bool skipRestOfLine();
    // The next line as it stands in the file, without its line end.
    bool nextLine(std::string_view &line);
    bool fill();
    std::string_view decodeAndCut(std::string_view raw);

    QIODevice &device_;
    char sep_;
    // Not zero-filled: only what the file fills is ever touched, so opening
    // a small file costs no megabyte of clearing.
    std::unique_ptr<char[]> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool done_ = false;
    bool failed_ = false;
    bool wholeFile_ = false;
    bool overlong_ = false;
    bool skipRest_ = false;
    long long lineNumber_ = 0;
    std::string decoded_;
    std::string scratch_;
    std::vector<std::string_view> cells_;
};

// The rows of a table file read on a thread of its own, a batch ahead of the
// caller, and laid out there as a table grid keeps them: the row's number
// (1, 2, ...) in its first cell, then its cells, as StringGridStore::appendRecord
// lays them out. Reading, splitting and laying out the next rows thus overlap
// storing the last ones. The rows are those of TableFileReader. The device is
// used by that thread until this object is destroyed.
class TableRowReadAhead
{
public:
    TableRowReadAhead(QIODevice &device, char separator, int maxCells);
    // Stops reading (the rest of the file is left unread) and waits for the thread.
    ~TableRowReadAhead();
    TableRowReadAhead(const TableRowReadAhead &) = delete;
    TableRowReadAhead &operator=(const TableRowReadAhead &) = delete;

    // The next row's record, valid until the next call; empty for a row with
    // no cell (maxCells 0). False at the end of the table, as TableFileReader::nextRow.
    bool nextRow(std::string_view &record);
    // Valid once nextRow returned false.
    bool failed() const { return failed_; }
    QString errorString() const { return error_; }

private:
    struct Batch;
    struct Queue;
    void read(QIODevice &device, char separator, int maxCells);

    std::unique_ptr<Queue> queue_;
    std::unique_ptr<Batch> current_;
    std::size_t row_ = 0;
    bool failed_ = false;
    QString error_;
};

// Rows to save, both inclusive; empty when to < from.
struct SaveRange {
    int from = 1;
    int to = 0;
    bool operator==(const SaveRange &) const = default;
};

// The rows a save writes. `all`: rows 1 to lastRow. Otherwise the absolute
// values of the two boxes, swapped when reversed, `to` cut to lastRow and a
// `from` of 0 raised to 1. Nothing when a box holds no integer ("invalid integer").
std::optional<SaveRange> saveRange(bool all, const QString &fromText, const QString &toText, int lastRow);

// The heading column the opened-table headings start at, and those headings:
// one temperature when cell (7, 1) is empty, else two and a dew point.
inline constexpr int OpenedHeadingsFirstColumn = ColT1;
QStringList openedTableHeadings(bool column7Row1Empty);

} // namespace vandrel
