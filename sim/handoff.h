// Work handed from one thread to another in order. Only a few items wait at once, so memory
// stays flat however much passes through.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace sim {

template <class Item, std::size_t waitingAtMost = 8> class Handoff {
  public:
    // Waits while the queue is full. False once the taking side gave up: stop giving.
    bool push(Item item)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return cancelled_ || waiting_.size() < waitingAtMost; });
        if (cancelled_) {
            return false;
        }
        waiting_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }
    // Waits for an item; none once the giving side closed the queue and every item is taken.
    std::optional<Item> pop()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return std::nullopt;
        }
        Item item = std::move(waiting_.front());
        waiting_.pop_front();
        changed_.notify_all();
        return item;
    }
    // The giving side: nothing more comes.
    void close()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // The taking side: nothing more is taken.
    void cancel()
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        waiting_.clear();
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> waiting_;
    bool closed_ = false;
    bool cancelled_ = false;
};

} // namespace sim
