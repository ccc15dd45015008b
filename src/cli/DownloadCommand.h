// SPDX-License-Identifier: GPL-3.0-or-later
// "download": the data-logger command without its window. The progress goes
// to a terminal line, the sets to table files as the window's Save writes them.
#pragma once

#include "datalogger/DownloadPort.h"

#include <QElapsedTimer>
#include <QString>

namespace vandrel::cli {

struct CliOptions;

// "12288 of 98304 bytes, 960 bytes/s, 1:29 left"; an empty total is not known
// yet, a rate of 0 is not known yet, and the time left needs both.
QString progressText(int bytes, const QString &total, qint64 bytesPerSecond);

// The download's progress as one line redrawn on standard error (only when
// that is a terminal), its messages as error lines.
class TerminalDownloadView : public DownloadView {
public:
    explicit TerminalDownloadView(bool showProgress) : show_(showProgress) {}
    void progressOpened(int maximum, const QString &totalText) override;
    void progressTotalText(const QString &text) override;
    void progressReceived(int bytes) override;
    void progressClosed() override;
    void message(const QString &text) override;

private:
    void draw(bool force);

    bool show_;
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

int runDownload(const CliOptions &options);

} // namespace vandrel::cli
