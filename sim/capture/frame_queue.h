// Frame times handed from the thread that reads a capture to the one that replays it, a batch at
// a time. Only a few batches wait at once, so memory stays flat however long the capture.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace sim {

struct FrameBatch {
    std::vector<double> frames;
    bool restart = false; // forget every frame given so far, then go on
};

class FrameQueue {
  public:
    static constexpr std::size_t batchFrames = 4096;

    // Waits while the queue is full. False once the replaying side gave up: stop reading.
    bool push(FrameBatch batch);
    // Waits for a batch; none once the reading side closed the queue and every batch is taken.
    std::optional<FrameBatch> pop();
    void close();  // reading side: nothing more comes
    void cancel(); // replaying side: nothing more is taken

  private:
    static constexpr std::size_t waitingAtMost = 8;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FrameBatch> waiting_;
    bool closed_ = false;
    bool cancelled_ = false;
};

} // namespace sim
