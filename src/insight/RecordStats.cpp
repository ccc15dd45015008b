// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of a record in one pass per channel over plain arrays, so a
// million rows take milliseconds.
#include "insight/RecordStats.h"

#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

double toCelsius(double v, char unit) { return unit == 'F' ? (v - 32.0) * 5.0 / 9.0 : v; }
double fromCelsius(double c, char unit) { return unit == 'F' ? c * 9.0 / 5.0 + 32.0 : c; }

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
