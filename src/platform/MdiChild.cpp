// SPDX-License-Identifier: GPL-3.0-or-later
// Child windows of the main window.
#include "platform/MdiChild.h"

#include "platform/WindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace vandrel {

QMdiSubWindow *MdiChild::showIn(QMdiArea &area, const QString &caption, const QRect &bounds,
                                const QSize &defaultSize)
{
    QMdiSubWindow *w = area.addSubWindow(this);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowTitle(caption);
    setWindowTitle(caption);
    if (bounds.isValid())
        w->setGeometry(bounds);
    else
        w->resize(defaultSize);
    // The area chose a place for the window at its first, smaller size; a
    // window the user must hunt for is no use, so all of it comes into view.
    w->setGeometry(fitInside(w->geometry(), area.viewport()->size()));
    return w;
}

QMdiSubWindow *MdiChild::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

void MdiChild::restoreNormal()
{
    if (QMdiSubWindow *w = subWindow()) {
        w->showNormal();
        w->raise();
    }
}

} // namespace vandrel
