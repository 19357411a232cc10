// All pairs with one FPS_Moderate run together as a column: sorted by FPS_Critical, its pairs keep
// their states in order, so where a column stands is three numbers, and eight columns take a
// frame at once in the lanes of one vector. The figures are the state functions' own (the
// differential test holds them to a replay's).
#pragma once

#include "sim/tune/grid.h"

#include <memory>
#include <utility>
#include <vector>

namespace sim {

// One FPS_Moderate with FPS_Critical from low to high: at most 128 values, all of them below
// moderate and within -1000..1000 like moderate.
struct ColumnSpan {
    std::int32_t moderate;
    std::int32_t low;
    std::int32_t high;
};

// What the columns read of a frame.
struct SweepFrame {
    std::int64_t endNs; // the session's clock once the frame is over
    double endMs;       // the same as the session keeps it
    std::uint32_t tick; // the tick counter then
    TuneFrames::Level level;
};

SweepFrame sweepFrameOf(const TuneFrames& frames, std::size_t i);

// Columns going through the frames as they come, on both cores, while the capture is still being
// read: frames are added in order, a batch at a time.
class ColumnsRun {
  public:
    ColumnsRun(const GovernorSettings& base, const std::vector<ColumnSpan>& spans);
    ~ColumnsRun();
    ColumnsRun(const ColumnsRun&) = delete;
    ColumnsRun& operator=(const ColumnsRun&) = delete;

    static constexpr std::size_t batchFrames = 4096; // a good size for add()

    void add(std::vector<SweepFrame> frames); // waits while the columns are far behind
    void restart();                           // every frame so far is forgotten
    // Each column's cells, FPS_Critical ascending, in the order of the spans.
    std::vector<std::vector<CellResult>> finish();

  private:
    struct Worker;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::pair<std::size_t, std::size_t>> order_; // worker, column
};

// The same over frames already read.
std::vector<std::vector<CellResult>> evaluateColumns(const TuneFrames& frames,
                                                     const GovernorSettings& base,
                                                     const std::vector<ColumnSpan>& spans);

} // namespace sim
