// The terminal's clock, read and set in packed time.
#pragma once

#include <cstdint>

namespace termsim {

class TerminalClock {
 public:
  TerminalClock(uint32_t packed, bool runs);

  // The current time stamp: the one last set, plus the whole seconds since
  // then when the clock runs.
  uint32_t Now() const;
  void Set(uint32_t packed);

 private:
  uint32_t set_to_;
  uint32_t set_at_tick_;
  bool runs_;
};

}  // namespace termsim
