// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger menu command, its progress window over the small dialog, and
// the choice and saving of the data-logger table.
#include "datalogger/DataLoggerCommand.h"
#include "platform/MessageBoxes.h"

#include "datalogger/KeptMemory.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "meter/MeterLink.h"
#include "platform/StringGrid.h"
#include "realtime/TableFileDialogs.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressBar>

#include <algorithm>

namespace vandrel {

ScopeDownloadView::ScopeDownloadView(QWidget *dialogParent, DataLoggerState &state, QPointer<TfrmDataLogger> window)
    : parent_(dialogParent), state_(state), window_(std::move(window))
{
}

ScopeDownloadView::~ScopeDownloadView()
{
    progressClosed();
    while (busy_ > 0)
        busyCursor(false);
}

void ScopeDownloadView::progressOpened(int maximum, const QString &totalText)
{
    progressClosed();
    DataLoggerState *state = &state_;
    scope_ = new TfrmScope(parent_, [state] { return state->DownloadInProgress; });
    scope_->setWindowTitle(kProgressCaption);
    scope_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    scope_->SText1->setText(kBytesReceivedCaption);
    scope_->SText2->setText(kTotalBytesCaption);
    scope_->Progress1->setRange(0, std::max(0, maximum));
    scope_->Progress1->setValue(0);
    scope_->lblTotalBytes->setText(totalText);
    scope_->lblBytesReceived->setText(QStringLiteral("0"));
    for (QWidget *w : std::initializer_list<QWidget *>{scope_->Progress1, scope_->lblTotalBytes,
                                                       scope_->lblBytesReceived, scope_->SText1, scope_->SText2}) {
        if (auto *label = qobject_cast<QLabel *>(w))
            label->adjustSize();
        w->show();
    }
    scope_->show();
    if (window_)
        window_->repaint();
    letPaint();
}

void ScopeDownloadView::progressMaximum(int maximum)
{
    if (scope_)
        scope_->Progress1->setMaximum(std::max(0, maximum));
}

void ScopeDownloadView::progressTotalText(const QString &text)
{
    if (!scope_)
        return;
    scope_->lblTotalBytes->setText(text);
    scope_->lblTotalBytes->adjustSize();
    letPaint();
}

void ScopeDownloadView::progressReceived(int bytes)
{
    if (!scope_)
        return;
    scope_->Progress1->setValue(std::min(bytes, scope_->Progress1->maximum()));
    scope_->lblBytesReceived->setText(QString::number(bytes));
    scope_->lblBytesReceived->adjustSize();
    letPaint();
}

void ScopeDownloadView::blockRetried(int)
{
    letPaint();
}

void ScopeDownloadView::letPaint()
{
    // The transfer holds this thread for minutes. A repaint alone draws
    // nothing into a window the window system has not mapped and exposed
    // yet, and that news only comes as events: let those (and the paints of
    // the other windows) through, but no clicks or keys, which could start
    // another command in the middle of the transfer.
    if (scope_)
        scope_->update();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ScopeDownloadView::progressClosed()
{
    // Deleted, not closed: the dialog refuses a close while the download runs.
    delete scope_.data();
}

void ScopeDownloadView::busyCursor(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busy_;
    } else if (busy_ > 0) {
        QApplication::restoreOverrideCursor();
        --busy_;
    }
}

void ScopeDownloadView::message(const QString &text)
{
    // Every message of a download says why it could not be done.
    showMessageBox(parent_, MessageKind::Warning, text);
}

namespace {

LoggerModel currentModel(const MeterLink &link)
{
    return {link.identity().MeterModel, link.identity().ModelSuffix};
}

void openWindow(QMdiArea &area, DataLoggerState &state, const LoggerModel &model, QPointer<TfrmDataLogger> &window)
{
    if (window) {
        window->restoreNormal();
        return;
    }
    window = new TfrmDataLogger(state, model);
    const QSize client = area.viewport()->size();
    QMdiSubWindow *frame =
        window->showIn(area, kDataLoggerCaption, QRect(0, 0, client.width(), std::max(100, client.height() - 60)),
                       QSize(738, 570));
    frame->show();
}

// The set table in the window, laid out for the meter it was read from: a
// window made for another model would lay its samples out wrongly.
void showSetTable(QMdiArea &area, DataLoggerState &state, const LoggerModel &model,
                  QPointer<TfrmDataLogger> &window)
{
    openWindow(area, state, model, window);
    if (!(window->model() == model))
        window->applyModel(model);
    window->showDataSets();
}

} // namespace

int downloadAndShowMemory(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   DownloadView &view, const DownloadTiming &timing)
{
    if (state.DownloadInProgress)
        return kDownloadPrecondition;
    // A download that cannot start says why before any window opens.
    if (!downloadCanStart(link, view))
        return kDownloadPrecondition;
    openWindow(area, state, currentModel(link), window);
    const int result = LoadData(link, state, view, timing);
    if (result != kDownloadSuccess)
        return result;
    // The window may have been closed while the port was being given back;
    // the download is then shown in a new one rather than lost unseen.
    showSetTable(area, state, currentModel(link), window);
    return result;
}

int downloadAndShowMemory(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   QWidget *dialogParent)
{
    if (state.DownloadInProgress)
        return kDownloadPrecondition;
    {
        ScopeDownloadView early(dialogParent, state);
        if (!downloadCanStart(link, early))
            return kDownloadPrecondition;
    }
    if (!window)
        openWindow(area, state, currentModel(link), window);
    ScopeDownloadView view(dialogParent, state, window);
    return downloadAndShowMemory(area, link, state, window, view);
}

bool showKeptMemory(QMdiArea &area, DataLoggerState &state, const KeptMemory &kept,
                    QPointer<TfrmDataLogger> &window)
{
    if (!rebuildSetTable(kept, state.Table))
        return false;
    state.LoggerDataUnsaved = true;
    showSetTable(area, state, LoggerModel{kept.model, kept.suffix}, window);
    return true;
}

TfrmDataLogger *dataLoggerOf(QWidget *activeChild)
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(activeChild))
        activeChild = frame->widget();
    return qobject_cast<TfrmDataLogger *>(activeChild);
}

StringGrid *dataLoggerGridToSave(const SaveCommandContext &save, const DataLoggerState &state,
                                 TfrmDataLogger *window)
{
    if (TfrmDataLogger *active = dataLoggerOf(save.activeChild))
        return active->Grid1;
    if (!save.tableWindowActive && !save.saveFromPrompt && state.LoggerDataUnsaved && window)
        return window->Grid1;
    return nullptr;
}

bool saveDataLoggerTable(TfrmDataLogger &window, DataLoggerState &state, TableFileUi &ui, const DiskCalls &calls)
{
    if (!saveTable(*window.Grid1, ui, calls))
        return false;
    state.LoggerDataUnsaved = false;
    return true;
}

} // namespace vandrel
