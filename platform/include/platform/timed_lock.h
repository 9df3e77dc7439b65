// A lock whose acquisition can give up after a time limit. (Used instead of
// std::timed_mutex, whose timed wait the thread sanitizer cannot follow.)
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class TimedLock {
 public:
  // True when the lock was taken within `timeout_ms`.
  bool TryLockFor(uint32_t timeout_ms) {
    std::unique_lock<std::mutex> guard(mu_);
    if (!free_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [this] { return !held_; }))
      return false;
    held_ = true;
    return true;
  }

  void Lock() {
    std::unique_lock<std::mutex> guard(mu_);
    free_.wait(guard, [this] { return !held_; });
    held_ = true;
  }

  void Unlock() {
    {
      std::lock_guard<std::mutex> guard(mu_);
      held_ = false;
    }
    free_.notify_one();
  }

 private:
  std::mutex mu_;
  std::condition_variable free_;
  bool held_ = false;
};

// Holds a TimedLock taken with a limit until the end of the scope.
class TimedLockHolder {
 public:
  TimedLockHolder(TimedLock& lock, uint32_t timeout_ms)
      : lock_(lock), owns_(lock.TryLockFor(timeout_ms)) {}
  ~TimedLockHolder() {
    if (owns_) lock_.Unlock();
  }
  TimedLockHolder(const TimedLockHolder&) = delete;
  TimedLockHolder& operator=(const TimedLockHolder&) = delete;

  bool owns() const { return owns_; }

 private:
  TimedLock& lock_;
  const bool owns_;
};

}  // namespace platform
