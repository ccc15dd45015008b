// SPDX-License-Identifier: GPL-3.0-or-later
// Graph window.
#include "realtime/TfrmGraph.h"

#include <QMdiSubWindow>
#include <QVBoxLayout>

namespace vandrel {

TfrmGraph::TfrmGraph(QWidget *parent) : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmGraph"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Chart1 = new MeterChart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    layout->addWidget(Chart1);
}

namespace {
const QString kGraphOf = QStringLiteral("Graph of ");
}

QString TfrmGraph::captionFor(const QString &tableCaption)
{
    return kGraphOf + tableCaption;
}

QString TfrmGraph::tableCaptionOf(const QString &graphCaption)
{
    return graphCaption.startsWith(kGraphOf) ? graphCaption.mid(kGraphOf.size()) : QString();
}

QMdiSubWindow *TfrmGraph::showIn(QMdiArea &area, const QString &caption, const QRect &bounds)
{
    QMdiSubWindow *w = MdiChild::showIn(area, caption, bounds, QSize(532, 421));
    w->show();
    return w;
}

} // namespace vandrel
