// SPDX-License-Identifier: GPL-3.0-or-later
// The data-logger menu command, its progress window over the small dialog, and
// the choice and saving of the data-logger table.
#include "datalogger/DataLoggerCommand.h"

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
    : m_parent(dialogParent), m_state(state), m_window(std::move(window))
{
}

ScopeDownloadView::~ScopeDownloadView()
{
    progressClosed();
    while (m_busy > 0)
        busyCursor(false);
}

void ScopeDownloadView::progressOpened(int maximum, const QString &totalText)
{
    progressClosed();
    DataLoggerState *state = &m_state;
    m_scope = new TfrmScope(m_parent, [state] { return state->DownloadInProgress; });
    m_scope->setWindowTitle(kProgressCaption);
    m_scope->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_scope->SText1->setText(kBytesReceivedCaption);
    m_scope->SText2->setText(kTotalBytesCaption);
    m_scope->Progress1->setRange(0, std::max(0, maximum));
    m_scope->Progress1->setValue(0);
    m_scope->lblTotalBytes->setText(totalText);
    m_scope->lblBytesReceived->setText(QStringLiteral("0"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_scope->Progress1, m_scope->lblTotalBytes,
                                                       m_scope->lblBytesReceived, m_scope->SText1, m_scope->SText2}) {
        if (auto *label = qobject_cast<QLabel *>(w))
            label->adjustSize();
        w->show();
    }
    m_scope->show();
    if (m_window)
        m_window->repaint();
    letPaint();
}

void ScopeDownloadView::progressMaximum(int maximum)
{
    if (m_scope)
        m_scope->Progress1->setMaximum(std::max(0, maximum));
}

void ScopeDownloadView::progressTotalText(const QString &text)
{
    if (!m_scope)
        return;
    m_scope->lblTotalBytes->setText(text);
    m_scope->lblTotalBytes->adjustSize();
    letPaint();
}

void ScopeDownloadView::progressReceived(int bytes)
{
    if (!m_scope)
        return;
    m_scope->Progress1->setValue(std::min(bytes, m_scope->Progress1->maximum()));
    m_scope->lblBytesReceived->setText(QString::number(bytes));
    m_scope->lblBytesReceived->adjustSize();
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
    if (m_scope)
        m_scope->update();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ScopeDownloadView::progressClosed()
{
    // Deleted, not closed: the dialog refuses a close while the download runs.
    delete m_scope.data();
}

void ScopeDownloadView::busyCursor(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busy;
    } else if (m_busy > 0) {
        QApplication::restoreOverrideCursor();
        --m_busy;
    }
}

void ScopeDownloadView::message(const QString &text)
{
    QMessageBox::information(m_parent, QApplication::applicationName(), text);
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

int LoadData1Click(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   DownloadView &view, const DownloadTiming &timing)
{
    if (state.DownloadInProgress)
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

int LoadData1Click(QMdiArea &area, MeterLink &link, DataLoggerState &state, QPointer<TfrmDataLogger> &window,
                   QWidget *dialogParent)
{
    if (state.DownloadInProgress)
        return kDownloadPrecondition;
    if (!window)
        openWindow(area, state, currentModel(link), window);
    ScopeDownloadView view(dialogParent, state, window);
    return LoadData1Click(area, link, state, window, view);
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

StringGrid *dataLoggerGridToSave(QWidget *activeChild, bool tableWindowActive, bool saveFromPrompt,
                                 const DataLoggerState &state, TfrmDataLogger *window)
{
    if (TfrmDataLogger *active = dataLoggerOf(activeChild))
        return active->Grid1;
    if (!tableWindowActive && !saveFromPrompt && state.LoggerDataUnsaved && window)
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
