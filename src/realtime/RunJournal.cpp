// SPDX-License-Identifier: GPL-3.0-or-later
// Run journal lines, their check, reading a journal back and the writer that
// gets each line to the disk before the next sample.
#include "realtime/RunJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
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

JournalContents parseJournal(const QByteArray &bytes)
{
    JournalContents out;
    QList<QByteArray> lines = bytes.split('\n');
    // Whatever follows the last newline was still being written.
    if (!lines.isEmpty() && !lines.takeLast().isEmpty())
        ++out.rejectedLines;
    for (const QByteArray &line : std::as_const(lines)) {
        const std::optional<QByteArray> body = unsealLine(line);
        if (!out.hasHeader) {
            const std::optional<JournalHeader> header = body ? parseHeader(*body) : std::nullopt;
            if (!header)
                return {};
            out.header = *header;
            out.hasHeader = true;
            continue;
        }
        const std::optional<JournalSample> sample = body ? parseSample(*body) : std::nullopt;
        if (sample)
            out.samples << *sample;
        else if (!line.isEmpty() || body)
            ++out.rejectedLines;
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

RunJournal::RunJournal(QString path) : path_(std::move(path)) {}

RunJournal::~RunJournal() = default;

void RunJournal::setPath(const QString &path)
{
    file_.reset();
    count_ = 0;
    path_ = path;
}

bool RunJournal::open(bool fresh)
{
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    file_ = std::make_unique<QFile>(path_);
    const QIODevice::OpenMode mode = fresh ? QIODevice::Truncate : QIODevice::Append;
    if (!file_->open(QIODevice::WriteOnly | mode | QIODevice::Unbuffered)) {
        file_.reset();
        return false;
    }
    syncFolder(folder);
    return true;
}

bool RunJournal::writeLine(const QByteArray &line)
{
    if (file_->write(line) != line.size()) {
        // Start the next line on a line of its own, so a torn piece of this one
        // is the only thing lost.
        file_->write("\n");
        return false;
    }
    // Unbuffered: the bytes are with the system now, so a kill cannot lose
    // them; the sync keeps them through a power loss as well.
    ::fdatasync(file_->handle());
    return true;
}

bool RunJournal::append(const JournalHeader &header, JournalSample sample)
{
    if (path_.isEmpty())
        return true;
    if (!file_) {
        count_ = 0;
        if (!open(true) || !writeLine(journalHeaderLine(header))) {
            file_.reset();
            return false;
        }
    }
    sample.number = count_ + 1;
    if (!writeLine(journalSampleLine(sample)))
        return false;
    ++count_;
    return true;
}

bool RunJournal::rewrite(const JournalContents &contents)
{
    file_.reset();
    count_ = 0;
    if (path_.isEmpty())
        return true;
    if (contents.samples.isEmpty()) {
        end();
        return true;
    }
    // Written beside the old journal and put in its place in one step, with one
    // sync for the whole run: the old journal stays until the new one is whole.
    QByteArray bytes = journalHeaderLine(contents.header);
    int written = 0;
    for (JournalSample s : contents.samples) {
        s.number = ++written;
        bytes += journalSampleLine(s);
    }
    QSaveFile save(path_);
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()) || !save.open(QIODevice::WriteOnly) || save.write(bytes) != bytes.size() || !save.flush())
        return false;
    ::fdatasync(save.handle());
    if (!save.commit() || !open(false))
        return false;
    count_ = written;
    return true;
}

void RunJournal::end()
{
    file_.reset();
    count_ = 0;
    if (!path_.isEmpty())
        QFile::remove(path_);
}

} // namespace vandrel
