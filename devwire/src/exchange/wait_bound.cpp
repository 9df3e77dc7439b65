#include "exchange/wait_bound.h"

#include <algorithm>

#include "connection/engine_connection.h"
#include "platform/tick.h"

namespace devwire {

DeadlineScope::DeadlineScope(EngineConnection& c)
    : c_(c), had_(c.deadline_set), saved_(c.deadline_tick) {}

DeadlineScope::~DeadlineScope() {
  c_.deadline_set = had_;
  c_.deadline_tick = saved_;
}

void DeadlineScope::Limit(uint64_t ms) {
  // Kept below the tick counter's half range, where differences stay signed.
  const uint32_t span = static_cast<uint32_t>(std::min<uint64_t>(ms, 0x7FFFFFF0u));
  const uint32_t due = platform::TickCount() + span;
  if (c_.deadline_set && platform::TickDiff(due, c_.deadline_tick) >= 0) return;
  c_.deadline_set = true;
  c_.deadline_tick = due;
}

DeadlineExempt::DeadlineExempt(EngineConnection& c) : c_(c), had_(c.deadline_set) {
  c_.deadline_set = false;
}

DeadlineExempt::~DeadlineExempt() { c_.deadline_set = had_; }

std::optional<uint32_t> DeadlineLeft(const EngineConnection& c) {
  if (!c.deadline_set) return std::nullopt;
  const int32_t left = platform::TickDiff(c.deadline_tick, platform::TickCount());
  return static_cast<uint32_t>(std::max(left, 0));
}

bool DeadlinePassed(const EngineConnection& c) {
  const auto left = DeadlineLeft(c);
  return left && *left == 0;
}

int64_t WithinDeadline(const EngineConnection& c, int64_t wait_ms) {
  wait_ms = std::max<int64_t>(wait_ms, 0);
  const auto left = DeadlineLeft(c);
  return left ? std::min<int64_t>(wait_ms, *left) : wait_ms;
}

bool CutShort(const EngineConnection& c, bool cancellable) {
  return (cancellable && c.abort_flag == 1) || DeadlinePassed(c);
}

int32_t BoundedRead(EngineConnection& c, uint8_t* buffer, int32_t size, int32_t timeout_ms,
                    bool cancellable) {
  const int64_t limit = WithinDeadline(c, timeout_ms);
  if (c.entry().terminal_read != nullptr || !cancellable) {
    // One read with the whole wait: a cancel ends it through the transport
    // (InterruptDirectRead). Marked before the flag is looked at, so that
    // either the canceller sees the read or the read sees the cancel.
    c.direct_read = cancellable;
    int32_t got = 0;
    if (!CutShort(c, cancellable)) {
      got = c.entry().read(c.transport, buffer, size, static_cast<int32_t>(limit));
    }
    c.direct_read = false;
    return got;
  }
  // A transport that cannot be interrupted is read in slices.
  const uint32_t start = platform::TickCount();
  for (;;) {
    if (CutShort(c, cancellable)) return 0;
    const int64_t left = limit - static_cast<int64_t>(platform::TicksSince(start));
    if (left <= 0 && limit > 0) return 0;
    const auto slice =
        static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(left, 0), kCancelSliceMs));
    const int32_t got = c.entry().read(c.transport, buffer, size, slice);
    // Anything but silence (data, or a failure) is the read's answer.
    if (got != 0 || limit <= 0) return got;
  }
}

void InterruptDirectRead(EngineConnection& c) {
  if (c.direct_read && c.entry().terminal_read != nullptr && c.transport != nullptr) {
    c.entry().terminal_read(c.transport);
  }
}

void BoundedSleep(EngineConnection& c, uint32_t ms, bool cancellable) {
  const uint32_t start = platform::TickCount();
  for (;;) {
    if (CutShort(c, cancellable)) return;
    const uint32_t elapsed = platform::TicksSince(start);
    if (elapsed >= ms) return;
    platform::SleepMs(std::min(ms - elapsed, kCancelSliceMs));
  }
}

}  // namespace devwire
