// A terminal that chatters: while a test asks for it, an event packet goes
// out every few milliseconds to wherever the last packet came from,
// whatever the host registered for and whatever else the terminal does.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/thread.h"

namespace termsim {

class EventTicker {
 public:
  // The period in force (0: quiet), asked before every tick.
  using PeriodFn = std::function<uint32_t()>;
  // Sends one event packet with this sequence number.
  using TickFn = std::function<void(uint16_t counter)>;

  ~EventTicker() { Stop(); }

  bool Start(PeriodFn period, TickFn tick);
  void Stop();

 private:
  void Run();

  std::mutex mu_;
  std::condition_variable wake_;
  bool stopping_ = true;  // until Start
  PeriodFn period_;
  TickFn tick_;
  platform::Thread thread_;
};

}  // namespace termsim
