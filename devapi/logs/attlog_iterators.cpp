// Walking the downloaded attendance view record by record.
#include <cstdint>

#include "devapi.h"
#include "logs/attlog_download.h"
#include "logs/attlog_records.h"
#include "logs/caller_text.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/user_numbers.h"

namespace devapi {

namespace {

constexpr size_t kShortIdTextWidth = 10;
constexpr size_t kWorkCodeTextSize = 25;  // 24 characters and a terminator

// The next record of the attendance view in `layout`: 1 with `out` filled,
// 0 at the end, -2 when the implicit download failed. An empty view is
// downloaded first (new records on firmware that knows them).
int32_t NextAttRecord(DeviceSession& s, AttLayout layout, AttRecord* out) {
  if (s.attlog_len == 0 || s.read_buf.empty()) {
    if (const int32_t start = WalkStart(ReadAttLog(s, 1)); start != 1) return start;
  }
  const auto rest = ViewRest(s, s.attlog_start, s.attlog_len, s.attlog_cursor);
  if (rest.empty()) return 0;
  const AttDecoded d = layout == AttLayout::kCompressed ? DecodeCompressed(rest, s.attlog_base_time)
                                                        : DecodeFixed(layout, rest);
  if (d.step != AttStep::kRecord) {
    // The end mark, or a record cut short: nothing after it is a record.
    s.attlog_cursor = s.attlog_start + s.attlog_len;
    return 0;
  }
  s.attlog_cursor += static_cast<uint32_t>(d.size);
  *out = d.record;
  return 1;
}

AttLayout NumericLayout(const DeviceSession& s) {
  return s.extend_fmt != 0 ? AttLayout::kExtended : AttLayout::kCompressed;
}

// The user number to report: compressed records carry the terminal's
// internal number, which wide user numbers map to the number people see.
uint32_t ReportedUser(DeviceSession& s, AttLayout layout, uint32_t user) {
  if (layout == AttLayout::kCompressed && s.pin_width > 5) return users::Pin2FromPin(s, user);
  return user;
}

struct TimeOutputs {
  int32_t *year, *month, *day, *hour, *minute, *second;
};

void PutTime(uint32_t packed, const TimeOutputs& o) {
  const UnpackedTime t = UnpackTime(packed);
  Put(o.year, t.year);
  Put(o.month, t.month);
  Put(o.day, t.day);
  Put(o.hour, t.hour);
  Put(o.minute, t.minute);
  Put(o.second, t.second);
}

// Q_GetLog and Q_GetExtLog share everything but the last two outputs.
int32_t GetNumericLog(void* handle, int32_t* user, uint8_t* verify_mode, uint8_t* att_state,
                      const TimeOutputs& time, int32_t* work_code, int32_t* reserved) {
  DeviceSession* s = BeginCall(handle);
  if (s == nullptr) return -1;
  const AttLayout layout = NumericLayout(*s);
  AttRecord rec;
  const int32_t r = NextAttRecord(*s, layout, &rec);
  if (r != 1) return r;
  Put(user, static_cast<int32_t>(ReportedUser(*s, layout, rec.user)));
  Put(verify_mode, rec.verify_mode);
  Put(att_state, rec.att_state);
  PutTime(rec.time, time);
  Put(work_code, static_cast<int32_t>(rec.work_code));
  Put(reserved, static_cast<int32_t>(rec.reserved));
  return 1;
}

}  // namespace

}  // namespace devapi

using devapi::AttLayout;
using devapi::AttRecord;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_GetLog(DEVAPI_HANDLE handle, int32_t* user, uint8_t* verify_mode,
                            uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                            int32_t* hour, int32_t* minute, int32_t* second) {
  return devapi::Guarded([&]() -> int32_t {
    return devapi::GetNumericLog(handle, user, verify_mode, att_state,
                                 {year, month, day, hour, minute, second}, nullptr, nullptr);
  });
}

DEVAPI_API int32_t Q_GetExtLog(DEVAPI_HANDLE handle, int32_t* user, uint8_t* verify_mode,
                               uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                               int32_t* hour, int32_t* minute, int32_t* second, int32_t* work_code,
                               int32_t* reserved) {
  return devapi::Guarded([&]() -> int32_t {
    return devapi::GetNumericLog(handle, user, verify_mode, att_state,
                                 {year, month, day, hour, minute, second}, work_code, reserved);
  });
}

DEVAPI_API int32_t Q_SSR_GetLog(DEVAPI_HANDLE handle, char* user_id, uint8_t* verify_mode,
                                uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                                int32_t* hour, int32_t* minute, int32_t* second,
                                int32_t* work_code) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const bool usb_like = s->usb_like_transport == 1;
    const AttLayout layout = usb_like ? AttLayout::kTextIdShort : AttLayout::kTextId;
    AttRecord rec;
    const int32_t r = devapi::NextAttRecord(*s, layout, &rec);
    if (r != 1) return r;
    if (user_id != nullptr) {
      devapi::CopyPaddedText(
          rec.id_text, usb_like ? devapi::kShortIdTextWidth : devapi::IdTextWidth(s->pin_width),
          user_id);
    }
    devapi::Put(verify_mode, rec.verify_mode);
    devapi::Put(att_state, rec.att_state);
    devapi::PutTime(rec.time, {year, month, day, hour, minute, second});
    devapi::Put(work_code, static_cast<int32_t>(rec.work_code));
    return 1;
  });
}

DEVAPI_API int32_t Q_SSR_GetLogEx(DEVAPI_HANDLE handle, char* user_id, int32_t* verify_mode,
                                  int32_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                                  int32_t* hour, int32_t* minute, int32_t* second,
                                  char* work_code_text) {
  return devapi::Guarded([&]() -> int32_t {
    // This one leaves the cancel flag as it is.
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    AttRecord rec;
    const int32_t r = devapi::NextAttRecord(*s, AttLayout::kTextIdWorkCode, &rec);
    if (r != 1) return r;
    if (user_id != nullptr) {
      devapi::CopyPaddedText(rec.id_text, devapi::IdTextWidth(s->pin_width), user_id);
    }
    devapi::Put(verify_mode, static_cast<int32_t>(rec.verify_mode));
    devapi::Put(att_state, static_cast<int32_t>(rec.att_state));
    devapi::PutTime(rec.time, {year, month, day, hour, minute, second});
    if (work_code_text != nullptr) {
      devapi::CopyTerminatedText(rec.work_code_text, devapi::kWorkCodeTextSize, work_code_text);
    }
    return 1;
  });
}
