// SPDX-License-Identifier: GPL-3.0-or-later
// MeterChart: the program's chart widget. This file holds the calls on points,
// ranges, appearance and the marker, Refresh and printing.
#include "platform/MeterChart.h"

#include "platform/ChartTicker.h"

#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>

#include <QFontMetrics>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace vandrel {

namespace {

void checkAxis(int axis)
{
    if (axis < 0 || axis >= MeterChart::MaxAxes)
        throw std::out_of_range("chart: no Y axis " + std::to_string(axis));
}

// A palette that stays readable on the black graph background.
constexpr BgrColor DefaultSeriesColours[] = {0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFFA040,
                                             0x00FF00, 0x0080FF, 0xFFFFFF, 0x8080FF};

// The time labels are spaced by the length of the time axis, which is known only
// once the layout has placed the labels; when that length changed, a second pass
// places them again for the length found (the layout does not move by that). The
// value axes' titles are fitted to their panes' heights in the same pass.
class ChartPlot : public QCustomPlot {
public:
    ChartPlot(QWidget *parent, QSharedPointer<ChartTicker> ticker)
        : QCustomPlot(parent), ticker_(std::move(ticker))
    {
    }

    // Called after each layout pass with the panes' sizes known; true when it
    // changed something the layout depends on (an axis title).
    std::function<bool()> fitAxisTitles;

protected:
    void updateLayout() override
    {
        QCPAxisRect *rect = axisRect();
        if (rect)
            ticker_->setLabelFont(rect->axis(QCPAxis::atBottom)->tickLabelFont());
        QCustomPlot::updateLayout();
        rect = axisRect();
        if (!rect)
            return;
        bool again = fitAxisTitles && fitAxisTitles();
        again = fitValueTicks() || again;
        if (rect->width() != ticker_->axisPixels()) {
            ticker_->setAxisPixels(rect->width());
            again = true;
        }
        if (again)
            QCustomPlot::updateLayout();
    }

private:
    // As many value labels as the pane's height has room for, each with a
    // label's height and twice that again between them, so a short pane (a
    // small screen) never prints its labels on top of each other. The tick
    // step is then rounded to a readable one, which can give a few more.
    bool fitValueTicks()
    {
        bool changed = false;
        for (QCPAxisRect *rect : axisRects()) {
            QCPAxis *y = rect->axis(QCPAxis::atLeft);
            const int line = QFontMetrics(y->tickLabelFont()).height();
            const int wanted = std::clamp(rect->height() / std::max(1, 3 * line), 2, 6);
            if (y->ticker()->tickCount() != wanted) {
                y->ticker()->setTickCount(wanted);
                changed = true;
            }
        }
        return changed;
    }

    QSharedPointer<ChartTicker> ticker_;
};

} // namespace

MeterChart::MeterChart(QWidget *parent)
    : QWidget(parent), ticker_(new ChartTicker)
{
    auto *plot = new ChartPlot(this, ticker_);
    plot->fitAxisTitles = [this] { return fitAxisTitles(); };
    plot_ = plot;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    plot_->setMouseTracking(true);
    plot_->installEventFilter(this);
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setSelectionRectMode(QCP::srmCustom);

    // The cursor moves with every mouse move; on a layer of its own only that layer
    // is redrawn, not the curves.
    plot_->addLayer(QStringLiteral("cursor"), plot_->layer(QStringLiteral("legend")),
                    QCustomPlot::limAbove);
    cursorLayer_ = plot_->layer(QStringLiteral("cursor"));
    cursorLayer_->setMode(QCPLayer::lmBuffered);

    // The engine starts with one axis rect holding the legend; we lay out our own.
    legend_ = plot_->legend;
    plot_->axisRect()->insetLayout()->take(legend_);
    plot_->plotLayout()->clear();
    legend_->setVisible(true);
    legend_->setLayer(QStringLiteral("legend"));
    legend_->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legendRow_ = new QCPLayoutGrid;
    legendRow_->addElement(0, 0, new QCPLayoutElement(plot_));
    legendRow_->addElement(0, 1, legend_);
    legendRow_->addElement(0, 2, new QCPLayoutElement(plot_));
    legendRow_->setColumnStretchFactor(1, 0.001);
    // The legend's frame is drawn on its outer edge: at the very bottom of a
    // page or picture its lower line would fall outside and be lost.
    legendRow_->setMinimumMargins(QMargins(0, 2, 0, 4));
    // Vector output places text by the screen's measures; the wider gap keeps
    // a legend's names off their line samples there too.
    legend_->setIconTextPadding(10);
    title_ = new QCPTextElement(plot_, QString(), QFont(font().family(), 11, QFont::Bold));
    subTitleElement_ = new QCPTextElement(plot_, QString(), QFont(font().family(), 9));
    marginGroup_ = new QCPMarginGroup(plot_);

    for (int s = 0; s < StyledSeries; ++s)
        seriesLooks_.push_back({QString(), DefaultSeriesColours[s % 8], 0, {}});
    connectMouse();
    // Reduced series follow every zoom and resize, just before they are drawn.
    connect(plot_, &QCustomPlot::afterLayout, this, &MeterChart::reduceShownSeries);
    buildPanes();
}

MeterChart::~MeterChart()
{
    // A title that is not in the layout at the moment is ours to delete.
    for (QCPTextElement *el : {title_, subTitleElement_}) {
        if (el->layout() == nullptr)
            delete el;
    }
}

// ---- data

void MeterChart::SetSeriesCount(int n)
{
    data_.reset(n, data_.pointCount());
    resetGrouping();
    buildPanes();
}

void MeterChart::SetPointCount(int n)
{
    data_.reset(data_.seriesCount(), n);
    std::fill(dirty_.begin(), dirty_.end(), 1);
}

void MeterChart::SetY(int series, int point, double value)
{
    data_.setY(series, point, value);
    dirty_[static_cast<std::size_t>(series)] = 1;
}

double MeterChart::GetY(int series, int point) const
{
    return data_.y(series, point);
}

void MeterChart::SetX(int series, int point, double days)
{
    data_.setX(series, point, days);
    dirty_[static_cast<std::size_t>(series)] = 1;
}

double MeterChart::GetX(int series, int point) const
{
    return data_.x(series, point);
}

void MeterChart::SetNullY(double value)
{
    data_.setNullY(value);
    std::fill(dirty_.begin(), dirty_.end(), 1);
}

void MeterChart::ShiftPoints(int n)
{
    data_.shift(n);
    std::fill(dirty_.begin(), dirty_.end(), 1);
}

// ---- panes and ranges

void MeterChart::resetGrouping()
{
    seriesAxis_.assign(static_cast<std::size_t>(data_.seriesCount()), 0);
    nextGroupedSeries_ = 0;
    dirty_.assign(static_cast<std::size_t>(data_.seriesCount()), 1);
    pointOfEntry_.assign(static_cast<std::size_t>(data_.seriesCount()), {});
    overviews_.assign(static_cast<std::size_t>(data_.seriesCount()), {});
    reducedFor_.assign(static_cast<std::size_t>(data_.seriesCount()), {});
}

int MeterChart::paneCountNeeded() const
{
    int highest = 0;
    for (int axis : seriesAxis_)
        highest = std::max(highest, axis);
    return highest + 1;
}

void MeterChart::SetAxisSeries(int axis, int n)
{
    checkAxis(axis);
    if (n < 0 || nextGroupedSeries_ + n > data_.seriesCount())
        throw std::out_of_range("chart: not that many series left to give to an axis");
    for (int i = 0; i < n; ++i)
        seriesAxis_[static_cast<std::size_t>(nextGroupedSeries_ + i)] = axis;
    nextGroupedSeries_ += n;
    buildPanes();
}

int MeterChart::AxisOfSeries(int series) const
{
    if (series < 0 || series >= data_.seriesCount())
        throw std::out_of_range("chart: no series " + std::to_string(series));
    return seriesAxis_[static_cast<std::size_t>(series)];
}

void MeterChart::SetWorkingAxis(int axis)
{
    checkAxis(axis);
    workingAxis_ = axis;
}

void MeterChart::SetXMin(double days)
{
    xMin_ = days;
    applyRanges();
}

void MeterChart::SetXMax(double days)
{
    xMax_ = days;
    applyRanges();
}

void MeterChart::SetYMin(double value)
{
    axisLooks_[static_cast<std::size_t>(workingAxis_)].yMin = value;
    applyRanges();
}

void MeterChart::SetYMax(double value)
{
    axisLooks_[static_cast<std::size_t>(workingAxis_)].yMax = value;
    applyRanges();
}

double MeterChart::GetYMin() const
{
    return axisLooks_[static_cast<std::size_t>(workingAxis_)].yMin;
}

double MeterChart::GetYMax() const
{
    return axisLooks_[static_cast<std::size_t>(workingAxis_)].yMax;
}

QString MeterChart::GetYLabel() const
{
    return axisLooks_[static_cast<std::size_t>(workingAxis_)].label;
}

void MeterChart::UndoZoom()
{
    zoomed_ = false;
    applyRanges();
}

// ---- appearance

MeterChart::SeriesLook &MeterChart::seriesLook(int series)
{
    const int capacity = std::max(StyledSeries, data_.seriesCount());
    if (series < 0 || series >= capacity)
        throw std::out_of_range("chart: no series " + std::to_string(series));
    if (series >= static_cast<int>(seriesLooks_.size()))
        seriesLooks_.resize(static_cast<std::size_t>(series) + 1, {QString(), 0xFFFFFF, 0, {}});
    return seriesLooks_[static_cast<std::size_t>(series)];
}

const MeterChart::SeriesLook &MeterChart::seriesLook(int series) const
{
    return const_cast<MeterChart *>(this)->seriesLook(series);
}

void MeterChart::SetMainTitle(const QString &text)
{
    mainTitle_ = text;
    placeTitles();
}

void MeterChart::SetSubTitle(const QString &text)
{
    subTitle_ = text;
    placeTitles();
}

void MeterChart::SetXLabel(const QString &text)
{
    xLabel_ = text;
    applyLook();
}

void MeterChart::SetYLabel(const QString &text)
{
    axisLooks_[static_cast<std::size_t>(workingAxis_)].label = text;
    applyLook();
}

void MeterChart::SetYAxisColor(BgrColor colour)
{
    auto &look = axisLooks_[static_cast<std::size_t>(workingAxis_)];
    look.coloured = true;
    look.colour = colour;
    applyLook();
}

void MeterChart::SetSeriesLabel(int series, const QString &text)
{
    seriesLook(series).label = text;
    applyLook();
}

QString MeterChart::GetSeriesLabel(int series) const
{
    return seriesLook(series).label;
}

void MeterChart::SetSeriesColor(int series, BgrColor colour)
{
    seriesLook(series).colour = colour;
    applyLook();
}

void MeterChart::SetLevelLines(int series, const std::vector<double> &levels)
{
    seriesLook(series).levels = levels;
    if (series < static_cast<int>(graphs_.size())) {
        applyLevelLines(series);
        lookChanged();
    }
}

std::vector<double> MeterChart::LevelLines(int series) const
{
    return seriesLook(series).levels;
}

double MeterChart::ShownXMin() const
{
    return panes_.empty() ? xMin_ : panes_.front().rect->axis(QCPAxis::atBottom)->range().lower;
}

double MeterChart::ShownXMax() const
{
    return panes_.empty() ? xMax_ : panes_.front().rect->axis(QCPAxis::atBottom)->range().upper;
}

BgrColor MeterChart::GetSeriesColor(int series) const
{
    return seriesLook(series).colour;
}

void MeterChart::SetLineType(int series, int type)
{
    if (type < 0 || type > 4)
        throw std::out_of_range("chart: no line type " + std::to_string(type));
    seriesLook(series).lineType = type;
    applyLook();
}

int MeterChart::GetLineType(int series) const
{
    return seriesLook(series).lineType;
}

void MeterChart::SetDottedGrid(bool dotted)
{
    dottedGrid_ = dotted;
    applyLook();
}

void MeterChart::SetGraphForeColor(BgrColor colour)
{
    foreColour_ = colour;
    applyLook();
}

void MeterChart::SetGraphBackColor(BgrColor colour)
{
    backColour_ = colour;
    applyLook();
}

void MeterChart::SetDeskColor(BgrColor colour)
{
    deskColour_ = colour;
    applyLook();
}

void MeterChart::SetTextColor(BgrColor colour)
{
    textColour_ = colour;
    applyLook();
}

// ---- marker

void MeterChart::SetMarker(double days, const QString &text, BgrColor colour)
{
    markerX_ = days;
    markerText_ = text;
    markerColour_ = colour;
    applyMarker();
    lookChanged();
}

void MeterChart::SetMarkerTextSize(int percent)
{
    markerTextPercent_ = std::clamp(percent, 10, 1000);
    applyMarker();
    lookChanged();
}

void MeterChart::ShowMarker(bool show)
{
    markerShown_ = show;
    applyMarker();
    lookChanged();
}

// ---- drawing

QCPGraph *MeterChart::graphOf(int series) const
{
    if (series < 0 || series >= static_cast<int>(graphs_.size()))
        return nullptr;
    return graphs_[static_cast<std::size_t>(series)];
}

QCPGraph *MeterChart::dotsOf(int series) const
{
    if (series < 0 || series >= static_cast<int>(dots_.size()))
        return nullptr;
    return dots_[static_cast<std::size_t>(series)];
}

void MeterChart::lookChanged()
{
    // Several calls in a row (a set-up, a print colour swap) cost one redraw, and
    // none at all when Refresh comes first.
    if (replotPending_)
        return;
    replotPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (replotPending_) {
            replotPending_ = false;
            plot_->replot();
        }
    });
}

void MeterChart::Refresh()
{
    for (std::size_t s = 0; s < graphs_.size(); ++s) {
        if (!dirty_[s])
            continue;
        dirty_[s] = 0;
        // A long series is reduced when the layout of the coming replot is known.
        reducedFor_[s] = {};
        if (data_.pointCount() > ReducedAbove && overviews_[s].build(data_, static_cast<int>(s))) {
            dots_[s]->data()->clear();
            continue;
        }
        overviews_[s].clear();
        data_.buildSeries(static_cast<int>(s), entries_, pointOfEntry_[s]);
        graphs_[s]->data()->set(entries_, true);
        // A line needs two points; a point alone between gaps would not show at all.
        dots_[s]->data()->set(ChartData::isolatedEntries(entries_), true);
    }
    applyMarker();
    replotPending_ = false;
    plot_->replot();
}

bool MeterChart::fitAxisTitles()
{
    bool changed = false;
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        QCPAxis *y = panes_[i].rect->axis(QCPAxis::atLeft);
        const QString title = fittedAxisTitle(axisLooks_[i].label, panes_[i].rect->height(),
                                              QFontMetrics(y->labelFont()));
        if (y->label() != title) {
            y->setLabel(title);
            changed = true;
        }
    }
    return changed;
}

void MeterChart::reduceShownSeries()
{
    for (std::size_t s = 0; s < graphs_.size(); ++s) {
        // Changed points wait for Refresh, as everywhere else.
        if (dirty_[s] || !overviews_[s].built())
            continue;
        const QCPAxis *time = graphs_[s]->keyAxis();
        const ReducedView view{time->range().lower, time->range().upper, std::max(1, time->axisRect()->width())};
        if (view == reducedFor_[s])
            continue;
        overviews_[s].reduce(data_, view.lower, view.upper, view.columns, entries_, pointOfEntry_[s]);
        graphs_[s]->data()->set(entries_, true);
        // The reduction keeps every gap, so a point alone between gaps is found here too.
        dots_[s]->data()->set(ChartData::isolatedEntries(entries_), true);
        reducedFor_[s] = view;
    }
}

// ---- printing

bool MeterChart::printTo(QPrinter &printer)
{
    // At screen resolution the fonts keep their size against the lines; the output
    // stays vector graphics, so nothing is lost on paper.
    printer.setResolution(plot_->logicalDpiX());
    QCPPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    paintTo(painter, QSize(printer.width(), printer.height()));
    return painter.end();
}

QString fittedHeading(const QString &text, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    // Its parts one under the other; a part still too long loses its middle
    // (a folder path keeps its file name).
    QStringList lines = text.split(kHeadingSeparator);
    for (QString &line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    return lines.join(QLatin1Char('\n'));
}

std::optional<std::pair<double, double>> MeterChart::shownDataSpan() const
{
    if (panes_.empty() || data_.seriesCount() == 0)
        return std::nullopt;
    const QCPRange shown = panes_.front().rect->axis(QCPAxis::atBottom)->range();
    std::optional<std::pair<double, double>> span;
    for (int s = 0; s < data_.seriesCount(); ++s) {
        const double *xs = data_.xs(s);
        const float *ys = data_.ys(s);
        for (int p = 0; p < data_.pointCount(); ++p) {
            if (data_.isNullValue(ys[p]) || !shown.contains(xs[p]))
                continue;
            if (!span)
                span = std::pair{xs[p], xs[p]};
            span->first = std::min(span->first, xs[p]);
            span->second = std::max(span->second, xs[p]);
        }
    }
    return span;
}

void MeterChart::paintTo(QCPPainter &painter, QSize size)
{
    const bool cursorShown = cursorLayer_->visible();
    cursorLayer_->setVisible(false);
    // A page is read away from the program: it says what it shows and when.
    QCPLayoutGrid *layout = plot_->plotLayout();
    QCPTextElement *heading = nullptr;
    if (!pageHeading_.isEmpty()) {
        const QFont headingFont(font().family(), 10, QFont::Bold);
        heading = new QCPTextElement(plot_, fittedHeading(pageHeading_, QFontMetrics(headingFont), size.width() - 8),
                                     headingFont);
        heading->setTextColor(BgrToQColor(textColour_));
        heading->setMargins(QMargins(4, 4, 4, 2));
        layout->insertRow(0);
        layout->addElement(0, 0, heading);
        layout->setRowStretchFactor(0, 0.001);
    }
    ticker_->setDatedLabels(true);
    plot_->toPainter(&painter, size.width(), size.height());
    ticker_->setDatedLabels(false);
    if (heading) {
        layout->remove(heading);
        layout->simplify();
    }
    cursorLayer_->setVisible(cursorShown);
    // Drawing at another size laid the chart out for that size.
    plot_->replot();
}

} // namespace vandrel
