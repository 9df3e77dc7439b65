// Millisecond tick counter from CLOCK_MONOTONIC.
#include "platform/tick.h"

#include <cerrno>
#include <ctime>

namespace platform {

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  // Compute in 64 bits, then keep the low 32 bits: the counter wraps at 2^32.
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                      static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms) {
  timespec req{};
  req.tv_sec = static_cast<time_t>(ms / 1000u);
  req.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  timespec rem{};
  // Sleep the whole interval even when a signal interrupts the sleep.
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

}  // namespace platform
