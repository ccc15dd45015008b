// SPDX-License-Identifier: GPL-3.0-or-later
// Time axis ticks for MeterChart, whose X values count days since 30 December 1899
// in local wall-clock time, spaced so that no two labels overlap at any size and span.
#pragma once

#include <QFontMetrics>
#include <qcustomplot.h>

namespace vandrel {

// What a time label shows: the time of day, the date above the time, or the date.
enum class TimeLabelKind { Time, DateAndTime, Date };

// Pixel widths of the widest label of each part, and the room kept between labels.
struct TimeLabelRoom {
    double timeWidth = 0.0;
    double dateWidth = 0.0;
    double gap = 0.0;
};

struct TimeAxisStep {
    double seconds = 1.0; // the step as the date-time ticker counts it
    TimeLabelKind kind = TimeLabelKind::Time;
};

// The finest clock-friendly step (1 s, 2 s, 5 s ... 1 day, 1 week, 1 month ... years)
// whose labels, each as wide as `room` says, fit side by side with `room.gap` between
// them on an axis `axisPixels` long showing `spanSeconds`. Months count as 28 days,
// the shortest they get. Past a day the label shows the date, over spans of more than
// a day with finer steps the date above the time; `dated` puts the date above
// the time at every step (a page read away from the screen).
TimeAxisStep timeAxisStep(double spanSeconds, double axisPixels, const TimeLabelRoom &room, bool dated = false);

// The title of a value axis as it fits along a pane `room` pixels high: the whole
// title when it fits, else the unit it names in brackets ("HUMIDITY (%RH)" gives
// "%RH"), so a short pane still says what it shows instead of a cut-off word;
// what still does not fit is cut short with an ellipsis, never left to run
// into the next pane.
QString fittedAxisTitle(const QString &title, int room, const QFontMetrics &metrics);

class ChartTicker : public QCPAxisTickerDateTime {
public:
    ChartTicker();

    // Day count <-> the seconds the date-time ticker works in. The day count is
    // wall-clock time, so it is read as if it were UTC: labels then show exactly
    // the clock time that was stored, with no daylight-saving shift.
    static double daysToSeconds(double days);
    static double secondsToDays(double seconds);

    // The length of the time axis and the font of its labels, which decide how many
    // labels fit. The chart sets them as it lays itself out.
    void setAxisPixels(double pixels) { axisPixels_ = pixels; }
    double axisPixels() const { return axisPixels_; }
    void setLabelFont(const QFont &font) { labelFont_ = font; }
    // Every label carries its date, not only those of spans over a day.
    void setDatedLabels(bool dated) { dated_ = dated; }

    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override;

protected:
    double getTickStep(const QCPRange &range) override;
    // Dates and times in the language's order but with ASCII digits and the
    // month names the tables use, whatever digits the language has.
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;

private:
    const TimeLabelRoom &labelRoom(const QLocale &locale);

    double axisPixels_ = 600.0;
    bool dated_ = false;
    QFont labelFont_;
    TimeAxisStep step_;
    // The widths measured last, and the font and locale they were measured for.
    QString roomKey_;
    TimeLabelRoom room_;
};

// The labels of a value axis written as the tables write numbers: ASCII digits
// and minus, no digit groups, the locale's decimal separator.
class ValueTicker : public QCPAxisTicker {
protected:
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;
};

} // namespace vandrel
