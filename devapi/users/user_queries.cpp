// Lookups of single users in the cache: by PIN, PIN2, card or ID text.
#include <span>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_outputs.h"
#include "users/user_records.h"

using devapi::DeviceSession;

extern "C" {

DEVAPI_API int32_t Q_QueryUserInfo(DEVAPI_HANDLE handle, int32_t pin, char* name,
                                   int32_t* privilege, int32_t* enabled, char* password,
                                   uint8_t* card, int32_t* pin2, int32_t* group,
                                   int32_t* time_zones) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (users::EnsureUserCache(*s) != 1) return -2;
    const auto found =
        pin != 0 ? users::FindUserByPin(*s, static_cast<uint32_t>(pin))
                 : users::FindUserByPin2(*s, static_cast<uint32_t>(pin2 != nullptr ? *pin2 : 0));
    if (!found) return 0;
    users::FillNarrowOut(
        *s, users::RecordAt(*s, *found),
        {nullptr, name, privilege, enabled, password, card, pin2, group, time_zones});
    return 1;
  });
}

DEVAPI_API int32_t SSR_Q_QueryUserInfo(DEVAPI_HANDLE handle, const char* id_text, char* name,
                                       int32_t* privilege, int32_t* enabled, char* password,
                                       int32_t* card, int32_t* group, int32_t* tz_words,
                                       int32_t* pin) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text) return 4;
    if (users::EnsureUserCache(*s) != 1) return -2;
    const auto found = users::FindUserByIdText(*s, *text);
    if (!found) return 0;
    users::FillWideOut(*s, users::RecordAt(*s, *found),
                       {pin, nullptr, name, privilege, enabled, password, card, group, tz_words});
    return 1;
  });
}

DEVAPI_API int32_t Q_GetUserPIN2(DEVAPI_HANDLE handle, int32_t pin) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (users::IsOldFirmware(*s)) return -2;
    if (!users::CacheAllocated(*s)) users::LoadUserCache(*s);
    const auto found = users::FindUserByPin(*s, static_cast<uint32_t>(pin));
    if (!found) return -1;
    return static_cast<int32_t>(
        users::CachedPin2(users::CacheLayout(*s), users::RecordAt(*s, *found)));
  });
}

DEVAPI_API int32_t Q_GetUserID(DEVAPI_HANDLE handle, int32_t pin2) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (users::IsOldFirmware(*s)) return -2;
    if (!users::CacheAllocated(*s)) users::LoadUserCache(*s);
    const auto found = users::FindUserByPin2(*s, static_cast<uint32_t>(pin2));
    if (!found) return -1;
    return users::RecordPin(users::RecordAt(*s, *found));
  });
}

DEVAPI_API int32_t Q_QueryUserByPIN2(DEVAPI_HANDLE handle, int32_t pin2) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::QueryPinByPin2(*s, static_cast<uint32_t>(pin2));
  });
}

DEVAPI_API int32_t Q_QueryUserByCard(DEVAPI_HANDLE handle, const uint8_t* card) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (card == nullptr) return 4;
    if (users::EnsureUserCache(*s) != 1) return -2;
    const auto found = users::FindUserByCard(*s, std::span<const uint8_t, 5>(card, 5));
    return found ? users::RecordPin(users::RecordAt(*s, *found)) : 0;
  });
}

}  // extern "C"
