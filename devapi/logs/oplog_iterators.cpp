// Walking the downloaded operation-log views record by record.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "devapi.h"
#include "logs/caller_text.h"
#include "logs/oplog_download.h"
#include "logs/oplog_records.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/user_numbers.h"

namespace devapi {

namespace {

// ID texts and the time-range text go to 24-byte caller buffers.
constexpr size_t kTextBufferSize = 24;

bool KeepsOpLog(const DeviceSession& s) { return !FirmwareBelow(s, "Ver 5.04"); }

// The next record of the operation-log view: 1, 0 at the end, -2 when the
// implicit download failed (or the firmware keeps no operation log).
int32_t NextOpRecord(DeviceSession& s, OpLayout layout, OpRecord* out) {
  if (s.oplog_len == 0 || s.read_buf.empty()) {
    if (const int32_t start = WalkStart(ReadOpLog(s, 1)); start != 1) return start;
  }
  const auto rest = ViewRest(s, s.oplog_start, s.oplog_len, s.oplog_cursor);
  if (rest.empty()) return 0;
  const OpDecoded d = DecodeOpRecord(layout, rest);
  if (d.step != OpStep::kRecord) {
    s.oplog_cursor = s.oplog_start + s.oplog_len;
    return 0;
  }
  s.oplog_cursor += static_cast<uint32_t>(d.size);
  *out = d.record;
  return 1;
}

// Operations whose first parameter names a user.
bool FirstParameterIsUser(uint8_t operation) {
  return (operation >= 6 && operation <= 12) || operation == 30;
}

void PutParams(const OpRecord& rec, int32_t* params, size_t count) {
  if (params == nullptr) return;
  for (size_t i = 0; i < count; ++i) params[i] = static_cast<int32_t>(rec.params[i]);
}

void PutTime(uint32_t packed, int32_t* year, int32_t* month, int32_t* day, int32_t* hour,
             int32_t* minute, int32_t* second) {
  const UnpackedTime t = UnpackTime(packed);
  Put(year, t.year);
  Put(month, t.month);
  Put(day, t.day);
  Put(hour, t.hour);
  Put(minute, t.minute);
  Put(second, t.second);
}

// "12-31-2030 23:59": the time without seconds, 16 characters.
void PutTimeText(uint32_t packed, char* out) {
  if (out == nullptr) return;
  const UnpackedTime t = UnpackTime(packed);
  char text[32];
  const int n = std::snprintf(text, sizeof text, "%02d-%02d-%d %02d:%02d", t.month, t.day, t.year,
                              t.hour, t.minute);
  std::memcpy(out, text, static_cast<size_t>(n) + 1);
}

}  // namespace

}  // namespace devapi

using devapi::DeviceSession;
using devapi::OpLayout;
using devapi::OpRecord;

DEVAPI_API int32_t Q_GetOpLog(DEVAPI_HANDLE handle, int32_t* admin, int32_t* operation,
                              int32_t* params, int32_t* year, int32_t* month, int32_t* day,
                              int32_t* hour, int32_t* minute, int32_t* second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!devapi::KeepsOpLog(*s)) return 0;
    const bool extended = s->extend_oplog != 0;
    OpRecord rec;
    const int32_t r =
        devapi::NextOpRecord(*s, extended ? OpLayout::kExtended : OpLayout::kCompact, &rec);
    if (r != 1) return r;
    if (!extended && s->pin_width > 5) {
      // Compact records carry internal numbers: report the ones people see.
      rec.admin = users::Pin2FromPin(*s, rec.admin);
      if (rec.params[0] != 0 && devapi::FirstParameterIsUser(rec.operation)) {
        rec.params[0] = users::Pin2FromPin(*s, rec.params[0]);
      }
    }
    devapi::Put(admin, static_cast<int32_t>(rec.admin));
    devapi::Put(operation, static_cast<int32_t>(rec.operation));
    devapi::PutParams(rec, params, 4);
    devapi::PutTime(rec.time, year, month, day, hour, minute, second);
    return 1;
  });
}

DEVAPI_API int32_t Q_SSR_GetOpLog(DEVAPI_HANDLE handle, char* admin_id, char* second_id,
                                  int32_t* operation, char* time_text, int32_t* params) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    OpRecord rec;
    const int32_t r = devapi::NextOpRecord(*s, OpLayout::kTextId, &rec);
    if (r != 1) return r;
    if (admin_id != nullptr) {
      devapi::CopyTerminatedText(rec.admin_id, devapi::kTextBufferSize, admin_id);
    }
    if (second_id != nullptr) {
      devapi::CopyTerminatedText(rec.second_id, devapi::kTextBufferSize, second_id);
    }
    devapi::Put(operation, static_cast<int32_t>(rec.operation));
    devapi::PutTimeText(rec.time, time_text);
    devapi::PutParams(rec, params, 3);
    return 1;
  });
}

DEVAPI_API int32_t Q_GetOpLogEx(DEVAPI_HANDLE handle, int32_t* admin, int32_t* operation,
                                int32_t* params, int32_t* year, int32_t* month, int32_t* day,
                                int32_t* hour, int32_t* minute, int32_t* second, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!devapi::KeepsOpLog(*s)) return 0;
    // This view is filled only by Q_ReadOpLogEx, never by itself.
    if (s->oplogex_len == 0 || s->read_buf.empty()) return -2;
    const auto rest = devapi::ViewRest(*s, s->oplogex_start, s->oplogex_len, s->oplogex_cursor);
    if (rest.empty()) return 0;
    const devapi::OpDecoded d = devapi::DecodeOpRecord(OpLayout::kTimeRange, rest);
    if (d.step != devapi::OpStep::kRecord) {
      s->oplogex_cursor = s->oplogex_start + s->oplogex_len;
      return 0;
    }
    s->oplogex_cursor += static_cast<uint32_t>(d.size);
    const OpRecord& rec = d.record;
    devapi::Put(admin, static_cast<int32_t>(rec.admin));
    devapi::Put(operation, static_cast<int32_t>(rec.operation));
    devapi::PutParams(rec, params, 4);
    devapi::PutTime(rec.time, year, month, day, hour, minute, second);
    if (text != nullptr) devapi::CopyTerminatedText(rec.text, devapi::kTextBufferSize, text);
    return 1;
  });
}
