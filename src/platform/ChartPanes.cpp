// SPDX-License-Identifier: GPL-3.0-or-later
// MeterChart: how the chart is laid out in the drawing engine (stacked panes, titles,
// legend, marker and cursor items), its colours and its shown ranges.
#include "platform/ChartTicker.h"
#include "platform/MeterChart.h"

namespace vandrel {

QColor BgrToQColor(BgrColor colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

namespace {

constexpr Qt::PenStyle LineStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                       Qt::DashDotDotLine};
constexpr int PaneSeparatorWidth = 3;
constexpr double IsolatedDotSize = 4.0;

// A vertical line at a time, from the top to the bottom of one pane.
QCPItemStraightLine *verticalLine(QCustomPlot *plot, QCPAxisRect *rect, QCPLayer *layer)
{
    auto *line = new QCPItemStraightLine(plot);
    line->setLayer(layer);
    line->setClipAxisRect(rect);
    line->setSelectable(false);
    for (QCPItemPosition *pos : {line->point1, line->point2}) {
        pos->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        pos->setAxisRect(rect);
        pos->setTypeX(QCPItemPosition::ptPlotCoords);
        pos->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    line->point2->setCoords(0.0, 1.0);
    line->setVisible(false);
    return line;
}

// The range the engine can show for two limits in any order, also when they are equal.
QCPRange shownRange(double a, double b)
{
    QCPRange range(std::min(a, b), std::max(a, b));
    if (!QCPRange::validRange(range)) {
        const double pad = std::max(std::abs(range.lower) * 1e-7, 1e-6);
        range = QCPRange(range.lower - pad, range.upper + pad);
    }
    return range;
}

} // namespace

void MeterChart::takeSharedElements()
{
    for (QCPLayoutElement *el : std::initializer_list<QCPLayoutElement *>{title_, subTitleElement_,
                                                                          legendRow_}) {
        if (el->layout() != nullptr)
            el->layout()->take(el);
    }
}

void MeterChart::buildPanes()
{
    plot_->clearItems();
    levelItems_.clear(); // gone with the items
    plot_->clearGraphs();
    graphs_.clear();
    dots_.clear();
    panes_.clear();
    takeSharedElements();
    QCPLayoutGrid *layout = plot_->plotLayout();
    layout->clear();
    layout->setRowSpacing(0);
    const int count = paneCountNeeded();
    for (int axis = 0; axis < count; ++axis) {
        panes_.push_back(makePane(axis, count));
        layout->addElement(axis, 0, panes_.back().rect);
    }
    // Items find their axis rects through the layout, so they come after it.
    for (Pane &pane : panes_) {
        pane.markerLine = verticalLine(plot_, pane.rect, plot_->layer(QStringLiteral("axes")));
        pane.cursorLine = verticalLine(plot_, pane.rect, cursorLayer_);
    }
    layout->addElement(count, 0, legendRow_);
    layout->setRowStretchFactor(count, 0.001);
    makeGraphs();
    makeOverlay();
    placeTitles();
    zoomed_ = false;
    std::fill(dirty_.begin(), dirty_.end(), 1);
    applyLook();
    applyRanges();
}

MeterChart::Pane MeterChart::makePane(int axis, int count)
{
    Pane pane;
    auto *rect = new QCPAxisRect(plot_, true);
    pane.rect = rect;
    rect->setupFullAxesBox(false);
    rect->setMarginGroup(QCP::msLeft | QCP::msRight, marginGroup_);
    // Panes touch: only the outer edges keep room for titles and time labels.
    QCP::MarginSides sides = QCP::msLeft | QCP::msRight;
    if (axis == 0)
        sides |= QCP::msTop;
    if (axis == count - 1)
        sides |= QCP::msBottom;
    rect->setAutoMargins(sides);
    rect->setMargins(QMargins(0, 0, 0, 0));
    for (QCPAxis *x : rect->axes(QCPAxis::atBottom | QCPAxis::atTop))
        x->setTicker(ticker_);
    // Each pane has a ticker of its own: the number of value labels follows
    // the pane's height (see fitValueTicks).
    QSharedPointer<ValueTicker> values(new ValueTicker);
    for (QCPAxis *y : rect->axes(QCPAxis::atLeft | QCPAxis::atRight))
        y->setTicker(values);
    rect->axis(QCPAxis::atBottom)->setTickLabels(axis == count - 1);
    for (QCPAxis *a : rect->axes()) {
        a->grid()->setVisible(a->axisType() == QCPAxis::atBottom || a->axisType() == QCPAxis::atLeft);
        a->grid()->setZeroLinePen(Qt::NoPen);
    }
    return pane;
}

void MeterChart::makeGraphs()
{
    for (int s = 0; s < data_.seriesCount(); ++s) {
        QCPAxisRect *rect = panes_[static_cast<std::size_t>(seriesAxis_[static_cast<std::size_t>(s)])].rect;
        QCPGraph *graph = plot_->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setAdaptiveSampling(true);
        graphs_.push_back(graph);
        QCPGraph *dots = plot_->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        dots->setLineStyle(QCPGraph::lsNone);
        dots->removeFromLegend(legend_);
        dots_.push_back(dots);
    }
}

void MeterChart::makeOverlay()
{
    QCPAxisRect *top = panes_.front().rect;
    markerLabel_ = new QCPItemText(plot_);
    markerLabel_->setLayer(QStringLiteral("axes"));
    markerLabel_->setClipAxisRect(top);
    markerLabel_->setSelectable(false);
    markerLabel_->position->setAxes(top->axis(QCPAxis::atBottom), top->axis(QCPAxis::atLeft));
    markerLabel_->position->setAxisRect(top);
    markerLabel_->position->setTypeX(QCPItemPosition::ptPlotCoords);
    markerLabel_->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    markerLabel_->setPadding(QMargins(4, 2, 4, 2));
    markerLabel_->setVisible(false);

    cursorLevel_ = new QCPItemStraightLine(plot_);
    cursorLevel_->setLayer(cursorLayer_);
    cursorLevel_->setSelectable(false);
    cursorLevel_->setVisible(false);
    for (QCPItemPosition *pos : {cursorLevel_->point1, cursorLevel_->point2})
        pos->setTypeX(QCPItemPosition::ptAxisRectRatio);
    cursorPrompt_ = new QCPItemText(plot_);
    cursorPrompt_->setLayer(cursorLayer_);
    cursorPrompt_->setSelectable(false);
    cursorPrompt_->setClipToAxisRect(false);
    cursorPrompt_->position->setType(QCPItemPosition::ptAbsolute);
    cursorPrompt_->setPadding(QMargins(4, 2, 4, 2));
    cursorPrompt_->setBrush(QColor(255, 255, 225));
    cursorPrompt_->setPen(QPen(Qt::gray));
    cursorPrompt_->setColor(Qt::black);
    cursorPrompt_->setVisible(false);
    cursorLevel_->setPen(QPen(QColor(200, 200, 200), 1, Qt::DashLine));
    for (const Pane &pane : panes_)
        pane.cursorLine->setPen(QPen(QColor(200, 200, 200), 1, Qt::DashLine));
}

void MeterChart::placeTitles()
{
    QCPLayoutGrid *layout = plot_->plotLayout();
    for (QCPTextElement *el : {title_, subTitleElement_}) {
        if (el->layout() != nullptr)
            layout->take(el);
    }
    layout->simplify();
    int row = 0;
    for (auto [el, text] : {std::pair{title_, mainTitle_}, std::pair{subTitleElement_, subTitle_}}) {
        if (text.isEmpty())
            continue;
        el->setText(text);
        layout->insertRow(row);
        layout->addElement(row, 0, el);
        layout->setRowStretchFactor(row, 0.001);
        ++row;
    }
    lookChanged();
}

void MeterChart::applyLook()
{
    const QColor fore = BgrToQColor(foreColour_);
    const QColor text = BgrToQColor(textColour_);
    plot_->setBackground(QBrush(BgrToQColor(deskColour_)));
    const QPen grid(fore, 0, dottedGrid_ ? Qt::DotLine : Qt::SolidLine);
    const int count = static_cast<int>(panes_.size());
    for (int i = 0; i < count; ++i) {
        QCPAxisRect *rect = panes_[static_cast<std::size_t>(i)].rect;
        rect->setBackground(QBrush(BgrToQColor(backColour_)));
        for (QCPAxis *a : rect->axes()) {
            a->setBasePen(QPen(fore, 1));
            a->setTickPen(QPen(fore, 1));
            a->setSubTickPen(QPen(fore, 1));
            a->setTickLabelColor(text);
            a->setLabelColor(text);
            a->grid()->setPen(grid);
            a->grid()->setSubGridVisible(false);
        }
        // The thick line between two panes: the lower edge of one, the upper of the next.
        if (i < count - 1)
            rect->axis(QCPAxis::atBottom)->setBasePen(QPen(fore, PaneSeparatorWidth));
        if (i > 0)
            rect->axis(QCPAxis::atTop)->setBasePen(QPen(fore, PaneSeparatorWidth));
        rect->axis(QCPAxis::atBottom)->setLabel(i == count - 1 ? xLabel_ : QString());
        applyAxisLook(i);
    }
    legend_->setBrush(QBrush(BgrToQColor(backColour_)));
    legend_->setBorderPen(QPen(fore));
    legend_->setTextColor(text);
    title_->setTextColor(text);
    subTitleElement_->setTextColor(text);
    plot_->selectionRect()->setPen(QPen(Qt::white, 1, Qt::DashLine));
    plot_->selectionRect()->setBrush(QColor(255, 255, 255, 40));
    for (int s = 0; s < static_cast<int>(graphs_.size()); ++s)
        applySeriesLook(s);
    lookChanged();
}

void MeterChart::applyLevelLines(int series)
{
    const auto index = static_cast<std::size_t>(series);
    if (levelItems_.size() <= index)
        levelItems_.resize(index + 1);
    for (QCPItemStraightLine *line : levelItems_[index])
        plot_->removeItem(line);
    levelItems_[index].clear();
    const SeriesLook &look = seriesLook(series);
    QCPAxisRect *rect = panes_[static_cast<std::size_t>(seriesAxis_[index])].rect;
    for (const double level : look.levels) {
        auto *line = new QCPItemStraightLine(plot_);
        line->setLayer(plot_->layer(QStringLiteral("axes")));
        line->setClipAxisRect(rect);
        line->setSelectable(false);
        for (QCPItemPosition *pos : {line->point1, line->point2}) {
            pos->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
            pos->setAxisRect(rect);
            pos->setType(QCPItemPosition::ptPlotCoords);
        }
        line->point1->setCoords(0.0, level);
        line->point2->setCoords(1.0, level);
        line->setPen(QPen(BgrToQColor(look.colour), 1, Qt::DashLine));
        levelItems_[index].push_back(line);
    }
}

void MeterChart::applyAxisLook(int axis)
{
    const AxisLook &look = axisLooks_[static_cast<std::size_t>(axis)];
    QCPAxis *y = panes_[static_cast<std::size_t>(axis)].rect->axis(QCPAxis::atLeft);
    y->setLabel(look.label);
    if (!look.coloured)
        return;
    const QColor colour = BgrToQColor(look.colour);
    y->setBasePen(QPen(colour, 1));
    y->setTickPen(QPen(colour, 1));
    y->setSubTickPen(QPen(colour, 1));
    y->setTickLabelColor(colour);
    y->setLabelColor(colour);
}

void MeterChart::applySeriesLook(int series)
{
    const SeriesLook &look = seriesLook(series);
    QCPGraph *graph = graphs_[static_cast<std::size_t>(series)];
    const QColor colour = BgrToQColor(look.colour);
    graph->setPen(QPen(colour, 1, LineStyles[look.lineType]));
    graph->setName(look.label);
    dots_[static_cast<std::size_t>(series)]->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, IsolatedDotSize));
    applyLevelLines(series);
    // Unnamed series stay out of the legend.
    if (look.label.isEmpty()) {
        graph->removeFromLegend(legend_);
        return;
    }
    graph->addToLegend(legend_);
    if (QCPPlottableLegendItem *item = legend_->itemWithPlottable(graph))
        item->setTextColor(colour);
}

void MeterChart::applyRanges()
{
    if (zoomed_)
        return;
    const QCPRange x = shownRange(xMin_, xMax_);
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        const AxisLook &look = axisLooks_[i];
        const QCPRange y = shownRange(look.yMin, look.yMax);
        for (QCPAxis *a : panes_[i].rect->axes())
            a->setRange(a->orientation() == Qt::Horizontal ? x : y);
    }
    applyMarker();
    lookChanged();
}

void MeterChart::showFixedYRange()
{
    const auto axis = static_cast<std::size_t>(workingAxis_);
    if (axis >= panes_.size())
        return;
    const AxisLook &look = axisLooks_[axis];
    for (QCPAxis *a : panes_[axis].rect->axes(QCPAxis::atLeft | QCPAxis::atRight))
        a->setRange(shownRange(look.yMin, look.yMax));
    lookChanged();
}

void MeterChart::applyMarker()
{
    const QColor colour = BgrToQColor(markerColour_);
    for (const Pane &pane : panes_) {
        pane.markerLine->setVisible(markerShown_);
        pane.markerLine->setPen(QPen(colour, 1));
        pane.markerLine->point1->setCoords(markerX_, 0.0);
        pane.markerLine->point2->setCoords(markerX_, 1.0);
    }
    const QCPRange shown = panes_.front().rect->axis(QCPAxis::atBottom)->range();
    markerLabel_->setVisible(markerShown_ && !markerText_.isEmpty() && shown.contains(markerX_));
    markerLabel_->setText(markerText_);
    markerLabel_->setColor(colour);
    QFont font = plot_->font();
    font.setPointSizeF(font.pointSizeF() * markerTextPercent_ / 100.0);
    font.setBold(true);
    markerLabel_->setFont(font);
    // The label reads away from the nearer edge so it stays inside the pane.
    const Qt::Alignment side = markerX_ > shown.center() ? Qt::AlignRight : Qt::AlignLeft;
    markerLabel_->setPositionAlignment(side | Qt::AlignTop);
    markerLabel_->position->setCoords(markerX_, 0.0);
}

} // namespace vandrel
