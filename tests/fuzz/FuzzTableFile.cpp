// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a table file of any content, read with either separator and
// any column count, directly and read ahead on a thread. Checks the rows against the lines they come from, that
// every cell is UTF-8, and that rows written back read back the same.
#include "FuzzCheck.h"

#include "platform/StringGridStore.h"
#include "realtime/TableFile.h"

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

// The lines of the file as a reader sees them: LF ends a line, one CR before
// it belongs to the line end.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

// Checks each row against the line it came from, as far as the line is short
// valid UTF-8 without quotes: then the cells are exactly the line's fields.
void compareWithLines(const Rows &rows, std::string_view text, char sep, int maxCells)
{
    const std::vector<std::string_view> lines = linesOf(text);
    FUZZ_CHECK(rows.size() <= lines.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string_view line = lines[r];
        if (line.find('"') != std::string_view::npos || !fuzz::isValidUtf8(line)
            || characters(line) > static_cast<std::size_t>(TableLineMaxChars))
            return; // quoting, older single-byte text or a cut line: checked by the invariants only
        std::vector<std::string> fields;
        std::size_t pos = 0;
        for (std::size_t s = line.find(sep); s != std::string_view::npos && fields.size() < std::size_t(maxCells);
             s = line.find(sep, pos)) {
            fields.emplace_back(line.substr(pos, s - pos));
            pos = s + 1;
        }
        FUZZ_CHECK(rows[r] == fields);
    }
    // The table goes on up to the first short, quote-free line without a separator.
    if (rows.size() < lines.size()) {
        const std::string_view stop = lines[rows.size()];
        if (stop.find('"') == std::string_view::npos && characters(stop) < std::size_t(TableLineMaxChars)
            && fuzz::isValidUtf8(stop) && (rows.empty() || characters(lines[rows.size() - 1]) < std::size_t(TableLineMaxChars)))
            FUZZ_CHECK(stop.find(sep) == std::string_view::npos);
    }
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
    compareWithLines(rows, text, sep, maxCells);

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
