// A timer queue for replies that are due later: a late reply leaves on its
// own thread, so the receive loop goes on answering meanwhile.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <vector>

#include "links/peer.h"
#include "platform/thread.h"

namespace termsim {

class DelayedSender {
 public:
  using SendFn = std::function<void(const std::vector<uint8_t>& datagram, const Peer& to)>;

  ~DelayedSender() { Stop(); }

  bool Start(SendFn send);
  // Queues `datagram` for `to`, due in `delay_ms`.
  void Post(uint32_t delay_ms, std::vector<uint8_t> datagram, const Peer& to);
  // Ends the thread; whatever is still queued is dropped.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;
  struct Item {
    Clock::time_point due;
    uint64_t order;  // keeps posts with equal due times in order
    std::vector<uint8_t> datagram;
    Peer to;
    bool operator>(const Item& other) const {
      return due != other.due ? due > other.due : order > other.order;
    }
  };

  void Run();

  std::mutex mu_;
  std::condition_variable wake_;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue_;
  uint64_t posts_ = 0;
  bool stopping_ = true;  // until Start
  SendFn send_;
  platform::Thread thread_;
};

}  // namespace termsim
