// Bells: one setting at a time (10015, 10016), their count (10014) and
// highest number (10018), and the whole table (10017) downloaded into the
// shared buffer and walked record by record.
#include <algorithm>
#include <array>
#include <climits>

#include "devapi.h"
#include "extras/counted_table.h"
#include "extras/extras_io.h"
#include "logs/read_buffer.h"
#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdBellCount = 10014;
constexpr uint16_t kCmdGetBell = 10015;
constexpr uint16_t kCmdSetBell = 10016;
constexpr uint16_t kCmdReadAllBells = 10017;
constexpr uint16_t kCmdMaxBell = 10018;
constexpr size_t kBellRecord = 24;
constexpr uint32_t kBellBufferSize = 6u << 20;
constexpr int32_t kBellTimeoutFactor = 30;

struct Bell {
  int32_t number = 0;
  uint8_t first_byte = 0, second_byte = 0, third_byte = 0;
  int32_t first_value = 0;
  uint32_t time = 0;
  int32_t second_value = 0, third_value = 0;
};

std::array<uint8_t, kBellRecord> EncodeBell(const Bell& b) {
  std::array<uint8_t, kBellRecord> out{};
  wire::ByteWriter w(out);
  w.I32(b.number);
  w.U8(b.first_byte);
  w.U8(b.second_byte);
  w.U8(0);
  w.U8(b.third_byte);
  w.I32(b.first_value);
  w.U32(b.time);
  w.I32(b.second_value);
  w.I32(b.third_value);
  return out;
}

Bell DecodeBell(std::span<const uint8_t> record) {
  wire::ByteReader r(record);
  Bell b;
  b.number = r.I32();
  b.first_byte = r.U8();
  b.second_byte = r.U8();
  r.U8();
  b.third_byte = r.U8();
  b.first_value = r.I32();
  b.time = r.U32();
  b.second_value = r.I32();
  b.third_value = r.I32();
  return b;
}

struct BellOutputs {
  int32_t *second_byte, *number, *first_byte, *hour, *minute, *second_value, *third_byte,
      *first_value, *third_value;
  bool complete() const {
    return second_byte && number && first_byte && hour && minute && second_value && third_byte &&
           first_value && third_value;
  }
};

void Split(const Bell& b, const BellOutputs& out, bool with_keys) {
  if (with_keys) {
    *out.second_byte = b.second_byte;
    *out.number = b.number;
  }
  *out.first_byte = b.first_byte;
  *out.hour = static_cast<int32_t>(b.time / 100);
  *out.minute = static_cast<int32_t>(b.time % 100);
  *out.second_value = b.second_value;
  *out.third_byte = b.third_byte;
  *out.first_value = b.first_value;
  *out.third_value = b.third_value;
}

// A reply that is one 32-bit value: -1 unless the reply holds it.
int32_t ReadValue(DeviceSession& s, uint16_t command, int32_t* out) {
  if (out == nullptr) return 4;
  const Reply r = SendCommand(s, command, {}, 4, s.cmd_timeout_ms);
  if (!r.ok()) return -2;
  *out = r.length >= 4 ? static_cast<int32_t>(r.Word(0)) : -1;
  return 1;
}

// The whole bell table into read_buf: 1 loaded, 0 none, -2 failed.
int32_t ReadAllBells(DeviceSession& s) {
  EnsureReadBuffer(s, kBellBufferSize);
  uint16_t code = kCmdReadAllBells;
  const int32_t received = DEVWIRE_READDATA(
      s.engine, &code, s.read_buf.data(), static_cast<int32_t>(std::min<size_t>(s.read_buf.size(), INT32_MAX)), 0,
      s.block_size, ScaledTimeout(s.data_timeout_ms, kBellTimeoutFactor));
  if (code == kAckOk && received > 0) {
    const ViewRange view = CountedView(s, received);
    // The buffer now holds bells: every other view would walk them.
    ResetViewsExcept(s, BufferView::kBell);
    s.bell_start = s.bell_cursor = view.start;
    s.bell_len = view.len;
    return 1;
  }
  if (code == kAckError && received == 0) return 0;
  return -2;
}

}  // namespace

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_GetBellSetting(DEVAPI_HANDLE handle, int32_t second_byte, int32_t number,
                                    int32_t* first_byte, int32_t* hour, int32_t* minute,
                                    int32_t* second_value, int32_t* third_byte,
                                    int32_t* first_value, int32_t* third_value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    const x::BellOutputs out{&second_byte, &number,    first_byte,  hour,       minute,
                             second_value, third_byte, first_value, third_value};
    if (!out.complete()) return 4;
    x::Bell request;
    request.number = number;
    request.second_byte = static_cast<uint8_t>(second_byte);
    const devapi::Reply r = devapi::SendCommand(*s, x::kCmdGetBell, x::EncodeBell(request),
                                                x::kBellRecord, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kBellRecord)) return -2;
    x::Split(x::DecodeBell(r.bytes), out, false);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetBellSetting(DEVAPI_HANDLE handle, int32_t second_byte, int32_t number,
                                    int32_t first_byte, int32_t hour, int32_t minute,
                                    int32_t second_value, int32_t third_byte,
                                    int32_t first_value, int32_t third_value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    x::Bell b;
    b.number = number;
    b.first_byte = static_cast<uint8_t>(first_byte);
    b.second_byte = static_cast<uint8_t>(second_byte);
    b.third_byte = static_cast<uint8_t>(third_byte);
    b.first_value = first_value;
    // Hour and minute travel as bytes.
    b.time = static_cast<uint32_t>(static_cast<uint8_t>(hour)) * 100 + static_cast<uint8_t>(minute);
    b.second_value = second_value;
    b.third_value = third_value;
    return x::SendSimple(*s, x::kCmdSetBell, x::EncodeBell(b));
  });
}

DEVAPI_API int32_t Q_GetDayBellCnt(DEVAPI_HANDLE handle, int32_t* count) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    return x::ReadValue(*s, x::kCmdBellCount, count);
  });
}

DEVAPI_API int32_t Q_GetMaxBellID(DEVAPI_HANDLE handle, int32_t* number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    return x::ReadValue(*s, x::kCmdMaxBell, number);
  });
}

DEVAPI_API int32_t Q_ReadAllBell(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    return x::ReadAllBells(*s);
  });
}

DEVAPI_API int32_t Q_GetBellInfo(DEVAPI_HANDLE handle, int32_t* second_byte, int32_t* number,
                                 int32_t* first_byte, int32_t* hour, int32_t* minute,
                                 int32_t* second_value, int32_t* third_byte,
                                 int32_t* first_value, int32_t* third_value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    const x::BellOutputs out{second_byte,  number,     first_byte,  hour,       minute,
                             second_value, third_byte, first_value, third_value};
    if (!out.complete()) return 4;
    if (s->bell_len == 0) {
      const int32_t loaded = x::ReadAllBells(*s);
      if (loaded != 1) return loaded == 0 ? 0 : -2;
    }
    const auto rest = devapi::ViewRest(*s, s->bell_start, s->bell_len, s->bell_cursor);
    // A partial record at the end is no bell.
    if (rest.size() < x::kBellRecord) return 0;
    x::Split(x::DecodeBell(rest.first(x::kBellRecord)), out, true);
    s->bell_cursor += x::kBellRecord;
    return 1;
  });
}
