// Clearing data on the terminal: everything, one kind, or the
// administrators' rights; and the session's copies that go with it.
#include "devapi.h"
#include "logs/read_buffer.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/pin_allocation.h"
#include "users/user_cache.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdClearData = 14;
constexpr uint16_t kCmdClearAdministrators = 20;
constexpr int32_t kClearAllTimeoutMs = 600000000;
constexpr int32_t kKindUsers = 5;
constexpr int32_t kKindAll = 31;

bool KnownKind(int32_t kind) { return (kind >= 1 && kind <= kKindUsers) || kind == kKindAll; }

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_ClearData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!devapi::SendCommand(*s, users::kCmdClearData, {}, 0, users::kClearAllTimeoutMs).ok()) {
      return -2;
    }
    devapi::ReleaseReadBuffer(*s);
    users::FreeUserCache(*s);
    users::ResetPinAllocation(*s);
    return 1;
  });
}

DEVAPI_API int32_t Q_ClearDataEx(DEVAPI_HANDLE handle, int32_t kind) {
  return devapi::Guarded([&]() -> int32_t {
    if (!users::KnownKind(kind)) return 4;  // even before the handle
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const uint8_t request[1] = {static_cast<uint8_t>(kind)};
    if (!devapi::SendCommand(*s, users::kCmdClearData, request, 0,
                             devapi::AddTimeout(s->cmd_timeout_ms, 3000))
             .ok()) {
      return -2;
    }
    devapi::ReleaseReadBuffer(*s);
    if (kind == users::kKindUsers) {
      users::FreeUserCache(*s);
      users::ResetPinAllocation(*s);
    }
    return 1;
  });
}

DEVAPI_API int32_t Q_ClearAdministrators(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!devapi::SendCommand(*s, users::kCmdClearAdministrators, {}, 0,
                             devapi::AddTimeout(s->cmd_timeout_ms, 2000))
             .ok()) {
      return -2;
    }
    users::FreeUserCache(*s);
    return 1;
  });
}

}  // extern "C"
