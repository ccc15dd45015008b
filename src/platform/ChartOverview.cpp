// SPDX-License-Identifier: GPL-3.0-or-later
// A long series drawn reduced to what each pixel column can show: the block
// summary and the column-by-column reduction over it.
#include "platform/ChartOverview.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vandrel {

namespace {

std::size_t blockCount(int points)
{
    return (static_cast<std::size_t>(points) + ChartOverview::BlockPoints - 1) / ChartOverview::BlockPoints;
}

// The points of one column that stay: the first, lowest, highest and last of an
// unbroken run, gathered block by block and written out in point order.
class ColumnRuns
{
public:
    ColumnRuns(const float *y, const double *x, QVector<QCPGraphData> &entries, std::vector<int> &points)
        : y_(y), x_(x), entries_(entries), points_(points)
    {
    }

    // Points first..last (lo and hi among them) of one column, with no gap inside.
    void take(int column, int first, int lo, int hi, int last)
    {
        if (gapPending_) {
            flush();
            // The gap sits at the key of the point before it, as in a full build.
            entries_.append(QCPGraphData(entries_.constLast().key, std::numeric_limits<double>::quiet_NaN()));
            points_.push_back(-1);
            gapPending_ = false;
        } else if (first_ >= 0 && column != column_) {
            flush();
        }
        if (first_ < 0) {
            column_ = column, first_ = first, lo_ = lo, hi_ = hi, last_ = last;
            seen_ = true;
            return;
        }
        if (y_[lo] < y_[lo_])
            lo_ = lo;
        if (y_[hi] > y_[hi_])
            hi_ = hi;
        last_ = last;
    }
    // A null point: a gap if written points came before (and more follow).
    void null() { gapPending_ = gapPending_ || seen_; }

    void flush()
    {
        if (first_ < 0)
            return;
        int keep[4] = {first_, lo_, hi_, last_};
        std::sort(keep, keep + 4);
        const int *end = std::unique(keep, keep + 4);
        for (const int *p = keep; p != end; ++p) {
            entries_.append(QCPGraphData(x_[*p], y_[*p]));
            points_.push_back(*p);
        }
        first_ = -1;
    }

private:
    const float *y_;
    const double *x_;
    QVector<QCPGraphData> &entries_;
    std::vector<int> &points_;
    int column_ = 0;
    int first_ = -1;
    int lo_ = 0;
    int hi_ = 0;
    int last_ = 0;
    bool seen_ = false;
    bool gapPending_ = false;
};

} // namespace

void ChartOverview::clear()
{
    blocks_.clear();
    blocks_.shrink_to_fit();
    built_ = false;
}

bool ChartOverview::build(const ChartData &data, int series)
{
    clear();
    const float *y = data.ys(series);
    const double *x = data.xs(series);
    const int n = data.pointCount();
    std::vector<Block> blocks(blockCount(n));
    double lastKey = -std::numeric_limits<double>::infinity();
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const int start = static_cast<int>(b) * BlockPoints;
        const int end = std::min(n, start + BlockPoints);
        Block block;
        bool anyNull = false;
        for (int p = start; p < end; ++p) {
            if (data.isNullValue(y[p])) {
                anyNull = true;
                continue;
            }
            // A time that is not a number has no column either.
            if (!(x[p] >= lastKey))
                return false;
            lastKey = x[p];
            if (block.lo == Empty)
                block.lo = block.hi = p;
            else if (y[p] < y[block.lo])
                block.lo = p;
            else if (y[p] > y[block.hi])
                block.hi = p;
        }
        if (anyNull && block.lo != Empty)
            block.lo = block.hi = Mixed;
        blocks[b] = block;
    }
    blocks_ = std::move(blocks);
    series_ = series;
    built_ = true;
    return true;
}

void ChartOverview::reduce(const ChartData &data, double lower, double upper, int columns,
                           QVector<QCPGraphData> &entries, std::vector<int> &pointOfEntry) const
{
    if (!built_ || blocks_.size() != blockCount(data.pointCount()) || !(upper > lower) || columns < 1 ||
        !std::isfinite(columns / (upper - lower))) {
        data.buildSeries(series_, entries, pointOfEntry);
        return;
    }
    entries.clear();
    pointOfEntry.clear();
    const float *y = data.ys(series_);
    const double *x = data.xs(series_);
    const int n = data.pointCount();
    const double scale = columns / (upper - lower);
    // Everything left of the range is one column, everything right of it another:
    // of those only the points next to the range are ever drawn.
    const auto column = [&](double key) {
        const double c = std::floor((key - lower) * scale);
        return c < 0 ? -1 : c >= columns ? columns : static_cast<int>(c);
    };
    ColumnRuns runs(y, x, entries, pointOfEntry);
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Block &block = blocks_[b];
        const int start = static_cast<int>(b) * BlockPoints;
        const int end = std::min(n, start + BlockPoints);
        if (block.lo == Empty) {
            runs.null();
            continue;
        }
        if (block.lo >= 0) {
            const int c = column(x[start]);
            if (c == column(x[end - 1])) {
                runs.take(c, start, block.lo, block.hi, end - 1);
                continue;
            }
        }
        for (int p = start; p < end; ++p) {
            if (data.isNullValue(y[p]))
                runs.null();
            else
                runs.take(column(x[p]), p, p, p, p);
        }
    }
    runs.flush();
}

void ChartOverview::forEachPointBetween(const ChartData &data, double lower, double upper,
                                        const std::function<void(int point)> &visit) const
{
    if (!built_ || blocks_.size() != blockCount(data.pointCount()))
        return;
    const float *y = data.ys(series_);
    const double *x = data.xs(series_);
    const int n = data.pointCount();
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Block &block = blocks_[b];
        const int start = static_cast<int>(b) * BlockPoints;
        const int end = std::min(n, start + BlockPoints);
        if (block.lo == Empty)
            continue;
        if (block.lo >= 0) {
            if (x[start] > upper)
                return; // written points run in time order: nothing further is in range
            if (x[end - 1] < lower)
                continue;
        }
        for (int p = start; p < end; ++p) {
            if (!data.isNullValue(y[p]) && x[p] >= lower && x[p] <= upper)
                visit(p);
        }
    }
}

} // namespace vandrel
