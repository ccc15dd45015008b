// SPDX-License-Identifier: GPL-3.0-or-later
// A real-time run: Run, Pause, Stop and Clear, the sampling step of the tick,
// and the real-time table and graph windows it feeds.
#pragma once

#include "meter/MeterLink.h"
#include "realtime/RealTimeRun.h"
#include "realtime/RunJournal.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include <functional>

class QMdiArea;

namespace vandrel {

class RealTimeController : public QObject {
    Q_OBJECT
public:
    // Asks a Yes/No/Cancel question; returns the button chosen.
    using Ask = std::function<QMessageBox::StandardButton(const QString &question)>;
    // Saves the real-time table after a "Save changes" prompt (SaveFromPrompt is
    // set); returns true only when the table was completely written.
    using SaveTable = std::function<bool()>;

    RealTimeController(MeterLink &link, QMdiArea &area, QObject *parent = nullptr);

    RealTimeRun &run() { return run_; }
    const RealTimeRun &run() const { return run_; }
    TfrmGraph *RealTimeGraphWindow() const { return graph_; }
    TfrmList *RealTimeTableWindow() const { return table_; }

    void setAsk(Ask ask) { ask_ = std::move(ask); }
    void setSaveTable(SaveTable save) { save_ = std::move(save); }
    // Where the rows of the real-time table are journaled as they come; empty
    // keeps no journal.
    void setJournalPath(const QString &path) { journal_.setPath(path); }
    // No journal can be kept at all, for the system's `reason`.
    void setJournalUnavailable(const QString &reason);
    void setJournalDiskCalls(DiskCalls calls) { journal_.setDiskCalls(std::move(calls)); }
    const RunJournal &journal() const { return journal_; }
    // The program closes for good: the user has answered for the rows.
    void endJournal();
    // "Run not protected: <reason>" while rows of the run are not in the
    // journal, or no journal can be kept; empty otherwise.
    QString protectionText() const;
    // Brings back a run a crash left in the journal: its rows in the table, its
    // samples in the graph, paused, unsaved. False when it holds no row.
    bool restoreRun(const JournalContents &contents);
    // True while a save question or its dialogs hold the sampling.
    bool samplingHeld() const { return held_ > 0; }

    // Start-up: the graph and the table laid out right of the panel.
    void createStartupWindows(const StartupLayout &layout);
    // Headings of an existing real-time table for a model.
    void applyModel(int model);

    // Run: brings back both windows and starts or resumes sampling; while
    // running it pauses instead.
    void runOrPause();
    // Stop: asks to save unsaved rows (Cancel keeps the run), ends the run and
    // clears the table and the graph.
    void stopRun();
    // Clears the table and the graph and ends the journal; the run goes on.
    void clearRun();
    // Brings back the real-time graph or table window, making it when there is none.
    void showGraphWindow();
    void showTableWindow();

    // Asked when the program closes: the real-time table's save question.
    // False keeps the program open.
    bool canClose();
    // The same question, ending nothing: the program asks its other questions
    // next, and a Cancel there must find the run as it was.
    bool askBeforeClose();
    // No sample is taken between the two (nested, counted).
    void holdSampling() { ++held_; }
    void releaseSampling() { --held_; }

    // The sampling step of a tick that saw a frame.
    void sampleTick(const QDateTime &now);

signals:
    // The Run/Stop controls must show the run's state again.
    void controlsChanged();
    // Run may be enabled or not (after Stop it follows the connection).
    void runEnabledChanged(bool enabled);
    // protectionText() changed.
    void protectionChanged(const QString &text);
    // A row was sampled into the table: its time and its cells (the row
    // number first), for whatever else takes the run's rows.
    void rowSampled(const QDateTime &now, const QStringList &cells);

private:
    TfrmGraph *createGraph(const QRect &bounds);
    TfrmList *createTable(const QRect &bounds);
    bool tableCloseQuery(bool programCloses);
    bool askToSave();
    void endRun();
    void journalLastRow(const QDateTime &now);
    void replayGraph(const JournalContents &contents);
    void showProtection();

    MeterLink &link_;
    QMdiArea &area_;
    RealTimeRun run_;
    QPointer<TfrmGraph> graph_;
    QPointer<TfrmList> table_;
    Ask ask_;
    SaveTable save_;
    RunJournal journal_;
    QString journalUnavailable_;
    QString shownProtection_;
    int held_ = 0;
};

} // namespace vandrel
