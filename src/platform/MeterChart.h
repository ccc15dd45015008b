// SPDX-License-Identifier: GPL-3.0-or-later
// MeterChart: the program's chart widget (curves against time in stacked panes, a
// marker line, zoom, point clicks, printing), an adapter over QCustomPlot.
#pragma once

#include "platform/ChartData.h"
#include "platform/ChartOverview.h"

#include <QSharedPointer>
#include <QWidget>

#include <array>
#include <optional>
#include <utility>
#include <cstdint>
#include <vector>

class QFontMetrics;
class QMouseEvent;
class QPrinter;

namespace vandrel {

class ChartTicker;
class ValueTicker;

// The parts of a page heading are joined by this; a heading too wide for its
// page puts each part on a line of its own.
inline const QString kHeadingSeparator = QStringLiteral("   \u2014   ");
// `text` as it fits `width` pixels: whole, else a part per line, each cut in
// its middle where still too long.
QString fittedHeading(const QString &text, const QFontMetrics &metrics, int width);

// Colours are 0x00BBGGRR values throughout the program.
using BgrColor = std::uint32_t;
QColor BgrToQColor(BgrColor colour);

// Series x points of (X, Y). X is a date-time in days since 30 December 1899 (the
// fraction is the time of day), Y is held in single precision. A point whose Y equals
// the null value is not drawn and no line crosses it. Each Y axis has its own pane;
// panes stack with axis 0 on top and share the time axis.
//
// Data and index calls with an index out of range throw std::out_of_range and change
// nothing. Data changes (SetY, SetX, ShiftPoints, SetNullY) show after Refresh();
// ranges, appearance and the marker show at once.
//
// Drawing is always flat with straight segments between points, zoom always works
// both ways and the cross-hair cursor is always on, so there are no calls for those.
class MeterChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxAxes = 8;
    // Per-series appearance can be set for at least this many series whatever the
    // series count is, so a set-up can style four series on a two-series chart.
    static constexpr int StyledSeries = 16;
    // Series of more points than this whose times run forward are drawn reduced to
    // what each pixel column shows, and reduced again for each zoom and size.
    static constexpr int ReducedAbove = 20000;

    explicit MeterChart(QWidget *parent = nullptr);
    ~MeterChart() override;

    // --- Data. Both counts make every point null and put all series on axis 0.
    void SetSeriesCount(int n);
    void SetPointCount(int n);
    int SeriesCount() const { return data_.seriesCount(); }
    int PointCount() const { return data_.pointCount(); }
    void SetY(int series, int point, double value);
    double GetY(int series, int point) const;
    void SetX(int series, int point, double days);
    double GetX(int series, int point) const;
    void SetNullY(double value);
    double GetNullY() const { return data_.nullY(); }
    // Drops the oldest n points of every series and appends n null points (X 0.0).
    void ShiftPoints(int n);

    // --- Panes and ranges. SetAxisSeries gives the next n series (counting on from
    // the last call since SetSeriesCount) to an axis. Y range, label and colour calls
    // act on the working axis. Getters return the last limits set. While zoomed, the
    // setters only record the fixed ranges; UndoZoom shows them.
    void SetAxisSeries(int axis, int n);
    int AxisOfSeries(int series) const;
    int AxisCount() const { return static_cast<int>(panes_.size()); }
    void SetWorkingAxis(int axis);
    int WorkingAxis() const { return workingAxis_; }
    void SetXMin(double days);
    void SetXMax(double days);
    double GetXMin() const { return xMin_; }
    double GetXMax() const { return xMax_; }
    void SetYMin(double value);
    void SetYMax(double value);
    double GetYMin() const;
    double GetYMax() const;
    // Shows the working axis's fixed Y range at once, also while zoomed; a zoomed
    // time range stays as it is.
    void showFixedYRange();
    bool IsZoomed() const { return zoomed_; }
    void UndoZoom();
    // The time range shown now: the zoomed one while zoomed.
    double ShownXMin() const;
    double ShownXMax() const;

    // --- Appearance. Line types: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
    void SetMainTitle(const QString &text);
    void SetSubTitle(const QString &text);
    void SetXLabel(const QString &text);
    void SetYLabel(const QString &text);
    QString GetYLabel() const;
    void SetYAxisColor(BgrColor colour);
    void SetSeriesLabel(int series, const QString &text);
    QString GetSeriesLabel(int series) const;
    void SetSeriesColor(int series, BgrColor colour);
    BgrColor GetSeriesColor(int series) const;
    void SetLineType(int series, int type);
    int GetLineType(int series) const;
    // Dashed level lines across a series' pane in the series' colour (a
    // channel's limits); kept through re-builds of the panes.
    void SetLevelLines(int series, const std::vector<double> &levels);
    std::vector<double> LevelLines(int series) const;
    void SetDottedGrid(bool dotted);
    void SetGraphForeColor(BgrColor colour);
    BgrColor GetGraphForeColor() const { return foreColour_; }
    void SetGraphBackColor(BgrColor colour);
    BgrColor GetGraphBackColor() const { return backColour_; }
    void SetDeskColor(BgrColor colour);
    BgrColor GetDeskColor() const { return deskColour_; }
    void SetTextColor(BgrColor colour);
    BgrColor GetTextColor() const { return textColour_; }

    // --- The marker: one labelled vertical line across all panes.
    void SetMarker(double days, const QString &text, BgrColor colour);
    void SetMarkerTextSize(int percent);
    void ShowMarker(bool show);
    double MarkerX() const { return markerX_; }
    QString MarkerText() const { return markerText_; }
    BgrColor MarkerColor() const { return markerColour_; }
    bool MarkerShown() const { return markerShown_; }

    // The built-in menu (Undo Zoom) on the right mouse button. It has no print entry:
    // printing goes through the program's black-on-white printout.
    void SetContextMenu(bool enabled);

    // Shows data changes: rebuilds the drawn curves from the points and redraws.
    void Refresh();

    // A line printed above the chart on paper and in pictures (what the graph
    // shows, over which days, from which meter); the screen never shows it.
    void setPageHeading(const QString &text) { pageHeading_ = text; }
    QString pageHeading() const { return pageHeading_; }
    // The first and last time of the points drawn in the shown time range, or
    // nothing when no point is drawn there.
    std::optional<std::pair<double, double>> shownDataSpan() const;

    // Prints without asking, fitted to the printer's page in its orientation;
    // sets the printer to screen resolution (still vector output) so text and
    // lines keep their proportions.
    bool printTo(QPrinter &printer);
    // Draws the chart as it looks, without the mouse cursor, on `painter` as if it
    // were `size` pixels large, with the page heading and dated time labels; the
    // screen copy is laid out again afterwards.
    void paintTo(QCPPainter &painter, QSize size);

    // The drawing engine, for tests and benchmarks that look inside.
    QCustomPlot *customPlot() const { return plot_; }
    // The graph drawing a series (null if the series does not exist). A reduced
    // series holds only what the shown range needs.
    QCPGraph *graphOf(int series) const;
    // The dots drawn for the points of a series that have no drawn neighbour.
    QCPGraph *dotsOf(int series) const;

signals:
    // A click on (or next to) a drawn point; pointIndex is the point as stored.
    void pointClicked(bool doubleClick, int seriesIndex, int pointIndex);
    // A left click anywhere on the chart.
    void clicked();

private:
    struct Pane {
        QCPAxisRect *rect = nullptr;
        QCPItemStraightLine *markerLine = nullptr;
        QCPItemStraightLine *cursorLine = nullptr;
    };
    struct AxisLook {
        double yMin = 0.0;
        double yMax = 100.0;
        QString label;
        bool coloured = false;
        BgrColor colour = 0;
    };
    struct SeriesLook {
        QString label;
        BgrColor colour = 0;
        int lineType = 0;
        std::vector<double> levels;
    };

    // ChartPanes.cpp: structure, look and ranges of the drawing engine.
    void buildPanes();
    void takeSharedElements();
    Pane makePane(int axis, int count);
    void makeGraphs();
    void makeOverlay();
    void applyLook();
    void applyAxisLook(int axis);
    void applySeriesLook(int series);
    void applyLevelLines(int series);
    void applyRanges();
    void applyMarker();
    void placeTitles();
    void reduceShownSeries();
    // Shortens the value axes' titles that do not fit their panes; true if one changed.
    bool fitAxisTitles();
    void lookChanged();

    // ChartMouse.cpp: zoom, clicks, cursor and the context menu.
    void connectMouse();
    void onZoomRect(const QRect &rect, QMouseEvent *event);
    void onMousePress(QMouseEvent *event);
    void onMouseRelease(QMouseEvent *event);
    void onMouseDoubleClick(QMouseEvent *event);
    void onMouseMove(QMouseEvent *event);
    void hideCursor();
    int paneAt(const QPointF &pos) const;
    bool hitPoint(const QPointF &pos, int &series, int &point) const;
    void showContextMenu(const QPoint &pos);
    bool eventFilter(QObject *watched, QEvent *event) override;

    SeriesLook &seriesLook(int series);
    const SeriesLook &seriesLook(int series) const;
    void resetGrouping();
    int paneCountNeeded() const;

    ChartData data_;
    std::vector<int> seriesAxis_;
    int nextGroupedSeries_ = 0;
    std::vector<char> dirty_;
    std::vector<std::vector<int>> pointOfEntry_;
    QVector<QCPGraphData> entries_;
    // What a reduced series was last reduced for: shown time range and pane width.
    struct ReducedView {
        double lower = 0.0;
        double upper = 0.0;
        int columns = 0;
        bool operator==(const ReducedView &) const = default;
    };
    std::vector<ChartOverview> overviews_;
    std::vector<ReducedView> reducedFor_;

    std::array<AxisLook, MaxAxes> axisLooks_;
    std::vector<SeriesLook> seriesLooks_;
    // The drawn level lines of each series (owned by the drawing engine).
    std::vector<std::vector<QCPItemStraightLine *>> levelItems_;
    int workingAxis_ = 0;
    double xMin_ = 0.0;
    double xMax_ = 1.0;
    bool zoomed_ = false;

    QString mainTitle_;
    QString pageHeading_;
    QString subTitle_;
    QString xLabel_;
    bool dottedGrid_ = true;
    BgrColor foreColour_ = 0x008000;
    BgrColor backColour_ = 0x000000;
    BgrColor deskColour_ = 0xC0C0C0;
    BgrColor textColour_ = 0x000000;

    double markerX_ = 0.0;
    QString markerText_;
    BgrColor markerColour_ = 0x00FF00;
    int markerTextPercent_ = 100;
    bool markerShown_ = false;

    QCustomPlot *plot_ = nullptr;
    QSharedPointer<ChartTicker> ticker_;
    std::vector<Pane> panes_;
    std::vector<QCPGraph *> graphs_;
    std::vector<QCPGraph *> dots_; // per series: its points with no line to them
    QCPLegend *legend_ = nullptr;
    QCPLayoutGrid *legendRow_ = nullptr; // centres the legend under the panes
    QCPTextElement *title_ = nullptr;
    QCPTextElement *subTitleElement_ = nullptr;
    QCPItemText *markerLabel_ = nullptr;
    QCPItemStraightLine *cursorLevel_ = nullptr;
    QCPItemText *cursorPrompt_ = nullptr;
    QCPLayer *cursorLayer_ = nullptr;
    QCPMarginGroup *marginGroup_ = nullptr;
    bool replotPending_ = false;
    QPoint pressPos_;
    bool pressed_ = false;
    bool afterDoubleClick_ = false;
    bool contextMenu_ = true;
};

} // namespace vandrel
