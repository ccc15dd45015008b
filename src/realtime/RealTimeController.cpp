// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time run commands and the sampling step.
#include "realtime/RealTimeController.h"
#include "platform/MessageBoxes.h"

#include "meter/ModelTraits.h"
#include "realtime/GraphSetup.h"
#include "records/TableRow.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QTimer>

namespace vandrel {

namespace {

const QString kSaveQuestion = QStringLiteral("Save changes to Real Time Table");

} // namespace

RealTimeController::RealTimeController(MeterLink &link, QMdiArea &area, QObject *parent)
    : QObject(parent), link_(link), area_(area)
{
    ask_ = [](const QString &question) {
        return askQuestionBox(nullptr, question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    countTicks(link_, run_, this);
    connect(&link_, &MeterLink::frameTick, this, &RealTimeController::sampleTick);
}

TfrmGraph *RealTimeController::createGraph(const QRect &bounds)
{
    run_.NextPointIndex = 0;
    auto *g = new TfrmGraph;
    graph_ = g;
    const double now = toDays(QDateTime::currentDateTime());
    SetupMeterGraph(*g->Chart1, kRealTimePoints, now + run_.GraphSpan, now, link_.identity().MeterModel,
                    link_.identity().ModelSuffix);
    g->meterModel = link_.identity().MeterModel;
    g->Chart1->SetContextMenu(false);
    g->showIn(area_, QString::fromLatin1(TfrmGraph::kRealTimeCaption), bounds);
    return g;
}

TfrmList *RealTimeController::createTable(const QRect &bounds)
{
    auto *t = new TfrmList;
    table_ = t;
    t->Grid1->setRowSelect(false);
    t->closeQuery = [this] { return tableCloseQuery(false); };
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
    // An empty graph takes the model's curves; one that holds a run keeps
    // the curves its points were drawn with.
    if (graph_ && run_.NextPointIndex == 0) {
        MeterChart &chart = *graph_->Chart1;
        chart.SetWorkingAxis(0);
        SetupMeterGraph(chart, kRealTimePoints, chart.GetXMax(), chart.GetXMin(), model, link_.identity().ModelSuffix);
        graph_->meterModel = model;
    }
}

void RealTimeController::runOrPause()
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
        run_.TickCounter = run_.SampleRate;
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
    // Nothing is sampled from the question to the end of the save: the rows
    // saved are then all the rows there are, and a Stop that clears the table
    // afterwards cannot throw away a row that came in while a dialog was open.
    ++held_;
    const auto release = qScopeGuard([this] { --held_; });
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

void RealTimeController::stopRun()
{
    if (link_.state().MainTimerBusy) {
        // Never end a run in the middle of a tick; come back when it is done.
        QTimer::singleShot(10, this, &RealTimeController::stopRun);
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
    clearRun();
}

void RealTimeController::setJournalUnavailable(const QString &reason)
{
    journalUnavailable_ = reason;
    showProtection();
}

void RealTimeController::endJournal()
{
    journal_.end();
    showProtection();
}

QString RealTimeController::protectionText() const
{
    QString reason = journal_.problem();
    if (reason.isEmpty() && journal_.path().isEmpty())
        reason = journalUnavailable_;
    return reason.isEmpty() ? QString() : QStringLiteral("Run not protected: ") + reason;
}

void RealTimeController::showProtection()
{
    const QString text = protectionText();
    if (text == shownProtection_)
        return;
    shownProtection_ = text;
    emit protectionChanged(text);
}

void RealTimeController::clearRun()
{
    endJournal();
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

bool RealTimeController::tableCloseQuery(bool programCloses)
{
    if (!run_.RealTimeUnsaved)
        return true;
    if (!askToSave())
        return false;
    endRun();
    // The table goes away with its rows saved or declined. When the whole
    // program closes, the journal stays until the close really happens.
    if (!programCloses)
        endJournal();
    return true;
}

bool RealTimeController::canClose()
{
    return !table_ || tableCloseQuery(true);
}

bool RealTimeController::askBeforeClose()
{
    return !table_ || !run_.RealTimeUnsaved || askToSave();
}

void RealTimeController::showGraphWindow()
{
    if (graph_)
        graph_->restoreNormal();
    else
        createGraph({});
}

void RealTimeController::showTableWindow()
{
    if (table_)
        table_->restoreNormal();
    else
        createTable({});
}

void RealTimeController::sampleTick(const QDateTime &now)
{
    if (held_ > 0 || !takeSampleIfDue(run_, run_.TickCounter))
        return;
    if (graph_)
        AppendGraphSample(*graph_->Chart1, run_.NextPointIndex, run_.GraphSpan, link_.reading(), toDays(now));
    if (table_) {
        run_.RealTimeUnsaved = true;
        AppendTableRow(*table_->Grid1, now, link_.reading(), link_.identity());
        journalLastRow(now);
    }
}

// The row just appended, as the table shows it, with the values the graph drew.
void RealTimeController::journalLastRow(const QDateTime &now)
{
    const StringGrid &grid = *table_->Grid1;
    const MeterReading &r = link_.reading();
    JournalSample s;
    s.time = toDays(now);
    s.rh = r.Rh;
    s.t1 = r.T1;
    s.t2 = r.T2;
    s.dewPoint = r.DewPoint;
    s.t2Over = r.T2Over;
    const int row = grid.RowCount() - 1;
    for (int c = 0; c < grid.ColCount(); ++c)
        s.cells << grid.Cells(c, row);
    emit rowSampled(now, s.cells);
    const MeterIdentity &id = link_.identity();
    // A row that cannot be written waits in the journal's memory and goes in
    // with the next one that can; meanwhile the status line says why.
    journal_.append({id.MeterModel, id.ModelSuffix, run_.GraphSpan}, std::move(s));
    showProtection();
}

bool RealTimeController::restoreRun(const JournalContents &contents)
{
    if (!contents.hasHeader || contents.samples.isEmpty())
        return false;
    if (!graph_)
        createGraph(run_.SavedGraphBounds);
    if (!table_)
        createTable(run_.SavedTableBounds);
    StringGrid &grid = *table_->Grid1;
    grid.beginUpdate();
    ClearTable(grid);
    ApplyTableHeadings(grid, contents.header.model);
    const int rows = static_cast<int>(contents.samples.size());
    grid.setRowCount(rows + 1);
    for (int row = 1; row <= rows; ++row) {
        const QStringList &cells = contents.samples.at(row - 1).cells;
        // Numbered again: a damaged line left out leaves no gap.
        grid.setCells(ColNumber, row, QString::number(row));
        for (int c = 1; c < cells.size() && c < grid.ColCount(); ++c)
            grid.setCells(c, row, cells.at(c));
    }
    grid.endUpdate();
    const int visible = grid.VisibleRowCount();
    if (visible < grid.RowCount())
        grid.setTopRow(grid.RowCount() - visible);
    if (contents.header.graphSpan > 0)
        run_.GraphSpan = contents.header.graphSpan;
    replayGraph(contents);
    // Paused where the crash left it, the rows still to be saved: Run goes on
    // from there, Stop and closing ask to save.
    run_.RealTimeRunning = false;
    run_.RealTimeUnsaved = true;
    showRunFace(run_);
    run_.StopEnabled = true;
    journal_.rewrite(contents);
    showProtection();
    emit controlsChanged();
    return true;
}

// The graph drawn again sample by sample, as the run drew it, shifts included.
void RealTimeController::replayGraph(const JournalContents &contents)
{
    MeterChart &chart = *graph_->Chart1;
    const double first = contents.samples.constFirst().time;
    SetupMeterGraph(chart, kRealTimePoints, first + run_.GraphSpan, first, contents.header.model, contents.header.suffix);
    graph_->meterModel = contents.header.model;
    ClearGraph(chart, first, run_.GraphSpan);
    run_.NextPointIndex = 0;
    MeterReading reading;
    for (const JournalSample &s : contents.samples) {
        reading.Rh = s.rh;
        reading.T1 = s.t1;
        reading.T2 = s.t2;
        reading.DewPoint = s.dewPoint;
        reading.T2Over = s.t2Over;
        reading.TempUnit = s.cells.value(ColUnit); // the table row's unit column
        // The run drew a dew point where its meter computed one: a dew-point
        // variant whose row shows a dew point that is not overloaded.
        const QString dewPointCell = s.cells.value(ColDewPoint);
        reading.HasDewPoint = isDewPointVariant(contents.header.suffix) && !dewPointCell.isEmpty() &&
                              dewPointCell != QLatin1String("OL");
        AppendGraphSample(chart, run_.NextPointIndex, run_.GraphSpan, reading, s.time, Redraw::Later);
    }
    chart.Refresh();
}

} // namespace vandrel
