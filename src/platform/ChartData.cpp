// SPDX-License-Identifier: GPL-3.0-or-later
// Point storage behind MeterChart: series x points of X (day counts) and Y (single
// precision), null points, scrolling, and the drawable run of one series with its gaps.
#include "platform/ChartData.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <string>

namespace vandrel {

void ChartData::reset(int seriesCount, int pointCount)
{
    if (seriesCount < 0 || pointCount < 0)
        throw std::out_of_range("chart: negative series or point count");
    series_ = seriesCount;
    points_ = pointCount;
    const auto total = static_cast<std::size_t>(series_) * static_cast<std::size_t>(points_);
    y_.assign(total, nullY_);
    x_.assign(total, 0.0);
}

std::size_t ChartData::index(int series, int point) const
{
    if (series < 0 || series >= series_ || point < 0 || point >= points_)
        throw std::out_of_range("chart: no point " + std::to_string(point) + " in series "
                                + std::to_string(series));
    return static_cast<std::size_t>(series) * static_cast<std::size_t>(points_)
           + static_cast<std::size_t>(point);
}

bool ChartData::isNullValue(float y) const
{
    return y == nullY_ || std::isnan(y);
}

const float *ChartData::ys(int series) const
{
    if (series < 0 || series >= series_)
        throw std::out_of_range("chart: no series " + std::to_string(series));
    return y_.data() + static_cast<std::ptrdiff_t>(series) * points_;
}

const double *ChartData::xs(int series) const
{
    if (series < 0 || series >= series_)
        throw std::out_of_range("chart: no series " + std::to_string(series));
    return x_.data() + static_cast<std::ptrdiff_t>(series) * points_;
}

void ChartData::setY(int series, int point, double value)
{
    y_[index(series, point)] = static_cast<float>(value);
}

double ChartData::y(int series, int point) const
{
    return y_[index(series, point)];
}

void ChartData::setX(int series, int point, double days)
{
    x_[index(series, point)] = days;
}

double ChartData::x(int series, int point) const
{
    return x_[index(series, point)];
}

bool ChartData::isNull(int series, int point) const
{
    return isNullValue(y_[index(series, point)]);
}

void ChartData::setNullY(double value)
{
    const float old = nullY_;
    nullY_ = static_cast<float>(value);
    std::replace(y_.begin(), y_.end(), old, nullY_);
}

void ChartData::shift(int n)
{
    if (n < 0)
        throw std::out_of_range("chart: negative shift");
    const int kept = std::max(0, points_ - n);
    for (int s = 0; s < series_; ++s) {
        const auto first = static_cast<std::ptrdiff_t>(s) * points_;
        const auto y = y_.begin() + first;
        const auto x = x_.begin() + first;
        std::copy(y + (points_ - kept), y + points_, y);
        std::copy(x + (points_ - kept), x + points_, x);
        std::fill(y + kept, y + points_, nullY_);
        std::fill(x + kept, x + points_, 0.0);
    }
}

void ChartData::buildSeries(int series, QVector<QCPGraphData> &entries,
                            std::vector<int> &pointOfEntry) const
{
    entries.clear();
    pointOfEntry.clear();
    if (series < 0 || series >= series_)
        throw std::out_of_range("chart: no series " + std::to_string(series));
    const float *y = y_.data() + static_cast<std::ptrdiff_t>(series) * points_;
    const double *x = x_.data() + static_cast<std::ptrdiff_t>(series) * points_;
    constexpr double gap = std::numeric_limits<double>::quiet_NaN();
    bool gapPending = false;
    bool sorted = true;
    for (int p = 0; p < points_; ++p) {
        if (isNullValue(y[p])) {
            gapPending = !entries.isEmpty();
            continue;
        }
        if (!entries.isEmpty() && x[p] < entries.constLast().key)
            sorted = false;
        if (gapPending) {
            // The gap sits at the key of the point before it, so the entries stay in
            // key order and the line stops there.
            entries.append(QCPGraphData(entries.constLast().key, gap));
            pointOfEntry.push_back(-1);
            gapPending = false;
        }
        entries.append(QCPGraphData(x[p], y[p]));
        pointOfEntry.push_back(p);
    }
    if (sorted)
        return;
    // Times that run backwards (a clock set back): draw by time, keep the mapping.
    std::vector<int> order(pointOfEntry.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return entries[a].key < entries[b].key; });
    QVector<QCPGraphData> sortedEntries;
    std::vector<int> sortedPoints;
    sortedEntries.reserve(entries.size());
    for (int i : order) {
        sortedEntries.append(entries[i]);
        sortedPoints.push_back(pointOfEntry[static_cast<std::size_t>(i)]);
    }
    entries.swap(sortedEntries);
    pointOfEntry.swap(sortedPoints);
}

QVector<QCPGraphData> ChartData::isolatedEntries(const QVector<QCPGraphData> &entries)
{
    QVector<QCPGraphData> alone;
    const auto drawn = [&entries](qsizetype i) {
        return i >= 0 && i < entries.size() && !std::isnan(entries[i].value);
    };
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (drawn(i) && !drawn(i - 1) && !drawn(i + 1))
            alone.append(entries[i]);
    }
    return alone;
}

} // namespace vandrel
