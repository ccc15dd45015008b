// SPDX-License-Identifier: GPL-3.0-or-later
// The report command: its files checked before anything is read, and the PDF
// and the CSV put in place together.
#include "cli/ReportCommand.h"

#include "cli/CliOptions.h"
#include "insight/RecordSources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace vandrel::cli {

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A finished file beside its target, waiting to take its place; removed
// unless it did.
struct StagedFile {
    explicit StagedFile(QString userPath) : path(std::move(userPath)) {}
    QString path; // as the user gave it, for messages
    QString from, to;
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;
    ~StagedFile()
    {
        if (!from.isEmpty())
            ::unlink(QFile::encodeName(from).constData());
    }
};

// The disk calls of `calls` with the last step, the rename, only noted: the
// report's writers carry every byte to the disk and leave the finished file
// beside its target, so that the PDF and the CSV can take their places together.
DiskCalls stagingCalls(const DiskCalls &calls, StagedFile &staged)
{
    DiskCalls c = calls;
    c.rename = [&staged](const char *from, const char *to) {
        staged.from = QFile::decodeName(from);
        staged.to = QFile::decodeName(to);
        return 0;
    };
    return c;
}

void syncFolderOf(const QString &path)
{
    const int folder =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

bool place(StagedFile &file, const DiskCalls &calls, QString &error)
{
    if (calls.rename(QFile::encodeName(file.from).constData(), QFile::encodeName(file.to).constData()) != 0) {
        error = reportWriteError(file.path, systemReason(errno));
        return false;
    }
    file.from.clear();
    syncFolderOf(file.to);
    return true;
}

// The file a placing replaces, kept under a second name beside it until the
// pair is in place, so that the first of the two can be given back.
class KeptOld {
public:
    KeptOld() = default;
    KeptOld(const KeptOld &) = delete;
    KeptOld &operator=(const KeptOld &) = delete;
    ~KeptOld()
    {
        if (!kept_.isEmpty())
            ::unlink(QFile::encodeName(kept_).constData());
    }
    // False when there is a file at `target` and it could not be kept.
    // Anything else there (a folder) fails the placing itself.
    bool keep(const QString &target)
    {
        target_ = target;
        if (!QFileInfo(target).isFile())
            return true;
        const QFileInfo info(target);
        const QByteArray from = QFile::encodeName(target);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name = info.absoluteDir().filePath(
                QStringLiteral(".%1.%2.old").arg(info.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                       QLatin1Char('0')));
            if (::link(from.constData(), QFile::encodeName(name).constData()) == 0) {
                kept_ = name;
                return true;
            }
            if (errno == EEXIST)
                continue;
            // A second name costs nothing; a disk without them gets a copy.
            if (!QFile::copy(target, name))
                return false;
            kept_ = name;
            return true;
        }
        return false;
    }
    // The old file back in its place, or the new one gone when there was none.
    void restore()
    {
        const QByteArray target = QFile::encodeName(target_);
        if (kept_.isEmpty())
            ::unlink(target.constData());
        else if (::rename(QFile::encodeName(kept_).constData(), target.constData()) == 0)
            kept_.clear();
    }

private:
    QString target_;
    QString kept_;
};

Refusal usage(const QString &message)
{
    return {kExitUsage, message};
}

} // namespace

Refusal reportPathsRefusal(const CliOptions &o)
{
    const QString replaces = QStringLiteral("%1 %2 is the file --in reads; the report would replace the record "
                                            "(give another file)");
    if (sameFile(o.out, o.in))
        return usage(replaces.arg(QStringLiteral("--out"), native(o.out)));
    if (!o.csv.isEmpty() && sameFile(o.csv, o.in))
        return usage(replaces.arg(QStringLiteral("--csv"), native(o.csv)));
    if (!o.csv.isEmpty() && sameFile(o.csv, o.out))
        return usage(QStringLiteral("--out %1 and --csv %2 are the same file; give each its own")
                         .arg(native(o.out), native(o.csv)));
    return {};
}

Refusal reportLimitsRefusal(const CliOptions &o, const Record &record)
{
    for (const Channel channel : kChannels) {
        if (o.limits.limits[channel].any() && !record.has(channel))
            return usage(QStringLiteral("--limits %1: %2 has no %3 values; no report written")
                             .arg(QLatin1String(channelInfo(channel).shortKey), native(o.in), channelName(channel)));
    }
    return {};
}

bool writeReportFiles(const QString &pdfPath, const QString &csvPath, const ReportInput &input,
                      const ReportTables &tables, ReportPaper paper, QString &error, const DiskCalls &calls)
{
    StagedFile pdf(pdfPath);
    StagedFile csv(csvPath);
    if (!writeReportPdf(pdfPath, input, tables, paper, error, stagingCalls(calls, pdf)))
        return false;
    if (csvPath.isEmpty())
        return place(pdf, calls, error);
    if (!writeReportCsv(csvPath, tables, error, stagingCalls(calls, csv)))
        return false;
    KeptOld old;
    if (!old.keep(pdf.to)) {
        error = reportWriteError(pdfPath, QStringLiteral("Its old version could not be kept while the new one is "
                                                         "put in place."));
        return false;
    }
    if (!place(pdf, calls, error))
        return false;
    if (!place(csv, calls, error)) {
        old.restore();
        return false;
    }
    return true;
}

int runReport(const CliOptions &o)
{
    if (const Refusal refusal = reportPathsRefusal(o)) {
        printError(refusal.message);
        return refusal.status;
    }
    RecordFile file = readRecordFile(o.in);
    if (!file.error.isEmpty()) {
        printError(QStringLiteral("cannot read %1: %2").arg(native(o.in), file.error));
        return kExitFailed;
    }
    if (file.record.seconds.empty()) {
        printError(QStringLiteral("%1 holds no table row with a date and time; no report written").arg(native(o.in)));
        return kExitFailed;
    }
    if (const Refusal refusal = reportLimitsRefusal(o, file.record)) {
        printError(refusal.message);
        return refusal.status;
    }
    // The report is made of what could be read; what could not is said here
    // as well as in the report, so a script sees it too.
    if (file.notes.unreadable.count > 0)
        printError(QStringLiteral("%1: %2").arg(native(o.in), file.notes.unreadable.text()));
    ReportInput in;
    in.header.model = QString(); // a table file does not name its meter
    in.header.source = QStringLiteral("File: ") + QFileInfo(o.in).fileName();
    in.record = std::move(file.record);
    in.notes = file.notes;
    in.options = o.limits;
    const ReportTables tables = reportTables(in);
    QString error;
    if (!writeReportFiles(o.out, o.csv, in, tables, o.letter ? ReportPaper::Letter : ReportPaper::A4, error)) {
        printError(error.replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return kExitFailed;
    }
    return 0;
}

} // namespace vandrel::cli
