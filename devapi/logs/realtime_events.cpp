// Real-time events: registering for the events a terminal pushes, and
// polling its real-time log and walking the polled events one by one.
// Pushed events themselves travel from the engine's reader thread straight
// to the callback given at connect; nothing here is on that path.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <span>

#include "devapi.h"
#include "devwire.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi {
namespace {

constexpr uint16_t kCmdRegisterEvents = 500;
constexpr uint16_t kCmdPollRealtimeLog = 90;
constexpr size_t kRegisterReplySize = 4;

// The poll's buffer and the reply room within it: a 32-bit byte count, then
// the event records.
constexpr size_t kRtBufferSize = 2048;
constexpr size_t kPollReplySize = 1024;
constexpr uint32_t kCountSize = 4;
constexpr uint32_t kMaxEventBytes = kPollReplySize - kCountSize;

constexpr size_t kTftRecord = 38;
constexpr size_t kLongRecord = 18;
constexpr size_t kShortRecord = 16;
constexpr size_t kCodeSize = 2;

size_t RecordSize(const DeviceSession& s) {
  if (s.is_tft != 0) return kTftRecord;
  return s.rt_long_record != 0 ? kLongRecord : kShortRecord;
}

// The polled block is gone: nothing to walk.
void ForgetPolledEvents(DeviceSession& s) {
  s.rt_len = 0;
  s.rt_start = 0;
  s.rt_cursor = 0;
}

int32_t RegisterEvents(DeviceSession& s, uint32_t mask) {
  std::array<uint8_t, 4> data{};
  wire::ByteWriter(data).U32(mask);
  return SendCommand(s, kCmdRegisterEvents, data, kRegisterReplySize, s.cmd_timeout_ms).ok() ? 1
                                                                                             : -2;
}

int32_t PollRealtimeLog(DeviceSession& s) {
  if (s.rt_buf.size() != kRtBufferSize) {
    try {
      s.rt_buf.assign(kRtBufferSize, 0);
    } catch (const std::bad_alloc&) {
      return -101;
    }
  }
  std::fill(s.rt_buf.begin(), s.rt_buf.end(), 0);
  wire::ByteWriter(s.rt_buf).U32(s.rt_seq);

  uint16_t code = kCmdPollRealtimeLog;
  DEVWIRE_SENDCMD(s.engine, &code, s.rt_buf.data(), static_cast<int32_t>(kPollReplySize),
                  static_cast<int32_t>(kCountSize), s.cmd_timeout_ms);
  if (code != kAckOk) {
    // The buffer no longer holds the previous block; walking it would yield
    // zero-filled events.
    ForgetPolledEvents(s);
    return -2;
  }

  // The terminal's count is believed only as far as the bytes it really
  // sent after the count, and never beyond the reply buffer. An answer too
  // short for the count itself tells nothing.
  const int32_t arrived = DEVWIRE_REPLYLENGTH(s.engine);
  if (arrived < static_cast<int32_t>(kCountSize)) {
    ForgetPolledEvents(s);
    return -2;
  }
  const uint32_t held =
      arrived > static_cast<int32_t>(kCountSize) ? static_cast<uint32_t>(arrived) - kCountSize : 0;
  const uint32_t count = wire::ByteReader(s.rt_buf).U32();
  s.rt_start = s.rt_cursor = kCountSize;
  s.rt_len = static_cast<int32_t>(std::min({count, kMaxEventBytes, held}));
  if (s.rt_len > 0) ++s.rt_seq;
  return 1;
}

// The next polled event: its code, and its payload copied out. 0 when the
// block is walked (only whole records are handed out).
int32_t NextRealtimeEvent(DeviceSession& s, int32_t* event_code, uint8_t* payload) {
  const size_t record = RecordSize(s);
  if (s.rt_len <= 0 || s.rt_start == 0 || s.rt_cursor == 0) return 0;
  const size_t end = std::min<size_t>(s.rt_start + static_cast<size_t>(s.rt_len), s.rt_buf.size());
  if (s.rt_cursor >= end || end - s.rt_cursor < record) return 0;

  wire::ByteReader r(std::span<const uint8_t>(s.rt_buf).subspan(s.rt_cursor, record));
  *event_code = r.U16();
  const auto body = r.View(record - kCodeSize);
  std::memcpy(payload, body.data(), body.size());
  s.rt_cursor += static_cast<uint32_t>(record);
  return 1;
}

}  // namespace
}  // namespace devapi

using devapi::DeviceSession;

extern "C" {

DEVAPI_API int32_t Q_RegEvent(DEVAPI_HANDLE handle, int32_t mask) {
  DeviceSession* s = devapi::BeginCall(handle);
  if (s == nullptr) return -1;
  return devapi::Guarded([&] { return devapi::RegisterEvents(*s, static_cast<uint32_t>(mask)); });
}

DEVAPI_API int32_t Q_ReadRTLog(DEVAPI_HANDLE handle) {
  DeviceSession* s = devapi::SessionFromHandle(handle);
  if (s == nullptr) return -1;
  // Older firmware keeps no real-time log; the cancel flag stays as it is.
  if (devapi::FirmwareBelow(*s, "Ver 6.01")) return -100;
  DEVWIRE_SetOperate(s->engine, 0);
  return devapi::Guarded([&] { return devapi::PollRealtimeLog(*s); });
}

DEVAPI_API int32_t Q_GetRTLog(DEVAPI_HANDLE handle, int32_t* event_code, uint8_t* payload) {
  DeviceSession* s = devapi::BeginCall(handle);
  if (s == nullptr) return -1;
  if (event_code == nullptr || payload == nullptr) return 4;
  return devapi::NextRealtimeEvent(*s, event_code, payload);
}

}  // extern "C"
