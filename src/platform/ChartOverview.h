// SPDX-License-Identifier: GPL-3.0-or-later
// A long series drawn reduced to what each pixel column can show: its first, lowest,
// highest and last point there, with every gap kept, so nothing visible is lost.
#pragma once

#include "platform/ChartData.h"

#include <functional>
#include <vector>

namespace vandrel {

// Per-block summary of one series of a ChartData, built once per data change.
// Reducing then costs about one step per block rather than one per point, so a
// zoom or a resize of a graph of millions of points redraws at once.
class ChartOverview {
public:
    // Points per block of the summary.
    static constexpr int BlockPoints = 64;

    // Summarises the series; false (and nothing kept) when its written points do
    // not run in time order, which a reduction by columns cannot draw.
    bool build(const ChartData &data, int series);
    void clear();
    bool built() const { return built_; }

    // The entries, in key order, that draw [lower, upper] over `columns` pixel
    // columns exactly as all points would: per column and per unbroken run the
    // first, lowest, highest and last point, a NaN entry for every gap (as
    // ChartData::buildSeries makes them), and the points just outside the range
    // that lines into it start from. pointOfEntry: the point of each entry, -1 for a gap.
    void reduce(const ChartData &data, double lower, double upper, int columns, QVector<QCPGraphData> &entries,
                std::vector<int> &pointOfEntry) const;

    // Calls `visit` with every written point whose X lies in [lower, upper], in point order.
    void forEachPointBetween(const ChartData &data, double lower, double upper,
                             const std::function<void(int point)> &visit) const;

private:
    // lo/hi: the block's lowest and highest point when all its points are written;
    // Empty when none is, Mixed when some are.
    static constexpr int Empty = -1;
    static constexpr int Mixed = -2;
    struct Block {
        int lo = Empty;
        int hi = Empty;
    };

    std::vector<Block> blocks_;
    int series_ = 0;
    bool built_ = false;
};

} // namespace vandrel
