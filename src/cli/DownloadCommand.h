// SPDX-License-Identifier: GPL-3.0-or-later
// "download": the data-logger command without its window. The progress goes
// to a terminal line, the sets to table files as the window's Save writes them.
#pragma once

#include "cli/OutputFiles.h"
#include "datalogger/DownloadPort.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

namespace vandrel::cli {

struct CliOptions;

// "12288 of 98304 bytes, 960 bytes/s, 1:29 left"; an empty total is not known
// yet, a rate of 0 is not known yet, and the time left needs both.
QString progressText(int bytes, const QString &total, qint64 bytesPerSecond);

// A failed download's result (1 to 5) in words, with its number:
// "download failed (error 1): the meter did not answer ..."; empty for others.
QString downloadFailureText(int code);

// A message of the shared download as the terminal gets it: the window's
// texts that send the user to a menu get the command line's own words.
QString terminalMessage(const QString &text);

// The download's progress as one line redrawn on standard error (only when
// that is a terminal), its messages as error lines.
class TerminalDownloadView : public DownloadView {
public:
    explicit TerminalDownloadView(bool showProgress) : show_(showProgress) {}
    // Messages are dropped while `silenced` says so: a transfer broken off on
    // purpose has nothing to report beyond that.
    void silenceWhen(std::function<bool()> silenced) { silenced_ = std::move(silenced); }
    void progressOpened(int maximum, const QString &totalText) override;
    void progressTotalText(const QString &text) override;
    void progressReceived(int bytes) override;
    void progressClosed() override;
    void message(const QString &text) override;

private:
    void draw(bool force);

    bool show_;
    std::function<bool()> silenced_;
    bool open_ = false;
    QString total_;
    int bytes_ = 0;
    // The rate is measured from the first bytes on: the port take-over before
    // them is no part of the transfer.
    int firstBytes_ = 0;
    QElapsedTimer clock_;
    qint64 receivedAtMs_ = 0; // on clock_, when bytes_ came in
    QElapsedTimer sinceDrawn_;
    qsizetype drawnWidth_ = 0;
};

// Why the files of `options` must not be written: a file where every set's
// folder belongs, a folder where one set's file does (both status 64), or
// files an earlier download left there, unless --force (status 1).
Refusal downloadOutputRefusal(const CliOptions &options);

// Whether the name ends like a table file's: .csv, .txt or .tsv.
bool isTableFileName(const QString &path);

// The names in `folder` of set files a download writes: set-NN.csv and
// set-NN.txt (two digits or more), sorted.
QStringList setFilesIn(const QString &folder);

// A download port that notices a stop signal while the transfer waits: it
// then sends the meter "Q" (once the request has gone out) and behaves as a
// port that broke, so the transfer ends at once by its own failure path.
class StoppablePort : public DownloadPort {
public:
    StoppablePort(DownloadPort &inner, std::function<bool()> stopRequested)
        : inner_(inner), stopRequested_(std::move(stopRequested))
    {
    }
    int inputCount() override { return stopped() ? 0 : inner_.inputCount(); }
    int read(char *buffer, int length) override { return stopped() ? 0 : inner_.read(buffer, length); }
    void write(char byte) override;
    WaitStatus waitForInput(int ms) override;
    void pause(int ms) override;
    qint64 elapsedMs() override { return inner_.elapsedMs(); }
    double lineBytesPerSecond() override { return inner_.lineBytesPerSecond(); }
    // Whether a stop has been asked for; noticing one ends the transfer.
    bool stopped();
    // Whether a stop was noticed, without looking for one.
    bool hasStopped() const { return stopped_; }

    // The longest a wait goes without looking for a stop.
    static constexpr int kSliceMs = 100;
    // Before "Q" the line must have been quiet this long (the meter has
    // finished the block in hand and waits for its answer), or the longer
    // time must have passed (a stream that never pauses).
    static constexpr int kQuietMs = 100;
    static constexpr int kQuietLimitMs = 1000;

private:
    void waitForQuietLine();

    DownloadPort &inner_;
    std::function<bool()> stopRequested_;
    bool requested_ = false; // "P" has gone out
    bool stopped_ = false;
};

int runDownload(const CliOptions &options);

} // namespace vandrel::cli
