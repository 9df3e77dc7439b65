// Q_GetUserInfo and SSR_Q_GetUserInfo: the cached users one by one.
#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/user_cache.h"
#include "users/user_outputs.h"
#include "users/user_records.h"

namespace users {
namespace {

// The next whole record at the cursor, advancing it; empty at the end.
std::span<const uint8_t> NextRecord(devapi::DeviceSession& s) {
  const size_t stride = CacheStride(s);
  const size_t end = kFirstRecord + CachedRecords(s).size();
  if (s.user_cursor < kFirstRecord || s.user_cursor + stride > end) return {};
  const auto record = std::span<const uint8_t>(s.user_buf).subspan(s.user_cursor, stride);
  s.user_cursor += static_cast<uint32_t>(stride);
  return record;
}

// Loads the table when the cache holds none: 1 ready, 0 no users, -2.
int32_t Ready(devapi::DeviceSession& s) {
  if (EnsureUserCache(s) != 1) return -2;
  return s.user_len == 0 ? 0 : 1;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetUserInfo(DEVAPI_HANDLE handle, int32_t* pin, char* name, int32_t* privilege,
                                 int32_t* enabled, char* password, uint8_t* card, int32_t* pin2,
                                 int32_t* group, int32_t* time_zones) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (const int32_t ready = users::Ready(*s); ready != 1) return ready;
    const auto record = users::NextRecord(*s);
    if (record.empty()) return 0;
    users::FillNarrowOut(*s, record,
                         {pin, name, privilege, enabled, password, card, pin2, group, time_zones});
    return 1;
  });
}

DEVAPI_API int32_t SSR_Q_GetUserInfo(DEVAPI_HANDLE handle, int32_t* pin, char* id_text, char* name,
                                     int32_t* privilege, int32_t* enabled, char* password,
                                     int32_t* card, int32_t* group, int32_t* tz_words) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (const int32_t ready = users::Ready(*s); ready != 1) return ready;
    // Records with PIN 0 are empty slots of the terminal's table.
    for (auto record = users::NextRecord(*s); !record.empty(); record = users::NextRecord(*s)) {
      const uint16_t record_pin = users::RecordPin(record);
      s->user_cache.last_user_no = record_pin;
      if (record_pin == 0) continue;
      users::FillWideOut(*s, record,
                         {pin, id_text, name, privilege, enabled, password, card, group, tz_words});
      return 1;
    }
    return 0;
  });
}

}  // extern "C"
