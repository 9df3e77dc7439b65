// Faults applied to the terminal's replies, switched by tests while the
// simulator runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "termsim/simulator.h"

namespace termsim {

// What happens to one reply on its way out.
struct ReplyFate {
  bool drop = false;
  int copies = 1;
  uint32_t delay_ms = 0;
  bool corrupt_checksum = false;
  uint16_t counter_back = 0;
};

class FaultInjector {
 public:
  // How far back a stale reply's sequence number is set: more than one, so
  // it is older than the command by any reading of "older".
  static constexpr uint16_t kStaleDistance = 2;

  void Set(const Faults& faults);
  Faults Get() const;

  bool Silent() const;
  // True when this command is to be answered CMD_ACK_RETRY (counts down).
  bool TakeRetry();
  // Decides the fate of the next reply (counts down what it uses).
  ReplyFate NextReplyFate();
  // True when `command` is never to be answered.
  bool Unanswered(uint16_t command) const;
  // Cuts an accepted answer to `command` short when asked to.
  void ShapePayload(uint16_t command, uint16_t reply_code, std::vector<uint8_t>& payload) const;
  // The period of pushed events, 0 when off.
  uint32_t EventPeriodMs() const;

 private:
  mutable std::mutex mu_;
  Faults faults_;
  std::mt19937 rng_{1};
};

}  // namespace termsim
