// SPDX-License-Identifier: GPL-3.0-or-later
// A table window and the graph drawn from it (captioned "Graph of" and the
// table's caption) are linked by their captions: a
// click on a row moves the graph's marker, a click on a point selects its row.
#pragma once

class QMdiArea;

namespace vandrel {

class TfrmGraph;
class TfrmList;

// A click in table `table` (not the real-time table): the first graph window
// of that table gets its marker at the selection's top row.
void moveMarkerToRow(QMdiArea &area, TfrmList &table, const TfrmList *realTimeTable, char modelSuffix);
// A click on point `pointIndex` of `graph` (not the real-time graph): the first
// table window it was drawn from selects and shows that point's row, and
// the graph's marker moves there.
void selectRowOfPoint(QMdiArea &area, TfrmGraph &graph, int pointIndex, const TfrmGraph *realTimeGraph,
                      char modelSuffix);

} // namespace vandrel
