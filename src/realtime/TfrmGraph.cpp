// SPDX-License-Identifier: GPL-3.0-or-later
// Graph window.
#include "realtime/TfrmGraph.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

namespace vandrel {

TfrmGraph::TfrmGraph(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmGraph"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Chart1 = new MeterChart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    layout->addWidget(Chart1);
}

QMdiSubWindow *TfrmGraph::showIn(QMdiArea &area, const QString &caption, const QRect &bounds)
{
    QMdiSubWindow *w = area.addSubWindow(this);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowTitle(caption);
    setWindowTitle(caption);
    if (bounds.isValid())
        w->setGeometry(bounds);
    else
        w->resize(532, 421);
    w->show();
    return w;
}

QMdiSubWindow *TfrmGraph::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

void TfrmGraph::restoreNormal()
{
    if (QMdiSubWindow *w = subWindow()) {
        w->showNormal();
        w->raise();
    }
}

} // namespace vandrel
