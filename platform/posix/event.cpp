// Manual-reset events on a mutex and a condition variable.
#include "platform/event.h"

#include <chrono>

namespace platform {

ManualResetEvent::ManualResetEvent(bool initially_set) : set_(initially_set) {}

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    set_ = true;
  }
  cv_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mu_);
  set_ = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mu_);
  return set_;
}

bool ManualResetEvent::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  if (timeout_ms == kInfinite) {
    cv_.wait(lock, [this] { return set_; });
    return true;
  }
  // wait_until on the steady clock with a predicate: spurious wake-ups go
  // back to waiting for the remainder of the interval.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  return cv_.wait_until(lock, deadline, [this] { return set_; });
}

}  // namespace platform
