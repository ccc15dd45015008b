// SPDX-License-Identifier: GPL-3.0-or-later
// A graph window: one chart, either the real-time graph of a run or a graph
// drawn from a table. Thin: the set-up and the append step live in GraphSetup.
#pragma once

#include "platform/MdiChild.h"
#include "platform/MeterChart.h"

class QMdiArea;
class QMdiSubWindow;

namespace vandrel {

class TfrmGraph : public MdiChild {
    Q_OBJECT
public:
    static constexpr const char *kRealTimeCaption = "Real Time Graph";

    explicit TfrmGraph(QWidget *parent = nullptr);

    MeterChart *Chart1 = nullptr;
    // The meter model the graph was drawn from, 0 where none is known (a
    // graph of a table file); printouts name it.
    int meterModel = 0;

    // The caption of a graph drawn from a table: its own, so the two windows
    // are told apart, and still naming the table it belongs to.
    static QString captionFor(const QString &tableCaption);
    // The table caption a graph caption was made from, or an empty text.
    static QString tableCaptionOf(const QString &graphCaption);

    // Puts the window into `area` with `caption` (deleted when closed) and shows it.
    QMdiSubWindow *showIn(QMdiArea &area, const QString &caption, const QRect &bounds = {});
};

} // namespace vandrel
