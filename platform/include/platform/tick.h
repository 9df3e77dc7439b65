// Millisecond tick counter and sleeping.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the terminal
// tools' traditional tick counter. Never compare two ticks directly; use
// TickDiff / TicksSince, which stay correct across the wrap.
uint32_t TickCount();

// later − earlier as a signed interval (valid while the true interval is
// below 2^31 ms, about 24 days).
constexpr int32_t TickDiff(uint32_t later, uint32_t earlier) {
  return static_cast<int32_t>(later - earlier);
}

// Milliseconds elapsed since `start`, wrap-safe.
inline uint32_t TicksSince(uint32_t start) { return TickCount() - start; }

void SleepMs(uint32_t ms);

}  // namespace platform
