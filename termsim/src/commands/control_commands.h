// Commands that drive the terminal: enable and disable, restart and power,
// enrolment and verification, the door lock, the display and the sounds.
// Each one that arrives is kept, so tests can see what the host sent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "commands/reply.h"
#include "termsim/simulator.h"

namespace termsim {

// Command codes handled here besides CMD_ENABLEDEVICE and CMD_DISABLEDEVICE.
inline constexpr uint16_t kRestart = 1004;
inline constexpr uint16_t kPowerOff = 1005;
inline constexpr uint16_t kSleep = 1006;
inline constexpr uint16_t kResume = 1007;
inline constexpr uint16_t kRefreshData = 1013;
inline constexpr uint16_t kRefreshOptions = 1014;
inline constexpr uint16_t kPlayVoice = 1017;
inline constexpr uint16_t kSound = 1020;
inline constexpr uint16_t kSuspend = 1022;
inline constexpr uint16_t kUnlock = 31;
inline constexpr uint16_t kEnableClock = 57;
inline constexpr uint16_t kStartVerify = 60;
inline constexpr uint16_t kStartEnroll = 61;
inline constexpr uint16_t kCancelOperation = 62;
inline constexpr uint16_t kQueryState = 64;
inline constexpr uint16_t kWriteLcd = 66;
inline constexpr uint16_t kClearLcd = 67;
inline constexpr uint16_t kDoorState = 75;
inline constexpr uint16_t kSaveCurrentTime = 10008;
inline constexpr uint16_t kTurnOffAlarm = 10030;
inline constexpr uint16_t kCloseAlarm = 10034;

class DeviceControl {
 public:
  explicit DeviceControl(const Profile& profile);

  // True when `code` is a control command; `reply` then holds the answer.
  // A restart sets `reply.end_session`.
  bool Handle(uint16_t code, std::span<const uint8_t> data, Reply& reply);

  std::vector<ControlCommand> received;
  bool enabled = true;
  int restarts = 0;
  uint8_t door_state;
  uint16_t machine_state;
};

}  // namespace termsim
