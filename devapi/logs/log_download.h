// Bulk downloads of log records into the session's shared buffer.
#pragma once

#include <cstdint>
#include <span>

#include "session/device_session.h"

namespace devapi {

// How a download ended, for the iterators that download by themselves: a
// terminal without records is not a failure.
enum class Download { kLoaded, kNoRecords, kUnsupported, kFailed };

// The result a download call reports: 1 loaded, 0 nothing to send (or no
// such log on this terminal), -2 failed.
inline int32_t DownloadResult(Download d) {
  if (d == Download::kLoaded) return 1;
  return d == Download::kFailed ? -2 : 0;
}

// What an iterator makes of the download it starts over an empty view: 1
// to walk the records, 0 when the terminal has none, -2 when it failed.
inline int32_t WalkStart(Download d) {
  if (d == Download::kLoaded) return 1;
  return d == Download::kNoRecords ? 0 : -2;
}

// The outcome of one bulk read: the code slot and the engine's result.
struct BulkOutcome {
  uint16_t code = 0;
  int32_t result = 0;
};

// Codes a terminal gives when it has nothing to send.
bool IsNothingToSend(uint16_t code);

// A bulk read of `command` into read_buf (which must be allocated), the
// request placed at the start of the buffer; block size and time-out from
// the session.
BulkOutcome ReadIntoBuffer(DeviceSession& session, uint16_t command,
                           std::span<const uint8_t> request);

// Confirms a new-record download of data kind `kind` (command 121); the
// reply code.
uint16_t ConfirmNewRecords(DeviceSession& session, uint8_t kind);

// Data kinds of the new-record download (command 120).
inline constexpr uint8_t kNewAttendanceRecords = 1;
inline constexpr uint8_t kNewOperationRecords = 4;

}  // namespace devapi
