// SPDX-License-Identifier: GPL-3.0-or-later
// Run journal lines, their check, reading a journal back and the writer that
// gets each line to the disk before the next sample.
#include "realtime/RunJournal.h"

#include "meter/ModelTraits.h"
#include "records/TableRow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>

#include <fcntl.h>
#include <unistd.h>

namespace vandrel {

namespace {

const QByteArray kHeaderTag = QByteArrayLiteral("VANDREL-RUN");
const QByteArray kFormat = QByteArrayLiteral("1");
const QByteArray kSampleTag = QByteArrayLiteral("S");
constexpr int kSampleFixedFields = 8; // tag, number, time, rh, t1, t2, dew point, T2 overload

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<quint32, 256> kCrcTable = makeCrcTable();

quint32 crc32(const QByteArray &bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : bytes)
        c = kCrcTable[(c ^ static_cast<quint8>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// Shortest text that reads back as the same double, in any locale.
QByteArray number(double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, static_cast<qsizetype>(r.ptr - buffer));
}

std::optional<double> toDouble(const QByteArray &text)
{
    double value = 0.0;
    const char *end = text.constData() + text.size();
    const auto r = std::from_chars(text.constData(), end, value);
    if (r.ec != std::errc() || r.ptr != end)
        return std::nullopt;
    return value;
}

std::optional<int> toInt(const QByteArray &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Cells are free text: the few bytes that would break a line are escaped.
QByteArray escapeCell(const QString &cell)
{
    QByteArray out;
    for (char ch : cell.toUtf8()) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += ch;
        }
    }
    return out;
}

QString unescapeCell(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char ch = text.at(i);
        if (ch == '\\' && i + 1 < text.size()) {
            const char next = text.at(++i);
            ch = next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        }
        out += ch;
    }
    return QString::fromUtf8(out);
}

std::optional<JournalHeader> parseHeader(const QByteArray &body)
{
    const QList<QByteArray> f = body.split('\t');
    if (f.size() != 5 || f[0] != kHeaderTag || f[1] != kFormat)
        return std::nullopt;
    const std::optional<int> model = toInt(f[2]);
    const std::optional<int> suffix = toInt(f[3]);
    const std::optional<double> span = toDouble(f[4]);
    if (!model || !suffix || *suffix < 0 || *suffix > 255 || !span)
        return std::nullopt;
    return JournalHeader{*model, static_cast<char>(*suffix), *span};
}

std::optional<JournalSample> parseSample(const QByteArray &body)
{
    const QList<QByteArray> f = body.split('\t');
    if (f.size() <= kSampleFixedFields || f[0] != kSampleTag)
        return std::nullopt;
    JournalSample s;
    const std::optional<int> n = toInt(f[1]);
    const std::optional<double> values[] = {toDouble(f[2]), toDouble(f[3]), toDouble(f[4]), toDouble(f[5]),
                                            toDouble(f[6])};
    for (const auto &v : values)
        if (!v)
            return std::nullopt;
    if (!n || (f[7] != "0" && f[7] != "1"))
        return std::nullopt;
    s.number = *n;
    s.time = *values[0];
    s.rh = *values[1];
    s.t1 = *values[2];
    s.t2 = *values[3];
    s.dewPoint = *values[4];
    s.t2Over = f[7] == "1";
    for (qsizetype i = kSampleFixedFields; i < f.size(); ++i)
        s.cells << unescapeCell(f[i]);
    return s;
}

// Makes a new directory entry survive a power loss, not only the file's bytes.
void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QByteArray sealLine(const QByteArray &body)
{
    return body + "\t#" + QByteArray::number(crc32(body), 16).rightJustified(8, '0');
}

std::optional<QByteArray> unsealLine(const QByteArray &line)
{
    const qsizetype mark = line.lastIndexOf("\t#");
    if (mark < 0 || line.size() - mark != 10)
        return std::nullopt;
    bool ok = false;
    const uint sum = line.mid(mark + 2).toUInt(&ok, 16);
    const QByteArray body = line.left(mark);
    if (!ok || sum != crc32(body))
        return std::nullopt;
    return body;
}

QByteArray journalHeaderLine(const JournalHeader &header)
{
    return sealLine(kHeaderTag + '\t' + kFormat + '\t' + QByteArray::number(header.model) + '\t' +
                    QByteArray::number(static_cast<quint8>(header.suffix)) + '\t' + number(header.graphSpan)) +
           '\n';
}

QByteArray journalSampleLine(const JournalSample &s)
{
    QByteArray body = kSampleTag + '\t' + QByteArray::number(s.number) + '\t' + number(s.time) + '\t' +
                      number(s.rh) + '\t' + number(s.t1) + '\t' + number(s.t2) + '\t' + number(s.dewPoint) +
                      '\t' + (s.t2Over ? "1" : "0");
    for (const QString &cell : s.cells)
        body += '\t' + escapeCell(cell);
    return sealLine(body) + '\n';
}

namespace {

// A sample line whose start a failed write glued to a torn piece of the line
// before: the last place a sealed sample line begins.
std::optional<JournalSample> sampleBehindTornPiece(const QByteArray &line)
{
    const QByteArray start = kSampleTag + '\t';
    for (qsizetype at = line.lastIndexOf(start); at > 0; at = line.lastIndexOf(start, at - 1)) {
        if (const std::optional<QByteArray> body = unsealLine(line.mid(at)))
            return parseSample(*body);
    }
    return std::nullopt;
}

// What a journal without a readable header was laid out for, told from the
// table cells of its samples: a second temperature, a dew point.
JournalHeader headerFromSamples(const QList<JournalSample> &samples)
{
    JournalHeader header;
    bool twoTemperatures = false, dewPoint = false;
    for (const JournalSample &s : samples) {
        twoTemperatures = twoTemperatures || !s.cells.value(ColT2).isEmpty();
        dewPoint = dewPoint || !s.cells.value(ColDewPoint).isEmpty();
    }
    header.model = loggingModelWith(twoTemperatures).code;
    header.suffix = dewPoint ? kDewPointSuffix : 0;
    header.graphSpan = 0.0; // unknown: the run's own is kept
    return header;
}

} // namespace

int JournalContents::expectedRows() const
{
    int highest = 0;
    for (const JournalSample &s : samples)
        highest = std::max(highest, s.number);
    // A row lost in the middle leaves a gap in the numbers; one lost at the
    // end only its torn or damaged line. A torn piece in the middle whose row
    // was written again whole after it costs nothing.
    return std::max(highest, static_cast<int>(samples.size()) + rejectedAtEnd);
}

JournalContents parseJournal(const QByteArray &bytes)
{
    JournalContents out;
    if (bytes.isEmpty())
        return out;
    QList<QByteArray> lines = bytes.split('\n');
    // Whatever follows the last newline was still being written.
    const bool tornEnd = !lines.isEmpty() && !lines.takeLast().isEmpty();
    bool first = true;
    for (const QByteArray &line : std::as_const(lines)) {
        const std::optional<QByteArray> body = unsealLine(line);
        if (first) {
            first = false;
            const std::optional<JournalHeader> header = body ? parseHeader(*body) : std::nullopt;
            if (header) {
                out.header = *header;
                out.hasHeader = true;
            } else {
                out.headerDamaged = true;
                // A first line that is a row: the header was lost whole.
                if (const std::optional<JournalSample> row = body ? parseSample(*body) : std::nullopt)
                    out.samples << *row;
            }
            continue;
        }
        std::optional<JournalSample> sample = body ? parseSample(*body) : std::nullopt;
        if (!sample && !body) {
            sample = sampleBehindTornPiece(line);
            if (sample)
                ++out.rejectedLines; // the torn piece in front
        }
        if (sample) {
            out.samples << *sample;
            out.rejectedAtEnd = 0;
        } else if (!line.isEmpty() || body) {
            ++out.rejectedLines;
            ++out.rejectedAtEnd;
        }
    }
    // Whatever follows the last newline was still being written.
    if (tornEnd) {
        ++out.rejectedLines;
        ++out.rejectedAtEnd;
    }
    if (out.headerDamaged) {
        if (!out.samples.isEmpty()) {
            out.header = headerFromSamples(out.samples);
            out.hasHeader = true;
        }
    }
    return out;
}

JournalContents readJournal(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return parseJournal(file.readAll());
}

RunJournal::RunJournal(QString path, DiskCalls calls) : path_(std::move(path)), calls_(std::move(calls)) {}

RunJournal::~RunJournal()
{
    closeFile();
}

void RunJournal::closeFile()
{
    if (fd_ >= 0)
        calls_.close(fd_);
    fd_ = -1;
}

void RunJournal::setPath(const QString &path)
{
    closeFile();
    written_ = 0;
    pending_.clear();
    problem_.clear();
    path_ = path;
}

bool RunJournal::openFresh()
{
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) {
        // mkpath keeps its reason to itself; a folder we may not make is the usual one.
        const QFileInfo parent(QFileInfo(folder).absolutePath());
        problem_ = systemReason(parent.exists() ? EACCES : ENOENT);
        return false;
    }
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        problem_ = systemReason(errno);
        return false;
    }
    syncFolder(folder);
    goodSize_ = 0;
    torn_ = false;
    headerDue_ = true;
    written_ = 0;
    return true;
}

// Writes every waiting sample in one go and syncs once: each of them is on the
// disk before the next tick.
bool RunJournal::catchUp()
{
    if (fd_ < 0 && !openFresh())
        return false;
    QByteArray bytes;
    if (torn_) {
        // Take a torn piece back; where that fails, at least start on a line
        // of its own, so the piece never swallows the next good line.
        if (::ftruncate(fd_, goodSize_) == 0)
            torn_ = false;
        else
            bytes += '\n';
    }
    if (headerDue_)
        bytes += journalHeaderLine(header_);
    for (const JournalSample &s : std::as_const(pending_))
        bytes += journalSampleLine(s);
    if (!writeFully(calls_, fd_, bytes.constData(), static_cast<std::size_t>(bytes.size())) ||
        calls_.sync(fd_) != 0) {
        problem_ = systemReason(errno);
        torn_ = true;
        return false;
    }
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    goodSize_ = end >= 0 ? end : goodSize_ + bytes.size();
    torn_ = false;
    headerDue_ = false;
    written_ += static_cast<int>(pending_.size());
    pending_.clear();
    problem_.clear();
    return true;
}

bool RunJournal::append(const JournalHeader &header, JournalSample sample)
{
    if (path_.isEmpty())
        return true;
    if (written_ == 0 && pending_.isEmpty() && fd_ < 0)
        header_ = header;
    sample.number = written_ + static_cast<int>(pending_.size()) + 1;
    pending_ << std::move(sample);
    return catchUp();
}

bool RunJournal::rewrite(const JournalContents &contents)
{
    closeFile();
    written_ = 0;
    pending_.clear();
    problem_.clear();
    if (path_.isEmpty())
        return true;
    if (contents.samples.isEmpty()) {
        end();
        return true;
    }
    header_ = contents.header;
    // Written beside the old journal and put in its place in one step, with one
    // sync for the whole run: the old journal stays until the new one is whole.
    QByteArray bytes = journalHeaderLine(header_);
    QList<JournalSample> samples = contents.samples;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        samples[i].number = static_cast<int>(i) + 1;
        bytes += journalSampleLine(samples[i]);
    }
    SafeSaveFile save(path_, calls_);
    const bool saved = QDir().mkpath(QFileInfo(path_).absolutePath()) && save.open(QIODevice::WriteOnly) &&
                       save.write(bytes) == bytes.size() && save.commit();
    if (saved) {
        fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd_ >= 0) {
            written_ = static_cast<int>(samples.size());
            goodSize_ = bytes.size();
            torn_ = false;
            headerDue_ = false;
            return true;
        }
    }
    // The rows wait with the run and go into a new journal once one can be written.
    problem_ = saved ? systemReason(errno) : save.errorString();
    pending_ = std::move(samples);
    return false;
}

void RunJournal::end()
{
    closeFile();
    written_ = 0;
    pending_.clear();
    problem_.clear();
    if (!path_.isEmpty())
        QFile::remove(path_);
}

} // namespace vandrel
