// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's arrangement of its child windows: Arrange Icons, Cascade,
// Tile, and making room for the panel when it changes size.
#include "app/TfrmMain.h"

#include "panel/PanelController.h"
#include "panel/TfrmPanel.h"
#include "platform/WindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

namespace vandrel {

// Lines the minimised child windows up along the bottom of the client area.
void TfrmMain::ArrangeIcons1Click()
{
    int x = 0;
    for (QMdiSubWindow *w : mdi_->subWindowList()) {
        if (!w->isMinimized())
            continue;
        w->move(x, mdi_->viewport()->height() - w->height());
        x += w->width();
    }
}

// Steps the open child windows down from the top left, each keeping its size
// as far as it fits (a graph squeezed to its title bar is of no use).
void TfrmMain::Cascade1Click()
{
    QList<QMdiSubWindow *> windows;
    QList<QSize> sizes, minimums;
    for (QMdiSubWindow *w : mdi_->subWindowList(QMdiArea::StackingOrder)) {
        if (w->isHidden() || w->isMinimized())
            continue;
        if (w->isMaximized())
            w->showNormal();
        windows.append(w);
        sizes.append(w->size());
        // A window of fixed size (the panel) keeps it.
        minimums.append(w->minimumSize() == w->maximumSize() ? w->size() : kUsableWindowSize);
    }
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, mdi_) + 4;
    const QList<QRect> places = cascadeLayout(sizes, minimums, mdi_->viewport()->size(), step);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows.at(i)->setGeometry(places.at(i));
        windows.at(i)->raise();
    }
    if (!windows.isEmpty())
        mdi_->setActiveSubWindow(windows.last());
}

void TfrmMain::mnuPanelSizeClick(int percent)
{
    QWidget *panel = panelController_->panel() ? panelController_->panel()->parentWidget() : nullptr;
    const QRect before = panel ? panel->geometry() : QRect();
    panelController_->setPanelPercent(percent);
    if (!panel || panel->geometry() == before)
        return;
    // A larger panel would cover the graph's axes and the table's first
    // columns: the windows beside it move over, and back when it shrinks.
    for (QMdiSubWindow *w : mdi_->subWindowList()) {
        if (w != panel && !w->isHidden() && !w->isMinimized() && !w->isMaximized())
            w->setGeometry(besidePanel(w->geometry(), before, panel->geometry()));
    }
}

// Tiles the open child windows over the workspace; however many there are,
// each stays wholly in view.
void TfrmMain::Title1Click()
{
    QList<QMdiSubWindow *> windows;
    QList<QSize> minimums;
    for (QMdiSubWindow *w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (w->isHidden() || w->isMinimized())
            continue;
        if (w->isMaximized())
            w->showNormal();
        windows.append(w);
        minimums.append(w->minimumSize() == w->maximumSize() ? w->size() : w->minimumSizeHint().expandedTo(w->minimumSize()));
    }
    const QList<QRect> places = tileLayout(minimums, mdi_->viewport()->size());
    for (qsizetype i = 0; i < places.size(); ++i)
        windows.at(i)->setGeometry(places.at(i));
}

} // namespace vandrel
