// SPDX-License-Identifier: GPL-3.0-or-later
// Table file lines both ways, block-wise reading, the save range and the
// headings of an opened table.
#include "realtime/TableFile.h"

#include <QIODevice>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

TableFileReader::TableFileReader(QIODevice &device, char separator)
    : m_device(device), m_sep(separator), m_buf(new char[ReadBlock])
{
}

QString TableFileReader::errorString() const
{
    return m_device.errorString();
}

bool TableFileReader::fill()
{
    if (m_pos > 0) {
        std::memmove(m_buf.get(), m_buf.get() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
    }
    const qint64 got = m_device.read(m_buf.get() + m_end, static_cast<qint64>(ReadBlock - m_end));
    if (got < 0) {
        m_failed = true;
        return false;
    }
    if (got == 0)
        m_eof = true;
    m_end += static_cast<std::size_t>(got);
    return true;
}

bool TableFileReader::nextLine(std::string_view &line)
{
    for (;;) {
        const char *begin = m_buf.get() + m_pos;
        const auto *nl = static_cast<const char *>(std::memchr(begin, '\n', m_end - m_pos));
        std::string_view raw;
        if (nl) {
            raw = std::string_view(begin, static_cast<std::size_t>(nl - begin));
            m_pos += raw.size() + 1;
        } else if (m_eof || m_end - m_pos >= LongestLineKept) {
            if (m_pos == m_end)
                return false;
            const std::string_view rest(begin, m_end - m_pos);
            raw = rest.substr(0, characterStart(rest, std::min(rest.size(), LongestLineKept)));
            m_pos += raw.size();
            if (!m_eof)
                m_done = true; // no line end in sight: far too long to be a row
        } else {
            if (!fill())
                return false;
            continue;
        }
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        line = decodeAndCut(raw);
        return true;
    }
}

std::string_view TableFileReader::decodeAndCut(std::string_view raw)
{
    const std::size_t limit = TableLineMaxChars;
    const std::size_t ascii = asciiPrefix(raw);
    if (ascii == raw.size() || ascii >= limit) {
        if (raw.size() > limit) {
            m_done = true;
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
            m_done = true;
            raw = raw.substr(0, cutAt);
        }
        return raw;
    }
    if (raw.size() > limit) {
        m_done = true;
        raw = raw.substr(0, limit);
    }
    m_decoded.clear();
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            m_decoded.push_back(c);
        } else {
            m_decoded.push_back(static_cast<char>(0xC0 | (u >> 6)));
            m_decoded.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return m_decoded;
}

bool TableFileReader::nextRow(int maxCells, std::vector<std::string_view> &cells)
{
    if (m_done)
        return false;
    std::string_view line;
    if (!nextLine(line)) {
        m_done = true;
        return false;
    }
    if (!splitTableLine(line, m_sep, maxCells, cells, m_scratch)) {
        m_done = true;
        return false;
    }
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
    if (column7Row1Empty)
        return {QStringLiteral("Temperature"), QStringLiteral("UNIT"), QString(), QString()};
    return {QStringLiteral("T1"), QStringLiteral("UNIT"), QStringLiteral("T2"), QStringLiteral("UNIT"),
            QStringLiteral("Dewpoint")};
}

} // namespace vandrel
