// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window calls for the data logger: the download command with its
// progress window, and saving the shown set's table as a table file.
#pragma once

#include "datalogger/DownloadPort.h"
#include "datalogger/DownloadProtocol.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/SafeSaveFile.h"
#include "realtime/TfrmScope.h"

#include <QPointer>

#include <memory>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace vandrel {

class MeterLink;
class StringGrid;
class TableFileUi;
struct DataLoggerState;
struct KeptMemory;

// The download's progress window ("Data Retriving Progress") and its
// message boxes. The window refuses to close while the download runs.
class ScopeDownloadView : public DownloadView {
public:
    ScopeDownloadView(QWidget *dialogParent, DataLoggerState &state, QPointer<TfrmDataLogger> window = {});
    ~ScopeDownloadView() override;
    void progressOpened(int maximum, const QString &totalText) override;
    void progressMaximum(int maximum) override;
    void progressTotalText(const QString &text) override;
    void progressReceived(int bytes) override;
    void blockRetried(int retries) override;
    void progressClosed() override;
    void busyCursor(bool busy) override;
    void message(const QString &text) override;
    // The open progress window, for tests (null when none is open).
    TfrmScope *scope() const { return scope_.data(); }

private:
    void letPaint();

    QWidget *parent_;
    DataLoggerState &state_;
    QPointer<TfrmDataLogger> window_;
    QPointer<TfrmScope> scope_;
    int busy_ = 0;
};

// The "&DataLogger" command: opens the data-logger window (or brings back the
// one there is), downloads the meter's memory and, when that succeeds, shows
// its sets, the first one decoded. A failure leaves the window open with
// what it showed. Returns the download's result code. While a download runs
// the command is ignored (returns 0, nothing shown).
int downloadAndShowMemory(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   DownloadView &view, const DownloadTiming &timing = {});
// The same with the real progress window and message boxes.
int downloadAndShowMemory(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   QWidget *dialogParent);

// A kept memory brought back after a crash: decoded as its download was and
// shown in the data-logger window, its data unsaved. False when it no longer
// decodes (then nothing changes).
bool showKeptMemory(QMdiArea &area, DataLoggerState &state, const KeptMemory &kept,
                    QPointer<TfrmDataLogger> &window);

// The data-logger window of an MDI frame (or of the window itself), else null.
TfrmDataLogger *dataLoggerOf(QWidget *activeChild);

// What the Save command finds in the main window when it is chosen.
struct SaveCommandContext {
    QWidget *activeChild = nullptr; // the active child window or its frame; null when none
    bool tableWindowActive = false; // a table window is the active child
    bool saveFromPrompt = false;    // a real-time save prompt is pending
};

// Whether the Save command takes the data-logger table: when that window is
// active, or when no table window is active, no real-time save prompt is
// pending, unsaved downloaded data exists and the window is open.
StringGrid *dataLoggerGridToSave(const SaveCommandContext &save, const DataLoggerState &state,
                                 TfrmDataLogger *window);

// Saves the shown set's table through the table-file dialogs. The data counts
// as saved only once the file was completely written and is on the disk.
bool saveDataLoggerTable(TfrmDataLogger &window, DataLoggerState &state, TableFileUi &ui,
                         const DiskCalls &calls = systemDiskCalls());

} // namespace vandrel
