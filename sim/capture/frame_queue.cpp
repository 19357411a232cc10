#include "sim/capture/frame_queue.h"

namespace sim {

bool FrameQueue::push(FrameBatch batch)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return cancelled_ || waiting_.size() < waitingAtMost; });
    if (cancelled_) {
        return false;
    }
    waiting_.push_back(std::move(batch));
    changed_.notify_all();
    return true;
}

std::optional<FrameBatch> FrameQueue::pop()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || !waiting_.empty(); });
    if (waiting_.empty()) {
        return std::nullopt;
    }
    FrameBatch batch = std::move(waiting_.front());
    waiting_.pop_front();
    changed_.notify_all();
    return batch;
}

void FrameQueue::close()
{
    const std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

void FrameQueue::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    waiting_.clear();
    changed_.notify_all();
}

} // namespace sim
