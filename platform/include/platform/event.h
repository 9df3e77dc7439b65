// Manual-reset events: once set, an event stays set and releases every
// waiter until it is reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initially_set = false);
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;

  // Waits until the event is set or `timeout_ms` has passed (kInfinite:
  // no limit). True when the event was set.
  bool Wait(uint32_t timeout_ms);

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace platform
