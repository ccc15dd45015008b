// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a table file of any content, read with either separator and
// any column count, directly and read ahead on a thread. Checks every row
// against an independent reading of the format, that every cell is UTF-8, and
// that rows written back read back the same.
#include "FuzzCheck.h"

#include "platform/StringGridStore.h"
#include "records/TableFile.h"

#include <QBuffer>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

using namespace vandrel;

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows readRows(const QByteArray &bytes, char sep, int maxCells)
{
    QByteArray data = bytes;
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    TableFileReader reader(device, sep);
    Rows rows;
    std::vector<std::string_view> cells;
    while (reader.nextRow(maxCells, cells))
        rows.emplace_back(cells.begin(), cells.end());
    FUZZ_CHECK(!reader.failed());

    // Reading ahead on a thread of its own finds the very same rows, laid
    // out as a grid keeps them: the row's number first, empty cells at the end dropped.
    QBuffer again(&data);
    again.open(QIODevice::ReadOnly);
    TableRowReadAhead ahead(again, sep, maxCells);
    StringGridStore store;
    store.resizeRows(1);
    std::string_view record;
    std::size_t n = 0;
    while (ahead.nextRow(record)) {
        FUZZ_CHECK(n < rows.size());
        store.setRowRecord(0, record);
        std::vector<std::string> expected = rows[n];
        while (!expected.empty() && expected.back().empty())
            expected.pop_back();
        ++n;
        FUZZ_CHECK(store.cell(0, 0) == std::to_string(n));
        FUZZ_CHECK(store.storedCells(0) == static_cast<int>(expected.size()) + 1);
        for (std::size_t c = 0; c < expected.size(); ++c)
            FUZZ_CHECK(store.cell(static_cast<int>(c) + 1, 0) == expected[c]);
    }
    FUZZ_CHECK(n == rows.size() && !ahead.failed());
    return rows;
}

std::size_t characters(std::string_view utf8)
{
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

constexpr std::size_t kLookedAt = 64 * 1024; // of a line without a line end in sight

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The line's text as cells hold it: UTF-8 cut after 179 characters, or, when
// the line is no valid UTF-8, its first 179 bytes read as Latin-1. `cut` tells
// whether anything was left off.
std::string decoded(std::string_view raw, bool &cut)
{
    const std::size_t limit = TableLineMaxChars;
    std::string out;
    if (fuzz::isValidUtf8(raw)) {
        std::size_t chars = 0, i = 0;
        for (; i < raw.size(); ++i) {
            if (!continuationByte(raw[i]) && ++chars > limit)
                break;
        }
        cut = i < raw.size();
        return std::string(raw.substr(0, i));
    }
    cut = raw.size() > limit;
    for (const char c : raw.substr(0, limit)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

// One field from `pos`: quoted when it opens with a quote and a closing quote
// (inner quotes doubled) stands right before a separator; otherwise the text
// up to the next separator. False when no separator ends it.
bool fieldAt(std::string_view line, std::size_t pos, char sep, std::string &field, std::size_t &next)
{
    if (line[pos] == '"') {
        std::string inner;
        for (std::size_t i = pos + 1; i < line.size();) {
            if (line[i] != '"') {
                inner.push_back(line[i++]);
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                inner.push_back('"');
                i += 2;
            } else {
                if (i + 1 < line.size() && line[i + 1] == sep) {
                    field = std::move(inner);
                    next = i + 2;
                    return true;
                }
                break; // a lone quote: the field is taken as it stands
            }
        }
    }
    const std::size_t end = line.find(sep, pos);
    if (end == std::string_view::npos)
        return false;
    field = std::string(line.substr(pos, end - pos));
    next = end + 1;
    return true;
}

// The rows of a table file as the format defines them, read the plain way: a
// line ends at LF (a CR before it belongs to the line end); a last line longer
// than 64 KiB is looked at only up to there, never splitting a character; a
// line is cut after 179 characters and then ends the table; so does a line
// without a separator-terminated field. Fields beyond `maxCells` are dropped.
Rows referenceRows(std::string_view text, char sep, int maxCells)
{
    Rows rows;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        std::string_view raw = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (nl == std::string_view::npos && raw.size() > kLookedAt) {
            std::size_t keep = kLookedAt;
            while (keep > kLookedAt - 3 && continuationByte(raw[keep]))
                --keep;
            raw = raw.substr(0, keep);
        }
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        bool cut = false;
        const std::string line = decoded(raw, cut);
        std::vector<std::string> cells;
        bool terminated = false;
        for (std::size_t at = 0, next = 0; at < line.size(); at = next) {
            std::string field;
            if (!fieldAt(line, at, sep, field, next))
                break;
            terminated = true;
            if (cells.size() >= static_cast<std::size_t>(maxCells))
                break;
            cells.push_back(std::move(field));
        }
        if (!terminated)
            break;
        rows.push_back(std::move(cells));
        if (cut)
            break;
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const char sep = in.ConsumeBool() ? ',' : '\t';
    const int maxCells = in.ConsumeIntegralInRange(1, 12);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const QByteArray bytes = QByteArray::fromStdString(text);

    const Rows rows = readRows(bytes, sep, maxCells);
    for (const auto &row : rows) {
        FUZZ_CHECK(!row.empty() && row.size() <= static_cast<std::size_t>(maxCells));
        std::size_t chars = 0;
        for (const std::string &cell : row) {
            FUZZ_CHECK(fuzz::isValidUtf8(cell));
            FUZZ_CHECK(cell.find('\n') == std::string::npos);
            chars += characters(cell) + 1;
        }
        FUZZ_CHECK(chars <= static_cast<std::size_t>(TableLineMaxChars)); // each cell had its separator
    }
    // Every row, quoted, single-byte or cut ones included, is the row the
    // format gives. (The reader takes a block of 1 MiB at a time; inputs stay
    // below it, so no line outgrows what the reader holds.)
    if (text.size() < 1024 * 1024)
        FUZZ_CHECK(rows == referenceRows(text, sep, maxCells));

    // What was read, written again, reads back the same (line breaks inside
    // a cell become blanks on writing), as long as the written line fits.
    std::string written;
    Rows fitting;
    for (const auto &row : rows) {
        std::string line;
        const std::vector<std::string_view> views(row.begin(), row.end());
        appendTableLine(line, views, sep);
        if (characters(line) - 2 > static_cast<std::size_t>(TableLineMaxChars))
            break;
        written += line;
        fitting.push_back(row);
        for (std::string &cell : fitting.back())
            std::replace(cell.begin(), cell.end(), '\r', ' ');
    }
    FUZZ_CHECK(readRows(QByteArray::fromStdString(written), sep, maxCells) == fitting);
    return 0;
}
