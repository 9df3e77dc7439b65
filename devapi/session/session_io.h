// Exchanges with the terminal on behalf of a session: one command, option
// reads and option writes (session, options). Shared by every devapi subsystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/device_session.h"

namespace devapi {

// Protocol codes the session functions use.
inline constexpr uint16_t kAckOk = 2000;
inline constexpr uint16_t kAckError = 2001;
inline constexpr uint16_t kAckUnknown = 65535;
inline constexpr uint16_t kAckNo = 65534;
inline constexpr uint16_t kAckErrorCmd = 65533;
inline constexpr uint16_t kCmdOptionsRead = 11;
inline constexpr uint16_t kCmdOptionsWrite = 12;
inline constexpr uint16_t kCmdManufacturerWrite = 2999;

// The room of an option write request, terminator included.
inline constexpr size_t kOptionWriteRoom = 140;
// Reply buffer and time-out of the option reads of the connect probe.
inline constexpr size_t kProbeOptionReplySize = 200;
inline constexpr int32_t kProbeOptionTimeoutMs = 1000;

// Runs the body of an exported function: nothing is thrown across the C
// border. Running out of memory gives -101 (or a null handle).
template <typename F>
int32_t Guarded(F&& body) {
  try {
    return body();
  } catch (...) {
    return -101;
  }
}

struct Reply {
  uint16_t code = 0;           // the code slot after the exchange
  int32_t result = 0;          // what DEVWIRE_SENDCMD returned
  std::vector<uint8_t> bytes;  // reply_size bytes: zeroed, then the reply
  size_t length = 0;           // how many of them the terminal really sent
  bool ok() const { return code == kAckOk; }
  // An accepted reply that holds at least `n` bytes.
  bool HasAtLeast(size_t n) const { return ok() && length >= n; }
  // Little-endian 32-bit word `index` of the reply (0 beyond it).
  uint32_t Word(size_t index) const;
  // The reply as text, up to its first NUL (or its end).
  std::string Text() const;
};

// One command: `data` goes out, up to `reply_size` bytes come back into a
// buffer that is zeroed before the exchange.
Reply SendCommand(DeviceSession& session, uint16_t command, std::span<const uint8_t> data,
                  size_t reply_size, int32_t timeout_ms);

// Time-out plus an addition, saturating instead of wrapping.
int32_t AddTimeout(int32_t timeout_ms, int32_t extra_ms);

struct OptionValue {
  uint16_t code = 0;
  std::string value;  // empty unless the reply was CMD_ACK_OK, terminated
                      // within the buffer, and began with "name="
  bool ok() const { return code == kAckOk; }
};

// True when a read of `name` fits a reply buffer of `reply_size` bytes.
inline bool OptionNameFits(std::string_view name, size_t reply_size) {
  return name.size() + 1 <= reply_size;
}

// Reads an option (command 11). A name that does not fit the buffer is not
// sent: code CMD_ACK_ERROR_CMD, empty value.
OptionValue ReadOption(DeviceSession& session, std::string_view name, size_t reply_size,
                       int32_t timeout_ms);
// The probe's form: 200-byte reply buffer, 1000 ms.
inline OptionValue ReadProbeOption(DeviceSession& session, std::string_view name) {
  return ReadOption(session, name, kProbeOptionReplySize, kProbeOptionTimeoutMs);
}

// Writes an option with `command` (12 or 2999), time-out cmd_timeout_ms.
// With `may_scramble`, a name starting with '~' on a terminal without "~OS"
// has its value scrambled. Results: 1; -2 refused; 4 for an empty name or a
// request that does not fit its 140 bytes (nothing sent).
int32_t WriteOption(DeviceSession& session, uint16_t command, std::string_view name,
                    std::string_view value, bool may_scramble);
// Writes a ready "name=value" request unchanged (same results).
int32_t WriteOptionText(DeviceSession& session, uint16_t command, std::string_view request);

}  // namespace devapi
