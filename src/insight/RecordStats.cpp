// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of a record in one pass per channel over plain arrays, so a
// million rows take milliseconds.
#include "insight/RecordStats.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vandrel {

namespace {

double toCelsius(double v, char unit) { return unit == 'F' ? (v - 32.0) * 5.0 / 9.0 : v; }
double fromCelsius(double c, char unit) { return unit == 'F' ? c * 9.0 / 5.0 + 32.0 : c; }

// A usable value `x` at `t`: counted, and the first, last and extremes moved on.
void takeValue(ChannelStats &s, double x, double t)
{
    if (s.count == 0) {
        s.firstTime = t;
        s.min = s.max = x;
        s.minTime = s.maxTime = t;
    } else if (x < s.min) {
        s.min = x;
        s.minTime = t;
    } else if (x > s.max) {
        s.max = x;
        s.maxTime = t;
    }
    s.lastTime = t;
    ++s.count;
}

// The seconds each row stands for: until the next row, at most twice the
// usual interval (the median); the last row the usual interval.
std::vector<double> rowWeights(const std::vector<double> &t)
{
    const size_t n = t.size();
    std::vector<double> w(n, 0.0);
    if (n < 2)
        return w;
    std::vector<double> gaps(n - 1);
    for (size_t i = 0; i + 1 < n; ++i)
        gaps[i] = std::max(0.0, t[i + 1] - t[i]);
    std::vector<double> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double usual = sorted[sorted.size() / 2];
    for (size_t i = 0; i + 1 < n; ++i)
        w[i] = std::min(gaps[i], 2.0 * usual);
    w[n - 1] = usual;
    return w;
}

ChannelStats channelStats(const Record &r, Channel c, const std::vector<double> &w, const Limits &limits)
{
    ChannelStats s;
    const std::vector<double> &v = r.values[c];
    s.present = !v.empty();
    if (!s.present)
        return s;
    LimitWatch watch(limits);
    double sum = 0, sumSq = 0;
    double mktSum = 0, mktWeight = 0;
    // A meter reads in tenths, so the same value comes again and again: its
    // exponential is worked out once for each run of it.
    double lastX = kNone, lastTerm = 0;
    const bool temperature = c == kT1 || c == kT2;
    const double activation = kActivationJoulesPerMole / kGasConstant;
    const size_t n = std::min(v.size(), r.seconds.size());
    for (size_t i = 0; i < n; ++i) {
        const double x = v[i];
        if (std::isnan(x)) {
            ++s.empty;
            watch.gap();
            continue;
        }
        if (std::isinf(x)) {
            ++s.overloaded;
            watch.gap();
            continue;
        }
        const double t = r.seconds[i];
        takeValue(s, x, t);
        sum += x;
        sumSq += x * x;
        switch (watch.feed(x, t)) {
        case LimitState::Below:
            s.secondsBelow += w[i];
            break;
        case LimitState::Above:
            s.secondsAbove += w[i];
            break;
        case LimitState::Within:
            s.secondsWithin += w[i];
            break;
        }
        if (temperature) {
            if (x != lastX) {
                lastX = x;
                lastTerm = std::exp(-activation / (toCelsius(x, r.unit) + 273.15));
            }
            mktSum += w[i] * lastTerm;
            mktWeight += w[i];
        }
    }
    if (s.count == 0)
        return s;
    s.mean = sum / s.count;
    // The sample standard deviation, as a spreadsheet's STDEV gives it.
    s.stddev = s.count > 1 ? std::sqrt(std::max(0.0, (sumSq - sum * sum / s.count) / (s.count - 1))) : 0.0;
    if (temperature && mktWeight > 0)
        s.mkt = fromCelsius(activation / -std::log(mktSum / mktWeight) - 273.15, r.unit);
    else if (temperature)
        s.mkt = s.mean; // one row, or rows that stand for no time: nothing to weigh
    return s;
}

} // namespace

double saturationVapourPressureKPa(double celsius)
{
    return 0.6108 * std::exp(17.27 * celsius / (celsius + 237.3));
}

double usualInterval(const Record &record)
{
    const std::vector<double> w = rowWeights(record.seconds);
    return w.empty() ? 0.0 : w.back();
}

Record recordSpan(const Record &record, double from, double to)
{
    // Row by row rather than by a binary search: a table kept in clock time
    // goes back an hour when the clock is set back, and those rows belong to
    // the span as much as any.
    Record out;
    out.unit = record.unit;
    std::vector<size_t> rows;
    for (size_t i = 0; i < record.seconds.size(); ++i) {
        if (record.seconds[i] >= from && record.seconds[i] <= to)
            rows.push_back(i);
    }
    out.seconds.reserve(rows.size());
    for (const size_t i : rows)
        out.seconds.push_back(record.seconds[i]);
    for (int c = 0; c < kChannelCount; ++c) {
        const std::vector<double> &v = record.values[c];
        if (v.empty())
            continue;
        // A channel keeps its place even where the span holds none of its cells.
        out.values[c].reserve(rows.size());
        for (const size_t i : rows)
            out.values[c].push_back(i < v.size() ? v[i] : kNone);
    }
    return out;
}

std::vector<Crossing> limitCrossings(const Record &r, const StatsOptions &options)
{
    std::vector<Crossing> out;
    const std::vector<double> w = rowWeights(r.seconds);
    for (int c = 0; c < kChannelCount; ++c) {
        const Limits &limits = options.limits[c];
        const std::vector<double> &v = r.values[c];
        if (v.empty() || !limits.any())
            continue;
        LimitWatch watch(limits);
        std::optional<Crossing> now;
        const auto beyond = [](const Crossing &x, double value) {
            return x.side == LimitSide::High ? value > x.extreme : value < x.extreme;
        };
        const size_t n = std::min(v.size(), r.seconds.size());
        for (size_t i = 0; i < n; ++i) {
            const double x = v[i], t = r.seconds[i];
            if (!std::isfinite(x)) {
                // A raised crossing stays raised over a gap, but the gap's
                // time counts nowhere, as in the time above and below.
                watch.gap();
                continue;
            }
            for (const LimitChange &change : watch.update(x, t)) {
                if (change.raised) {
                    if (now) // both sides raised at once: the first ends where the second starts
                        out.push_back(*now);
                    now = Crossing{static_cast<Channel>(c), change.side, change.limit, t, t, 0, x, t, false};
                } else if (now && now->side == change.side) {
                    now->end = t;
                    out.push_back(*now);
                    now.reset();
                }
            }
            if (now) {
                now->seconds += w[i];
                now->end = t;
                if (beyond(*now, x)) {
                    now->extreme = x;
                    now->extremeTime = t;
                }
            }
        }
        if (now) {
            now->open = true;
            out.push_back(*now);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Crossing &a, const Crossing &b) { return a.start < b.start; });
    return out;
}

std::vector<DaySummary> dailySummaries(const Record &r, const StatsOptions &options)
{
    std::vector<DaySummary> days;
    const std::vector<double> w = rowWeights(r.seconds);
    const size_t n = r.seconds.size();
    std::vector<size_t> dayOf(n);
    for (size_t i = 0; i < n; ++i) {
        const auto day = static_cast<long long>(std::floor(r.seconds[i] / 86400.0));
        if (days.empty() || days.back().day != day) {
            days.push_back({});
            days.back().day = day;
            for (int c = 0; c < kChannelCount; ++c)
                days.back().channels[c].present = r.has(static_cast<Channel>(c));
        }
        dayOf[i] = days.size() - 1;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const std::vector<double> &v = r.values[c];
        if (v.empty())
            continue;
        LimitWatch watch(options.limits[c]);
        std::vector<double> sums(days.size(), 0.0);
        for (size_t i = 0; i < n && i < v.size(); ++i) {
            ChannelStats &s = days[dayOf[i]].channels[c];
            const double x = v[i], t = r.seconds[i];
            if (!std::isfinite(x)) {
                ++(std::isnan(x) ? s.empty : s.overloaded);
                watch.gap();
                continue;
            }
            takeValue(s, x, t);
            sums[dayOf[i]] += x;
            switch (watch.feed(x, t)) {
            case LimitState::Below: s.secondsBelow += w[i]; break;
            case LimitState::Above: s.secondsAbove += w[i]; break;
            case LimitState::Within: s.secondsWithin += w[i]; break;
            }
        }
        for (size_t d = 0; d < days.size(); ++d) {
            ChannelStats &s = days[d].channels[c];
            if (s.count > 0)
                s.mean = sums[d] / s.count;
        }
    }
    return days;
}

RecordStats computeStats(const Record &r, const StatsOptions &options)
{
    RecordStats out;
    const std::vector<double> w = rowWeights(r.seconds);
    for (double x : w)
        out.coveredSeconds += x;
    for (int c = 0; c < kChannelCount; ++c)
        out.channels[c] = channelStats(r, static_cast<Channel>(c), w, options.limits[c]);

    const size_t n = r.seconds.size();
    if (r.has(kT2) && r.has(kDewPoint)) {
        const double margin = std::isnan(options.condensationMargin) ? (r.unit == 'F' ? 2.0 : 1.0)
                                                                     : options.condensationMargin;
        out.condensationSeconds = 0;
        for (size_t i = 0; i < n && i < r.values[kT2].size() && i < r.values[kDewPoint].size(); ++i) {
            const double surface = r.values[kT2][i], dew = r.values[kDewPoint][i];
            if (std::isfinite(surface) && std::isfinite(dew) && surface <= dew + margin)
                out.condensationSeconds += w[i];
        }
    }
    if (r.has(kHumidity) && r.has(kT1)) {
        RangeStats &v = out.vpdKPa;
        double sum = 0;
        for (size_t i = 0; i < n && i < r.values[kHumidity].size() && i < r.values[kT1].size(); ++i) {
            const double rh = r.values[kHumidity][i], t = r.values[kT1][i];
            if (!std::isfinite(rh) || !std::isfinite(t))
                continue;
            const double vpd = saturationVapourPressureKPa(toCelsius(t, r.unit)) * (1.0 - rh / 100.0);
            v.min = v.count == 0 ? vpd : std::min(v.min, vpd);
            v.max = v.count == 0 ? vpd : std::max(v.max, vpd);
            sum += vpd;
            ++v.count;
        }
        if (v.count > 0)
            v.mean = sum / v.count;
    }
    return out;
}

} // namespace vandrel
