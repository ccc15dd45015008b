// SPDX-License-Identifier: GPL-3.0-or-later
// Table file lines both ways, block-wise reading, the save range and the
// headings of an opened table.
#include "records/TableFile.h"

#include "meter/ModelTraits.h"
#include "platform/StringGridStore.h"

#include <QIODevice>

#include <algorithm>
#include <bit>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace vandrel {

namespace {

// A line longer than this without a line end cannot be a table row; only its
// start is looked at, and the table ends after it.
constexpr std::size_t LongestLineKept = 64 * 1024;
constexpr std::size_t ReadBlock = 1024 * 1024;

bool needsQuotes(std::string_view cell, char sep)
{
    for (const char c : cell) {
        if (c == sep || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

void appendCell(std::string &out, std::string_view cell, char sep)
{
    if (!needsQuotes(cell, sep)) {
        out.append(cell);
        return;
    }
    bool quoted = false;
    for (const char c : cell)
        quoted = quoted || c == sep || c == '"';
    if (quoted)
        out.push_back('"');
    for (const char c : cell) {
        if (c == '\r' || c == '\n')
            out.push_back(' ');
        else if (c == '"')
            out.append("\"\"");
        else
            out.push_back(c);
    }
    if (quoted)
        out.push_back('"');
}

// A quoted field starting at line[pos]; false when it is not one (no closing
// quote directly before a separator), in which case it is read as it stands.
bool readQuoted(std::string_view line, std::size_t pos, char sep, std::string &scratch, std::string_view &field,
                std::size_t &next)
{
    bool doubled = false;
    std::size_t i = pos + 1;
    for (;;) {
        const std::size_t q = line.find('"', i);
        if (q == std::string_view::npos)
            return false;
        if (q + 1 < line.size() && line[q + 1] == '"') {
            doubled = true;
            i = q + 2;
            continue;
        }
        if (q + 1 >= line.size() || line[q + 1] != sep)
            return false;
        const std::string_view inner = line.substr(pos + 1, q - pos - 1);
        next = q + 2;
        if (!doubled) {
            field = inner;
            return true;
        }
        const std::size_t start = scratch.size();
        for (std::size_t k = 0; k < inner.size(); ++k) {
            scratch.push_back(inner[k]);
            if (inner[k] == '"')
                ++k; // the second quote of a pair
        }
        field = std::string_view(scratch).substr(start);
        return true;
    }
}

std::size_t asciiPrefix(std::string_view s)
{
    // Eight bytes at a time while none has its top bit set.
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t utf8Sequence(std::string_view s, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    std::size_t n = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0)
        n = 2, min = 0x80, cp = c & 0x1F;
    else if ((c & 0xF0) == 0xE0)
        n = 3, min = 0x800, cp = c & 0x0F;
    else if ((c & 0xF8) == 0xF0)
        n = 4, min = 0x10000, cp = c & 0x07;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// The cut nearest below `at` that splits no UTF-8 character: a byte that
// continues a character (10xxxxxx) stays with the bytes before it. Single-byte
// text loses at most three bytes there, far beyond what a row keeps.
std::size_t characterStart(std::string_view s, std::size_t at)
{
    std::size_t cut = at;
    while (cut > 0 && cut < s.size() && at - cut < 3 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

enum class Plain { No, Ended, Row };

// Bytes i..i+7 of s, byte i lowest; bytes past the end are 0. A whole word is
// one load; the tail is put together in a register, since copying it through
// memory would stall the load that follows.
std::uint64_t littleEndianWord(std::string_view s, std::size_t i)
{
    std::uint64_t w = 0;
    if (s.size() - i >= 8) {
        std::memcpy(&w, s.data() + i, 8);
        if constexpr (std::endian::native == std::endian::big)
            w = __builtin_bswap64(w);
        return w;
    }
    for (std::size_t k = s.size(); k-- > i;)
        w = w << 8 | static_cast<unsigned char>(s[k]);
    return w;
}

// Where the fields of a plain line end, at most maxCells of them.
struct PlainFields {
    std::uint8_t ends[TableLineMaxChars];
    std::size_t count = 0;
};

// The fields of a short line of ASCII without quotes, the line of nearly every
// table file; Plain::No for any other line, which the general reading takes.
// The fields are exactly the cells splitTableLine gives. The separators are
// first gathered into a bit per byte, eight bytes at a time, so the fields come
// out of a loop without a branch per byte or per word.
Plain plainFields(std::string_view line, char sep, int maxCells, PlainFields &fields)
{
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Lows = 0x7F7F7F7F7F7F7F7Fu;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    constexpr std::size_t Words = (TableLineMaxChars + 63) / 64;
    if (line.size() > static_cast<std::size_t>(TableLineMaxChars))
        return Plain::No;
    // The top bit of each byte of w that equals the byte in `pattern`, and no other.
    const auto equalBytes = [](std::uint64_t w, std::uint64_t pattern) {
        const std::uint64_t t = w ^ pattern;
        return ~(((t & Lows) + Lows) | t) & Highs;
    };
    const std::uint64_t seps = Ones * static_cast<unsigned char>(sep);
    const std::uint64_t quotes = Ones * static_cast<unsigned char>('"');
    std::uint64_t bits[Words] = {};
    std::uint64_t odd = 0;
    std::size_t count = 0;
    for (std::size_t k = 0; k < Words && 64 * k < line.size(); ++k) {
        std::uint64_t b = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            const std::size_t i = 64 * k + 8 * j;
            if (i >= line.size())
                break;
            const std::uint64_t w = littleEndianWord(line, i);
            odd |= (w & Highs) | equalBytes(w, quotes);
            // The separators' top bits moved to bits 0, 8, ...: one product
            // gathers them in its top byte, another adds them up there.
            const std::uint64_t found = equalBytes(w, seps) >> 7;
            b |= ((found * 0x0102040810204080u) >> 56) << (8 * j);
            count += static_cast<std::size_t>((found * Ones) >> 56);
        }
        bits[k] = b;
    }
    if (odd != 0)
        return Plain::No;
    if (count == 0)
        return Plain::Ended;
    fields.count = std::min(count, static_cast<std::size_t>(std::max(0, maxCells)));
    std::uint8_t *out = fields.ends;
    std::size_t left = fields.count;
    for (std::size_t k = 0; k < Words && left > 0; ++k) {
        for (std::uint64_t m = bits[k]; m != 0 && left > 0; m &= m - 1, --left)
            *out++ = static_cast<std::uint8_t>(64 * k + static_cast<std::size_t>(std::countr_zero(m)));
    }
    return Plain::Row;
}

} // namespace

char tableSeparator(const QString &fileName)
{
    return fileName.right(3).compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ? ',' : '\t';
}

void appendTableLine(std::string &out, std::span<const std::string_view> cells, char sep)
{
    for (const std::string_view cell : cells) {
        appendCell(out, cell, sep);
        out.push_back(sep);
    }
    out.append("\r\n");
}

std::string tableRowLine(const QStringList &cells, char sep)
{
    std::vector<std::string> utf8;
    for (qsizetype c = 1; c < cells.size(); ++c)
        utf8.push_back(cells.at(c).toStdString());
    const std::vector<std::string_view> views(utf8.begin(), utf8.end());
    std::string line;
    appendTableLine(line, views, sep);
    return line;
}

bool splitTableLine(std::string_view line, char sep, int maxCells, std::vector<std::string_view> &cells,
                    std::string &scratch)
{
    cells.clear();
    scratch.clear();
    // Unquoted fields never outgrow the line, so views into scratch stay put.
    scratch.reserve(line.size());
    bool terminated = false;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::string_view field;
        std::size_t next = 0;
        if (line[pos] != '"' || !readQuoted(line, pos, sep, scratch, field, next)) {
            // Fields are a few characters: a plain loop beats a library search here.
            std::size_t s = pos;
            while (s < line.size() && line[s] != sep)
                ++s;
            if (s == line.size())
                break;
            field = line.substr(pos, s - pos);
            next = s + 1;
        }
        terminated = true;
        if (static_cast<int>(cells.size()) >= maxCells)
            break;
        cells.push_back(field);
        pos = next;
    }
    return terminated;
}

TableFileReader::TableFileReader(QIODevice &device, char separator, TableReading reading)
    : device_(device), sep_(separator), buf_(new char[ReadBlock]), wholeFile_(reading == TableReading::WholeFile)
{
}

void TableFileReader::endTable()
{
    // Reading a whole file, a line that would end a table is only a line
    // that cannot be read; the caller counts it and reads on.
    if (!wholeFile_)
        done_ = true;
}

bool TableFileReader::skipRestOfLine()
{
    while (skipRest_) {
        const char *begin = buf_.get() + pos_;
        const auto *nl = static_cast<const char *>(std::memchr(begin, '\n', end_ - pos_));
        if (nl) {
            pos_ += static_cast<std::size_t>(nl - begin) + 1;
            skipRest_ = false;
        } else {
            pos_ = end_;
            if (eof_ || !fill())
                return false;
            if (eof_ && pos_ == end_)
                return false;
        }
    }
    return true;
}

QString TableFileReader::errorString() const
{
    return device_.errorString();
}

bool TableFileReader::fill()
{
    if (pos_ > 0) {
        std::memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    const qint64 got = device_.read(buf_.get() + end_, static_cast<qint64>(ReadBlock - end_));
    if (got < 0) {
        failed_ = true;
        return false;
    }
    if (got == 0)
        eof_ = true;
    end_ += static_cast<std::size_t>(got);
    return true;
}

bool TableFileReader::nextLine(std::string_view &line)
{
    if (!skipRestOfLine())
        return false;
    for (;;) {
        const char *begin = buf_.get() + pos_;
        const auto *nl = static_cast<const char *>(std::memchr(begin, '\n', end_ - pos_));
        std::string_view raw;
        if (nl) {
            raw = std::string_view(begin, static_cast<std::size_t>(nl - begin));
            pos_ += raw.size() + 1;
        } else if (eof_ || end_ - pos_ >= LongestLineKept) {
            if (pos_ == end_)
                return false;
            const std::string_view rest(begin, end_ - pos_);
            raw = rest.substr(0, characterStart(rest, std::min(rest.size(), LongestLineKept)));
            pos_ += raw.size();
            overlong_ = !eof_;
            if (overlong_ && wholeFile_)
                skipRest_ = true; // the rest of this line is no row either
            else if (overlong_)
                done_ = true; // no line end in sight: far too long to be a row
        } else {
            if (!fill())
                return false;
            continue;
        }
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        if (nl)
            overlong_ = false;
        ++lineNumber_;
        line = raw;
        return true;
    }
}

std::string_view TableFileReader::decodeAndCut(std::string_view raw)
{
    const std::size_t limit = wholeFile_ ? raw.size() : std::size_t(TableLineMaxChars);
    const std::size_t ascii = asciiPrefix(raw);
    if (ascii == raw.size() || ascii >= limit) {
        if (raw.size() > limit) {
            endTable();
            raw = raw.substr(0, limit);
        }
        return raw;
    }
    // Count characters as UTF-8 while it is valid; else it is single-byte text.
    std::size_t i = ascii;
    std::size_t chars = ascii;
    std::size_t cutAt = raw.size();
    while (i < raw.size()) {
        const std::size_t n = utf8Sequence(raw, i);
        if (n == 0)
            break;
        if (chars == limit && cutAt == raw.size())
            cutAt = i;
        i += n;
        ++chars;
    }
    if (i == raw.size()) {
        if (chars > limit) {
            endTable();
            raw = raw.substr(0, cutAt);
        }
        return raw;
    }
    if (raw.size() > limit) {
        endTable();
        raw = raw.substr(0, limit);
    }
    decoded_.clear();
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            decoded_.push_back(c);
        } else {
            decoded_.push_back(static_cast<char>(0xC0 | (u >> 6)));
            decoded_.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return decoded_;
}

bool TableFileReader::nextRow(int maxCells, std::vector<std::string_view> &cells)
{
    cells.clear();
    std::string_view line;
    return nextRawLine(line) && appendCells(line, maxCells, cells);
}

bool TableFileReader::nextRawLine(std::string_view &line)
{
    if (done_)
        return false;
    if (!nextLine(line)) {
        done_ = true;
        return false;
    }
    return true;
}

std::string_view TableFileReader::readableFrom(std::string_view line) const
{
    const char *end = buf_.get() + end_;
    return {line.data(), static_cast<std::size_t>(end - line.data())};
}

bool TableFileReader::appendCells(std::string_view line, int maxCells, std::vector<std::string_view> &cells)
{
    PlainFields plain;
    switch (plainFields(line, sep_, maxCells, plain)) {
    case Plain::Row: {
        std::size_t start = 0;
        for (std::size_t i = 0; i < plain.count; ++i) {
            cells.push_back(line.substr(start, plain.ends[i] - start));
            start = plain.ends[i] + 1u;
        }
        return true;
    }
    case Plain::Ended:
        endTable();
        return false;
    case Plain::No:
        break;
    }
    if (!splitTableLine(decodeAndCut(line), sep_, maxCells, cells_, scratch_)) {
        endTable();
        return false;
    }
    cells.insert(cells.end(), cells_.begin(), cells_.end());
    return true;
}

struct TableRowReadAhead::Batch {
    std::string records;
    std::vector<std::size_t> ends; // end of each row's record in `records`
    bool last = false;             // the end of the table follows this batch

    // Small enough to stay in a core's cache on its way between the threads,
    // big enough that handing it over costs next to nothing.
    static constexpr std::size_t BatchRows = 1024;
};

// Batches go round: the reading thread fills free ones, the caller empties
// full ones and gives them back. Three let each side work while the third waits.
struct TableRowReadAhead::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<Batch>> free;
    std::deque<std::unique_ptr<Batch>> full;
    bool stop = false;
    bool failed = false;
    QString error;
    std::thread thread;
};

TableRowReadAhead::TableRowReadAhead(QIODevice &device, char separator, int maxCells) : queue_(new Queue)
{
    for (int i = 0; i < 3; ++i)
        queue_->free.push_back(std::make_unique<Batch>());
    queue_->thread = std::thread([this, &device, separator, maxCells] { read(device, separator, maxCells); });
}

TableRowReadAhead::~TableRowReadAhead()
{
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->stop = true;
    }
    queue_->changed.notify_all();
    queue_->thread.join();
}

void TableRowReadAhead::read(QIODevice &device, char separator, int maxCells)
{
    Queue &q = *queue_;
    const auto take = [&q]() -> std::unique_ptr<Batch> {
        std::unique_lock lock(q.mutex);
        q.changed.wait(lock, [&q] { return q.stop || !q.free.empty(); });
        if (q.stop)
            return nullptr;
        std::unique_ptr<Batch> b = std::move(q.free.back());
        q.free.pop_back();
        b->records.clear();
        b->ends.clear();
        return b;
    };
    const auto hand = [&q](std::unique_ptr<Batch> b) {
        {
            const std::lock_guard lock(q.mutex);
            q.full.push_back(std::move(b));
        }
        q.changed.notify_all();
    };

    TableFileReader reader(device, separator);
    std::vector<std::string_view> cells;
    PlainFields plain;
    char number[16];
    std::size_t rows = 0;
    std::unique_ptr<Batch> batch = take();
    while (batch) {
        std::string_view line;
        if (!reader.nextRawLine(line))
            break;
        const Plain kind = plainFields(line, separator, maxCells, plain);
        if (kind == Plain::Ended)
            break;
        cells.resize(1); // the row's number goes first
        if (kind == Plain::No && !reader.appendCells(line, maxCells, cells))
            break;
        const auto written = std::to_chars(number, number + sizeof number, ++rows);
        const std::string_view first(number, static_cast<std::size_t>(written.ptr - number));
        // A plain line is laid out straight from where its fields end.
        if (kind == Plain::Row && plain.count > 0) {
            StringGridStore::appendRecord(first, reader.readableFrom(line), std::span(plain.ends, plain.count),
                                          batch->records);
        } else if (cells.size() > 1) {
            cells[0] = first;
            StringGridStore::appendRecord(cells, batch->records);
        } // else no cell has a place, not even the number
        batch->ends.push_back(batch->records.size());
        if (batch->ends.size() == Batch::BatchRows) {
            hand(std::move(batch));
            batch = take();
        }
    }
    if (!batch)
        return;
    batch->last = true;
    {
        const std::lock_guard lock(q.mutex);
        q.failed = reader.failed();
        if (q.failed)
            q.error = reader.errorString();
    }
    hand(std::move(batch));
}

bool TableRowReadAhead::nextRow(std::string_view &record)
{
    Queue &q = *queue_;
    while (!current_ || row_ == current_->ends.size()) {
        if (current_ && current_->last)
            return false;
        std::unique_lock lock(q.mutex);
        if (current_)
            q.free.push_back(std::move(current_));
        q.changed.notify_all();
        q.changed.wait(lock, [&q] { return !q.full.empty(); });
        current_ = std::move(q.full.front());
        q.full.pop_front();
        row_ = 0;
        if (current_->last) {
            failed_ = q.failed;
            error_ = q.error;
        }
    }
    const std::size_t from = row_ == 0 ? 0 : current_->ends[row_ - 1];
    record = std::string_view(current_->records).substr(from, current_->ends[row_] - from);
    ++row_;
    return true;
}

std::optional<SaveRange> saveRange(bool all, const QString &fromText, const QString &toText, int lastRow)
{
    if (all)
        return SaveRange{1, lastRow};
    bool okFrom = false;
    bool okTo = false;
    const qint64 fromValue = fromText.trimmed().toInt(&okFrom);
    const qint64 toValue = toText.trimmed().toInt(&okTo);
    if (!okFrom || !okTo)
        return std::nullopt;
    qint64 from = std::llabs(fromValue);
    qint64 to = std::llabs(toValue);
    if (to < from)
        std::swap(from, to);
    to = std::min<qint64>(to, lastRow);
    if (from == 0)
        from = 1;
    // Past the last row nothing is written; keep it there within int range.
    from = std::min<qint64>(from, qint64(lastRow) + 1);
    return SaveRange{static_cast<int>(from), static_cast<int>(to)};
}

QStringList openedTableHeadings(bool column7Row1Empty)
{
    return temperatureHeadings(!column7Row1Empty);
}

} // namespace vandrel
