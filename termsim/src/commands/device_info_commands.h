// Facts the terminal reports about itself: its clock, storage counters,
// user-number width, status text and device firmware.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "store/free_sizes.h"
#include "commands/reply.h"
#include "store/terminal_clock.h"
#include "termsim/simulator.h"

namespace termsim {

// Command codes answered here.
inline constexpr uint16_t kGetTime = 201;
inline constexpr uint16_t kSetTime = 202;
inline constexpr uint16_t kPinWidth = 69;
inline constexpr uint16_t kDeviceStatus = 2998;
inline constexpr uint16_t kDeviceFirmware = 10019;

class DeviceInfo {
 public:
  explicit DeviceInfo(const Profile& profile);

  // True when `code` is answered here; `reply` then holds the answer.
  bool Handle(uint16_t code, std::span<const uint8_t> data, Reply& reply);

  TerminalClock clock;
  StorageWords storage;
  int8_t pin_width;
  int32_t device_status;

 private:
  std::string device_firmware_;
};

}  // namespace termsim
