// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics of a record in one pass per channel over plain arrays, so a
// million rows take milliseconds.
#include "insight/RecordStats.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vandrel {

namespace {

double toCelsius(double v, char unit) { return convertTemperature(v, unit, 'C'); }
double fromCelsius(double c, char unit) { return convertTemperature(c, 'C', unit); }

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

// Times are whole seconds as the clock showed them, but come through day
// counts in binary: a step this much off is no step.
constexpr double kClockSlack = 1e-3;

// The usual step between rows: the median of the steps, a step back counting
// as none.
double medianStep(const std::vector<double> &t)
{
    if (t.size() < 2)
        return 0.0;
    std::vector<double> steps(t.size() - 1);
    for (size_t i = 0; i + 1 < t.size(); ++i)
        steps[i] = std::max(0.0, t[i + 1] - t[i]);
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

bool isGap(double step, double usual) { return step > 2.0 * usual + kClockSlack; }

// What each row stands for in time.
struct Timeline {
    double usual = 0;
    // The seconds each row stands for: until the next row, but a usual
    // interval before a gap and at the end, nothing before a step back.
    std::vector<double> weights;
};

Timeline timeline(const std::vector<double> &t)
{
    Timeline out;
    const size_t n = t.size();
    out.weights.assign(n, 0.0);
    if (n < 2)
        return out;
    out.usual = medianStep(t);
    for (size_t i = 0; i + 1 < n; ++i) {
        const double step = std::max(0.0, t[i + 1] - t[i]);
        out.weights[i] = isGap(step, out.usual) ? out.usual : step;
    }
    out.weights[n - 1] = out.usual;
    return out;
}

// A clock that never goes back (the rows' steps forward summed up), for the
// delays of the limits: a clock set back must not hold them up. Advanced
// once for every row, in order.
class SteadyClock {
public:
    double advance(double t)
    {
        if (started_)
            now_ += std::max(0.0, t - last_);
        started_ = true;
        last_ = t;
        return now_;
    }

private:
    bool started_ = false;
    double last_ = 0, now_ = 0;
};

// A cell the limits cannot weigh: empty, or overloaded on a side that has no
// limit (it lies outside the meter's range, not within the limits).
bool unweighable(double x, const Limits &limits)
{
    return std::isnan(x) || (std::isinf(x) && !(x > 0 ? limits.high : limits.low));
}

// Where the time of each cell of a channel goes: in alarm (below, within,
// above), beyond a limit, out of range. Fed every row in order.
class TimeCounter {
public:
    explicit TimeCounter(const Limits &limits)
        : limits_(limits), watch_(limits),
          highEdge_(limits.high ? *limits.high + kReadingTolerance : std::numeric_limits<double>::infinity()),
          lowEdge_(limits.low ? *limits.low - kReadingTolerance : -std::numeric_limits<double>::infinity())
    {
    }
    // Cell `x` of the row at clock time `t` standing for `w` seconds.
    void count(ChannelStats &s, double x, double t, double w)
    {
        const double steady = clock_.advance(t);
        if (std::isfinite(x)) [[likely]] {
            s.secondsRead += w;
            weigh(s, x, steady, w);
        } else if (std::isnan(x)) {
            ++(isUnreadable(x) ? s.unreadable : s.empty);
            watch_.gap();
        } else {
            ++s.overloaded;
            s.secondsRead += w;
            s.secondsOutOfRange += w;
            if (unweighable(x, limits_))
                watch_.gap();
            else
                weigh(s, x, steady, w);
        }
    }

private:
    void weigh(ChannelStats &s, double x, double steady, double w)
    {
        // The same sums as aboveLimit and belowLimit, the edges worked out once.
        if (x > highEdge_)
            s.secondsBeyondHigh += w;
        if (x < lowEdge_)
            s.secondsBeyondLow += w;
        switch (watch_.feed(x, steady)) {
        case LimitState::Below: s.secondsBelow += w; break;
        case LimitState::Above: s.secondsAbove += w; break;
        case LimitState::Within: s.secondsWithin += w; break;
        }
    }

    Limits limits_;
    LimitWatch watch_;
    SteadyClock clock_;
    double highEdge_, lowEdge_;
};

ChannelStats channelStats(const Record &r, Channel c, const Timeline &tl, const Limits &limits)
{
    ChannelStats s;
    const std::vector<double> &v = r.values[c];
    s.present = !v.empty();
    if (!s.present)
        return s;
    TimeCounter counter(limits);
    double sum = 0, sumSq = 0;
    double mktSum = 0, mktWeight = 0;
    // A meter reads in tenths, so the same value comes again and again: its
    // exponential is worked out once for each run of it.
    double lastX = kNone, lastTerm = 0;
    const bool temperature = c == kT1 || c == kT2;
    const double activation = kActivationJoulesPerMole / kGasConstant;
    const size_t n = std::min(v.size(), r.seconds.size());
    for (size_t i = 0; i < n; ++i) {
        const double x = v[i], w = tl.weights[i];
        counter.count(s, x, r.seconds[i], w);
        if (!std::isfinite(x))
            continue;
        takeValue(s, x, r.seconds[i]);
        sum += x;
        sumSq += x * x;
        if (temperature) {
            if (x != lastX) {
                lastX = x;
                lastTerm = std::exp(-activation / (toCelsius(x, r.unit) + 273.15));
            }
            mktSum += w * lastTerm;
            mktWeight += w;
        }
    }
    if (s.count == 0)
        return s;
    s.mean = sum / s.count;
    // The sample standard deviation, as a spreadsheet's STDEV gives it; a
    // single value has none.
    if (s.count > 1)
        s.stddev = std::sqrt(std::max(0.0, (sumSq - sum * sum / s.count) / (s.count - 1)));
    if (temperature && mktWeight > 0)
        s.mkt = fromCelsius(activation / -std::log(mktSum / mktWeight) - 273.15, r.unit);
    else if (temperature)
        s.mkt = s.mean; // one row, or rows that stand for no time: nothing to weigh
    return s;
}

// The gaps and the rows out of order.
void coverage(RecordStats &out, const std::vector<double> &t, double usual)
{
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        const double step = t[i + 1] - t[i];
        if (isGap(step, usual)) {
            ++out.gapCount;
            out.uncoveredSeconds += step - usual;
        } else if (step < -kClockSlack) {
            if (out.rowsOutOfOrder++ == 0)
                out.firstRowOutOfOrder = static_cast<int>(i + 1);
        }
    }
}

} // namespace

double saturationVapourPressureKPa(double celsius)
{
    return 0.6108 * std::exp(17.27 * celsius / (celsius + 237.3));
}

double usualInterval(const Record &record) { return medianStep(record.seconds); }

std::vector<RecordGap> recordGaps(const Record &record)
{
    std::vector<RecordGap> out;
    const std::vector<double> &t = record.seconds;
    const double usual = medianStep(t);
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (isGap(t[i + 1] - t[i], usual))
            out.push_back({t[i] + usual, t[i + 1] - t[i] - usual});
    }
    return out;
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

namespace {

// The crossings of one channel, appended to `out`.
void channelCrossings(const Record &r, Channel c, const Timeline &tl, const Limits &limits, std::vector<Crossing> &out)
{
    const std::vector<double> &v = r.values[c];
    LimitWatch watch(limits);
    SteadyClock clock;
    std::optional<Crossing> now;
    const auto beyond = [](const Crossing &x, double value) {
        return x.side == LimitSide::High ? value > x.extreme : value < x.extreme;
    };
    const size_t n = std::min(v.size(), r.seconds.size());
    for (size_t i = 0; i < n; ++i) {
        const double x = v[i], t = r.seconds[i];
        const double steady = clock.advance(t);
        if (unweighable(x, limits)) {
            // A raised crossing stays raised over a gap, but the gap's
            // time counts nowhere, as in the time above and below.
            watch.gap();
            continue;
        }
        for (const LimitChange &change : watch.update(x, steady)) {
            if (change.raised) {
                if (now) // both sides raised at once: the first ends where the second starts
                    out.push_back(*now);
                now = Crossing{c, change.side, change.limit, t, t, 0, x, t, false};
            } else if (now && now->side == change.side) {
                // A clock set back must not end a crossing before it began.
                now->end = std::max(now->end, t);
                out.push_back(*now);
                now.reset();
            }
        }
        if (now) {
            now->seconds += tl.weights[i];
            now->end = std::max(now->end, t);
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

} // namespace

std::vector<Crossing> limitCrossings(const Record &r, const StatsOptions &options)
{
    std::vector<Crossing> out;
    const Timeline tl = timeline(r.seconds);
    for (int c = 0; c < kChannelCount; ++c) {
        // Limits keep the unit they were given in; the record's values are compared with them converted.
        const Limits limits = limitsInUnit(options.limits[c], r.unit);
        if (!r.values[c].empty() && limits.any())
            channelCrossings(r, static_cast<Channel>(c), tl, limits, out);
    }
    std::stable_sort(out.begin(), out.end(), [](const Crossing &a, const Crossing &b) { return a.start < b.start; });
    return out;
}

std::vector<DaySummary> dailySummaries(const Record &r, const StatsOptions &options)
{
    std::vector<DaySummary> days;
    const Timeline tl = timeline(r.seconds);
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
        TimeCounter counter(limitsInUnit(options.limits[c], r.unit));
        std::vector<double> sums(days.size(), 0.0);
        for (size_t i = 0; i < n && i < v.size(); ++i) {
            ChannelStats &s = days[dayOf[i]].channels[c];
            const double x = v[i];
            counter.count(s, x, r.seconds[i], tl.weights[i]);
            if (!std::isfinite(x))
                continue;
            takeValue(s, x, r.seconds[i]);
            sums[dayOf[i]] += x;
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
    const Timeline tl = timeline(r.seconds);
    for (double x : tl.weights)
        out.coveredSeconds += x;
    coverage(out, r.seconds, tl.usual);
    for (int c = 0; c < kChannelCount; ++c)
        out.channels[c] = channelStats(r, static_cast<Channel>(c), tl, limitsInUnit(options.limits[c], r.unit));

    const size_t n = r.seconds.size();
    const std::vector<double> &w = tl.weights;
    if (r.has(kT2) && r.has(kDewPoint)) {
        const double margin = std::isnan(options.condensationMargin) ? (r.unit == 'F' ? 2.0 : 1.0)
                                                                     : options.condensationMargin;
        out.condensationSeconds = 0;
        for (size_t i = 0; i < n && i < r.values[kT2].size() && i < r.values[kDewPoint].size(); ++i) {
            const double surface = r.values[kT2][i], dew = r.values[kDewPoint][i];
            // At or below the dew point plus the margin, to the tenth.
            if (std::isfinite(surface) && std::isfinite(dew) && !aboveLimit(surface, dew + margin))
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
