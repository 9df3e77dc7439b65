// A terminal people use: every few seconds, while a host is registered for
// attendance events, one of its users punches. The record joins the attendance log at the terminal's clock (which moves on
// with it), and an attendance event (kind 1) goes to the hosts registered
// for it, carrying
//   bytes 0-23   the user's number in decimal (or ID text), zero-padded
//   byte  24     verify mode (1: fingerprint)
//   byte  25     attendance state (0 in the morning, 1 after noon)
//   bytes 26-31  year - 2000, month, day, hour, minute, second
// The demo terminal of termctl and `termsim --demo` do this.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/thread.h"
#include "termsim/simulator.h"

namespace termsim {

inline constexpr uint16_t kAttendanceEventKind = 1;
inline constexpr size_t kAttendanceEventSize = 32;

// The event payload for one record (layout above).
std::vector<uint8_t> AttendanceEventPayload(const AttendanceRecord& record);

// The moment `seconds` later, on the real calendar.
DateTime AddSeconds(const DateTime& t, int64_t seconds);

class LivePunches {
 public:
  ~LivePunches() { Stop(); }

  // Starts punching on `sim` every `every_ms` milliseconds. False when a
  // thread cannot be had, or there are no users.
  bool Start(Simulator& sim, uint32_t every_ms);
  void Stop();
  // Punches made so far.
  uint32_t count() const;

 private:
  void Run();
  // False when nobody punched (no host listening, no users).
  bool PunchOnce();

  Simulator* sim_ = nullptr;
  uint32_t every_ms_ = 0;
  mutable std::mutex mu_;
  std::condition_variable wake_;
  bool stopping_ = false;
  uint32_t count_ = 0;
  platform::Thread thread_;
};

}  // namespace termsim
