// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time run commands and the sampling step.
#include "realtime/RealTimeController.h"

#include "realtime/GraphSetup.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

namespace vandrel {

namespace {

const QString kSaveQuestion = QStringLiteral("Save changes to Real Time Table");

} // namespace

RealTimeController::RealTimeController(MeterLink &link, QMdiArea &area, QObject *parent)
    : QObject(parent), link_(link), area_(area)
{
    ask_ = [](const QString &question) {
        return QMessageBox::question(nullptr, QStringLiteral("Confirm"), question,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    connect(&link_, &MeterLink::frameTick, this, &RealTimeController::sampleTick);
}

TfrmGraph *RealTimeController::createGraph(const QRect &bounds)
{
    run_.NextPointIndex = 0;
    auto *g = new TfrmGraph;
    graph_ = g;
    const double now = toDays(QDateTime::currentDateTime());
    SetupMeterGraph(*g->Chart1, kRealTimePoints, now + run_.GraphSpan, now, link_.identity().MeterModel);
    g->Chart1->SetContextMenu(false);
    g->showIn(area_, QString::fromLatin1(TfrmGraph::kRealTimeCaption), bounds);
    return g;
}

TfrmList *RealTimeController::createTable(const QRect &bounds)
{
    auto *t = new TfrmList;
    table_ = t;
    t->Grid1->setRowSelect(false);
    t->closeQuery = [this] { return tableCloseQuery(); };
    t->showIn(area_, QString::fromLatin1(TfrmList::kRealTimeCaption), bounds);
    ApplyTableHeadings(*t->Grid1, link_.identity().MeterModel);
    return t;
}

void RealTimeController::createStartupWindows(const StartupLayout &layout)
{
    run_.GraphSpan = graphSpanFor(run_.SampleRate);
    createGraph(layout.graph);
    createTable(layout.table);
    run_.SavedGraphBounds = layout.graph;
    run_.SavedTableBounds = layout.table;
}

void RealTimeController::applyModel(int model)
{
    if (table_)
        ApplyTableHeadings(*table_->Grid1, model);
}

void RealTimeController::btnRunClick()
{
    if (graph_) {
        graph_->Chart1->UndoZoom();
        graph_->restoreNormal();
    } else {
        createGraph(run_.SavedGraphBounds);
    }
    if (table_)
        table_->restoreNormal();
    else
        createTable(run_.SavedTableBounds);

    if (run_.RealTimeRunning) {
        run_.RealTimeRunning = false;
        showRunFace(run_);
        emit controlsChanged();
        return;
    }
    if (graph_ && run_.NextPointIndex == 0) {
        // An empty graph: a fresh time window and a sample at the first tick.
        link_.state().TickCounter = run_.SampleRate;
        const double now = toDays(QDateTime::currentDateTime());
        graph_->Chart1->SetWorkingAxis(0);
        graph_->Chart1->SetXMin(now);
        graph_->Chart1->SetXMax(now + run_.GraphSpan);
    }
    if (graph_)
        graph_->Chart1->Refresh();
    run_.RealTimeRunning = true;
    showPauseFace(run_);
    run_.StopEnabled = true;
    emit controlsChanged();
}

bool RealTimeController::askToSave()
{
    const QMessageBox::StandardButton answer = ask_(kSaveQuestion);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        run_.SaveFromPrompt = true;
        // A save that was cancelled or failed counts as Cancel: nothing is lost.
        const bool saved = save_ && save_();
        run_.SaveFromPrompt = false;
        if (!saved)
            return false;
    }
    return true;
}

void RealTimeController::btnStopClick()
{
    if (link_.state().MainTimerBusy) {
        // Never end a run in the middle of a tick; come back when it is done.
        QTimer::singleShot(10, this, &RealTimeController::btnStopClick);
        return;
    }
    if (run_.RealTimeUnsaved && !askToSave())
        return;
    run_.RealTimeRunning = false;
    run_.RealTimeUnsaved = false;
    showRunFace(run_);
    run_.StopEnabled = false;
    emit runEnabledChanged(link_.state().MeterConnected);
    emit controlsChanged();
    Clear1Click();
}

void RealTimeController::Clear1Click()
{
    if (table_)
        ClearTable(*table_->Grid1);
    if (graph_) {
        run_.NextPointIndex = 0;
        ClearGraph(*graph_->Chart1, toDays(QDateTime::currentDateTime()), run_.GraphSpan);
    }
}

void RealTimeController::endRun()
{
    showRunFace(run_);
    run_.StopEnabled = false;
    run_.RealTimeRunning = false;
    emit runEnabledChanged(true);
    emit controlsChanged();
}

bool RealTimeController::tableCloseQuery()
{
    if (!run_.RealTimeUnsaved)
        return true;
    if (!askToSave())
        return false;
    endRun();
    return true;
}

bool RealTimeController::canClose()
{
    return !table_ || tableCloseQuery();
}

void RealTimeController::RealTimeGraph1Click()
{
    if (graph_)
        graph_->restoreNormal();
    else
        createGraph({});
}

void RealTimeController::RealTimeTabular1Click()
{
    if (table_)
        table_->restoreNormal();
    else
        createTable({});
}

void RealTimeController::sampleTick(const QDateTime &now)
{
    if (!takeSampleIfDue(run_, link_.state().TickCounter))
        return;
    if (graph_)
        AppendGraphSample(*graph_->Chart1, run_.NextPointIndex, run_.GraphSpan, link_.reading(), toDays(now));
    if (table_) {
        run_.RealTimeUnsaved = true;
        AppendTableRow(*table_->Grid1, now, link_.reading(), link_.identity());
    }
}

} // namespace vandrel
