// SPDX-License-Identifier: GPL-3.0-or-later
// Linking tables and graphs by caption.
#include "realtime/TableGraphLink.h"

#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace vandrel {

namespace {

template <typename Window>
Window *firstWithCaption(QMdiArea &area, const QString &caption)
{
    for (QMdiSubWindow *sub : area.subWindowList(QMdiArea::CreationOrder)) {
        if (auto *w = qobject_cast<Window *>(sub->widget()); w && sub->windowTitle() == caption)
            return w;
    }
    return nullptr;
}

bool isActive(QMdiArea &area, const QWidget &window)
{
    QMdiSubWindow *active = area.activeSubWindow();
    return active && active->widget() == &window;
}

} // namespace

void moveMarkerToRow(QMdiArea &area, TfrmList &table, const TfrmList *realTimeTable, char modelSuffix)
{
    if (&table == realTimeTable || !isActive(area, table))
        return;
    TfrmGraph *graph = firstWithCaption<TfrmGraph>(area, TfrmGraph::captionFor(table.windowTitle()));
    if (!graph)
        return;
    SyncMarker(*graph->Chart1, *table.Grid1, table.Grid1->Selection().Top, modelSuffix);
}

void selectRowOfPoint(QMdiArea &area, TfrmGraph &graph, int pointIndex, const TfrmGraph *realTimeGraph,
                      char modelSuffix)
{
    if (&graph == realTimeGraph || !isActive(area, graph) ||
        graph.windowTitle() == TfrmGraph::captionFor(QLatin1String(TfrmList::kRealTimeCaption)))
        return;
    const QString tableCaption = TfrmGraph::tableCaptionOf(graph.windowTitle());
    TfrmList *table = tableCaption.isEmpty() ? nullptr : firstWithCaption<TfrmList>(area, tableCaption);
    if (!table)
        return;
    StringGrid &grid = *table->Grid1;
    const int r = pointIndex + 1;
    grid.setSelection({1, r, grid.ColCount() - 1, r});
    const int v = grid.VisibleRowCount();
    if (v + grid.TopRow() <= r || v < r)
        grid.setTopRow(r - v / 2);
    else
        grid.setTopRow(1);
    SyncMarker(*graph.Chart1, grid, r, modelSuffix);
}

} // namespace vandrel
