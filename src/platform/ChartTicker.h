// SPDX-License-Identifier: GPL-3.0-or-later
// Time axis ticks for MeterChart, whose X values count days since 30 December 1899
// in local wall-clock time: time of day, and the date too once the view spans days.
#pragma once

#include <qcustomplot.h>

namespace vandrel {

class ChartTicker : public QCPAxisTickerDateTime {
public:
    ChartTicker();

    // Day count <-> the seconds the date-time ticker works in. The day count is
    // wall-clock time, so it is read as if it were UTC: labels then show exactly
    // the clock time that was stored, with no daylight-saving shift.
    static double daysToSeconds(double days);
    static double secondsToDays(double seconds);

protected:
    double getTickStep(const QCPRange &range) override;
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override;
};

} // namespace vandrel
