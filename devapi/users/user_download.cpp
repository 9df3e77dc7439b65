// Q_ReadUserInfo: downloads the user table into the session's cache.
#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/user_cache.h"

extern "C" {

DEVAPI_API int32_t Q_ReadUserInfo(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::LoadUserCache(*s);
  });
}

}  // extern "C"
