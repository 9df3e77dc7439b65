// Records what an event callback receives, for tests on the host side.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace eventstest {

struct ReceivedEvent {
  uint16_t kind = 0;
  std::vector<uint8_t> payload;
};

class EventRecorder {
 public:
  // The callback to give at connect, with the recorder as its context.
  static void Callback(void* context, uint16_t kind, int32_t length, const uint8_t* payload) {
    auto& self = *static_cast<EventRecorder*>(context);
    ReceivedEvent event;
    event.kind = kind;
    if (length > 0 && payload != nullptr) event.payload.assign(payload, payload + length);
    std::lock_guard lock(self.mu_);
    self.events_.push_back(std::move(event));
    self.changed_.notify_all();
  }

  std::vector<ReceivedEvent> Events() const {
    std::lock_guard lock(mu_);
    return events_;
  }
  size_t Count() const {
    std::lock_guard lock(mu_);
    return events_.size();
  }
  bool WaitForCount(size_t count, uint32_t timeout_ms = 3000) const {
    std::unique_lock lock(mu_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return events_.size() >= count; });
  }

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable changed_;
  std::vector<ReceivedEvent> events_;
};

// Polls `condition` every few milliseconds until it holds or `timeout_ms`.
inline bool Eventually(const std::function<bool()>& condition, uint32_t timeout_ms = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace eventstest
