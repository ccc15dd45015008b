// SPDX-License-Identifier: GPL-3.0-or-later
// MeterChart: what the mouse does on the chart: rubber-band zoom, clicks on points
// and anywhere, the cross-hair cursor with its value prompt, and the context menu.
#include "platform/DayCount.h"
#include "platform/MeterChart.h"
#include "platform/NumberText.h"

#include <QMenu>

#include <cmath>

namespace vandrel {

namespace {
// A press and release closer than this (Manhattan, pixels) is a click, not a drag.
constexpr int ClickSlack = 3;
// A rubber band thinner than this is taken as a slip of the hand, not a zoom.
constexpr int MinZoomPixels = 4;
} // namespace

void MeterChart::connectMouse()
{
    connect(plot_->selectionRect(), &QCPSelectionRect::accepted, this, &MeterChart::onZoomRect);
    connect(plot_, &QCustomPlot::mousePress, this, &MeterChart::onMousePress);
    connect(plot_, &QCustomPlot::mouseRelease, this, &MeterChart::onMouseRelease);
    connect(plot_, &QCustomPlot::mouseDoubleClick, this, &MeterChart::onMouseDoubleClick);
    connect(plot_, &QCustomPlot::mouseMove, this, &MeterChart::onMouseMove);
    connect(plot_, &QWidget::customContextMenuRequested, this, &MeterChart::showContextMenu);
    SetContextMenu(true);
}

int MeterChart::paneAt(const QPointF &pos) const
{
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        if (panes_[i].rect->rect().contains(pos.toPoint()))
            return static_cast<int>(i);
    }
    return -1;
}

void MeterChart::onZoomRect(const QRect &band, QMouseEvent *event)
{
    const int pane = paneAt(pressPos_);
    // A band dragged on into another pane zooms only as far as the pane it
    // began in: the other pane's values mean something else.
    const QRect rect = pane < 0 ? QRect() : band.intersected(panes_[static_cast<std::size_t>(pane)].rect->rect());
    if (event->button() != Qt::LeftButton || pane < 0 || rect.width() < MinZoomPixels
        || rect.height() < MinZoomPixels) {
        plot_->replot(); // takes the rubber band off the screen
        return;
    }
    // Time zooms in every pane; the values only in the pane the band was drawn in.
    QCPAxisRect *zoomed = panes_[static_cast<std::size_t>(pane)].rect;
    const QCPAxis *x = zoomed->axis(QCPAxis::atBottom);
    const QCPAxis *y = zoomed->axis(QCPAxis::atLeft);
    const QCPRange time(x->pixelToCoord(rect.left()), x->pixelToCoord(rect.right()));
    const QCPRange value(y->pixelToCoord(rect.bottom()), y->pixelToCoord(rect.top()));
    for (const Pane &p : panes_) {
        for (QCPAxis *a : p.rect->axes(QCPAxis::atBottom | QCPAxis::atTop))
            a->setRange(time);
    }
    for (QCPAxis *a : zoomed->axes(QCPAxis::atLeft | QCPAxis::atRight))
        a->setRange(value);
    zoomed_ = true;
    applyMarker();
    plot_->replot();
}

void MeterChart::onMousePress(QMouseEvent *event)
{
    pressPos_ = event->pos();
    pressed_ = true;
}

void MeterChart::onMouseRelease(QMouseEvent *event)
{
    if (!pressed_)
        return;
    pressed_ = false;
    if (afterDoubleClick_) {
        // The release that ends a double click was reported with the double click.
        afterDoubleClick_ = false;
        return;
    }
    if (event->button() != Qt::LeftButton
        || (event->pos() - pressPos_).manhattanLength() > ClickSlack)
        return;
    int series = 0;
    int point = 0;
    // The exact position: on a scaled desktop a pixel of the screen is a
    // fraction of one of ours, and the nearest point is found to that.
    if (hitPoint(event->position(), series, point))
        emit pointClicked(false, series, point);
    emit clicked();
}

void MeterChart::onMouseDoubleClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    afterDoubleClick_ = true;
    int series = 0;
    int point = 0;
    if (hitPoint(event->position(), series, point))
        emit pointClicked(true, series, point);
}

bool MeterChart::hitPoint(const QPointF &pos, int &series, int &point) const
{
    const int pane = paneAt(pos);
    if (pane < 0)
        return false;
    const double tolerance = plot_->selectionTolerance();
    double best = tolerance * tolerance;
    bool found = false;
    for (std::size_t s = 0; s < graphs_.size(); ++s) {
        if (seriesAxis_[s] != pane)
            continue;
        const QCPGraph *graph = graphs_[s];
        const QCPAxis *x = graph->keyAxis();
        const double a = x->pixelToCoord(pos.x() - tolerance);
        const double b = x->pixelToCoord(pos.x() + tolerance);
        const auto consider = [&](double key, double value, int mapped) {
            const QPointF d = graph->coordsToPixels(key, value) - pos;
            const double distance = d.x() * d.x() + d.y() * d.y();
            if (distance <= best && mapped >= 0) {
                best = distance;
                series = static_cast<int>(s);
                point = mapped;
                found = true;
            }
        };
        if (overviews_[s].built()) {
            // A reduced series draws only some of its points; any of them may be hit.
            const double *keys = data_.xs(static_cast<int>(s));
            const float *values = data_.ys(static_cast<int>(s));
            overviews_[s].forEachPointBetween(data_, std::min(a, b), std::max(a, b),
                                              [&](int p) { consider(keys[p], values[p], p); });
            continue;
        }
        const auto data = graph->data();
        const auto end = data->findEnd(std::max(a, b), false);
        for (auto it = data->findBegin(std::min(a, b), false); it != end; ++it) {
            if (std::isnan(it->value))
                continue;
            consider(it->key, it->value, pointOfEntry_[s][static_cast<std::size_t>(it - data->constBegin())]);
        }
    }
    return found;
}

void MeterChart::onMouseMove(QMouseEvent *event)
{
    const int pane = paneAt(event->pos());
    if (pane < 0 || plot_->selectionRect()->isActive()) {
        hideCursor();
        return;
    }
    QCPAxisRect *rect = panes_[static_cast<std::size_t>(pane)].rect;
    const double time = rect->axis(QCPAxis::atBottom)->pixelToCoord(event->pos().x());
    const double value = rect->axis(QCPAxis::atLeft)->pixelToCoord(event->pos().y());
    for (const Pane &p : panes_) {
        p.cursorLine->point1->setCoords(time, 0.0);
        p.cursorLine->point2->setCoords(time, 1.0);
        p.cursorLine->setVisible(true);
    }
    cursorLevel_->setClipAxisRect(rect);
    for (QCPItemPosition *pos : {cursorLevel_->point1, cursorLevel_->point2}) {
        pos->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        pos->setAxisRect(rect);
    }
    cursorLevel_->point1->setCoords(0.0, value);
    cursorLevel_->point2->setCoords(1.0, value);
    cursorLevel_->setVisible(true);

    cursorPrompt_->setText(fromDays(time).time().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("  ")
                           + formatFixed(value, 1));
    // The prompt sits below right of the pointer, or flips to stay on the chart.
    const QRect area = rect->rect();
    Qt::Alignment align;
    align |= event->pos().x() > area.center().x() ? Qt::AlignRight : Qt::AlignLeft;
    align |= event->pos().y() > area.center().y() ? Qt::AlignBottom : Qt::AlignTop;
    cursorPrompt_->setPositionAlignment(align);
    const int dx = align & Qt::AlignRight ? -10 : 12;
    const int dy = align & Qt::AlignBottom ? -8 : 14;
    cursorPrompt_->position->setCoords(event->pos().x() + dx, event->pos().y() + dy);
    cursorPrompt_->setVisible(true);
    cursorLayer_->replot();
}

void MeterChart::hideCursor()
{
    if (!cursorPrompt_->visible())
        return;
    for (const Pane &p : panes_)
        p.cursorLine->setVisible(false);
    cursorLevel_->setVisible(false);
    cursorPrompt_->setVisible(false);
    cursorLayer_->replot();
}

bool MeterChart::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == plot_ && event->type() == QEvent::Leave)
        hideCursor();
    return QWidget::eventFilter(watched, event);
}

void MeterChart::SetContextMenu(bool enabled)
{
    contextMenu_ = enabled;
    // Without our menu the request goes on to the window holding the chart.
    plot_->setContextMenuPolicy(enabled ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

void MeterChart::showContextMenu(const QPoint &pos)
{
    if (!contextMenu_)
        return;
    QMenu menu(this);
    QAction *undo = menu.addAction(tr("Undo Zoom"), this, [this] {
        UndoZoom();
        Refresh();
    });
    undo->setEnabled(zoomed_);
    menu.exec(plot_->mapToGlobal(pos));
}

} // namespace vandrel
