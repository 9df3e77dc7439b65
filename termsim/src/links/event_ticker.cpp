#include "links/event_ticker.h"

#include <chrono>

namespace termsim {
namespace {
// How often a quiet ticker looks whether it is to tick again.
constexpr uint32_t kQuietPollMs = 20;
}  // namespace

bool EventTicker::Start(PeriodFn period, TickFn tick) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = false;
    period_ = std::move(period);
    tick_ = std::move(tick);
  }
  return thread_.Start([this] { Run(); });
}

void EventTicker::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
    wake_.notify_one();
  }
  thread_.Join();
}

void EventTicker::Run() {
  uint16_t counter = 0;
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    lock.unlock();
    const uint32_t period = period_();
    lock.lock();
    const uint32_t wait = period == 0 ? kQuietPollMs : period;
    if (wake_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stopping_; })) break;
    if (period == 0) continue;
    // The terminal's own counter: from 1, never 0.
    if (++counter == 0) counter = 1;
    lock.unlock();
    tick_(counter);
    lock.lock();
  }
}

}  // namespace termsim
