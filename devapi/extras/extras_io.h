// Exchanges shared by the extras functions: a counted table read into a
// private buffer, and the usual 1 / -2 ending of one command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "session/device_session.h"
#include "session/session_io.h"

namespace devapi::extras {

// Private buffers of the key tables and of the state map.
inline constexpr size_t kKeyTableBuffer = 5120;
inline constexpr size_t kStateMapBuffer = 1024;
inline constexpr int32_t kTableExtraMs = 1000;

// A counted table: the records are min(count, bytes after the count).
struct CountedTable {
  std::vector<uint8_t> buffer;
  std::span<const uint8_t> records;
};

// Reads `command` through the bulk read into a buffer of `capacity` bytes
// (block size from the session, data_timeout_ms + 1000). Nullopt when the
// terminal did not answer CMD_ACK_OK or sent less than a count.
std::optional<CountedTable> ReadCountedTable(DeviceSession& s, uint16_t command, size_t capacity);

// One command with cmd_timeout_ms and no reply: 1 on CMD_ACK_OK, else -2.
int32_t SendSimple(DeviceSession& s, uint16_t command, std::span<const uint8_t> data);

// True when the value fits an unsigned field of `max`.
inline bool Fits(int32_t value, uint32_t max) {
  return static_cast<uint32_t>(value) <= max;
}

}  // namespace devapi::extras
