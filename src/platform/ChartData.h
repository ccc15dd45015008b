// SPDX-License-Identifier: GPL-3.0-or-later
// Point storage behind MeterChart: series x points of X (day counts) and Y (single
// precision), null points, scrolling, and the drawable run of one series with its gaps.
#pragma once

#include <qcustomplot.h>

#include <vector>

namespace vandrel {

class ChartData {
public:
    // Every point becomes null (Y the null value, X 0.0). Negative counts throw
    // std::out_of_range and leave the storage unchanged.
    void reset(int seriesCount, int pointCount);
    int seriesCount() const { return series_; }
    int pointCount() const { return points_; }

    // Out-of-range indices throw std::out_of_range and change nothing.
    void setY(int series, int point, double value);
    double y(int series, int point) const;
    void setX(int series, int point, double days);
    double x(int series, int point) const;
    bool isNull(int series, int point) const;

    // Points that held the old null value stay null under the new one.
    void setNullY(double value);
    double nullY() const { return nullY_; }

    // Drops the oldest n points of every series and appends n null points.
    void shift(int n);

    // The drawable entries of one series, ordered by X: written points, and one NaN
    // entry wherever nulls lie between two written points so that no line crosses
    // them. pointOfEntry gets our point index per entry (-1 for a gap entry).
    void buildSeries(int series, QVector<QCPGraphData> &entries, std::vector<int> &pointOfEntry) const;

    // The entries of a built series that no line reaches: neither neighbour is
    // drawn (a gap or the end), so they show only as dots.
    static QVector<QCPGraphData> isolatedEntries(const QVector<QCPGraphData> &entries);

    // The stored values of one series, point by point, for bulk readers (no range
    // checks beyond the series index, which throws std::out_of_range).
    const float *ys(int series) const;
    const double *xs(int series) const;
    bool isNullValue(float y) const;

private:
    std::size_t index(int series, int point) const;

    int series_ = 0;
    int points_ = 0;
    float nullY_ = 9999.0f;
    std::vector<float> y_;  // series-major: series * points_ + point
    std::vector<double> x_;
};

} // namespace vandrel
