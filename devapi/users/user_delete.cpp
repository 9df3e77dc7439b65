// Deleting users on the terminal. Deleting never changes the user cache.
#include <array>
#include <span>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/refusal_results.h"
#include "users/user_batch_seam.h"
#include "users/user_numbers.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdDeleteUserInfoEx = 81;
constexpr uint16_t kCmdDeleteUserById = 133;

std::array<uint8_t, 2> PinRequest(int64_t pin) {
  std::array<uint8_t, 2> request{};
  wire::ByteWriter(request).U16(static_cast<uint16_t>(pin));
  return request;
}

// Q_DelUser's answer: every refusal means there was nothing to delete.
int32_t PlainDeleteResult(const devapi::Reply& r) {
  if (r.ok()) return 1;
  return (r.code == wire::CMD_ACK_ERROR || IsNoSuchData(r.code)) ? 0 : -2;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_DelUser(DEVAPI_HANDLE handle, int32_t user) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!users::IsValidPin(pin)) return 0;  // never another user's 16 bits
    using Kind = users::UserBatchEntry::Kind;
    if (const auto taken =
            users::BatchTakesUserEntry(*s, users::UserBatchEntry::Delete(Kind::kDeleteByPin, pin))) {
      return *taken;
    }
    const auto reply = devapi::SendCommand(*s, wire::CMD_DELETE_USER, users::PinRequest(pin), 0,
                                           devapi::AddTimeout(s->cmd_timeout_ms, 16000));
    return users::PlainDeleteResult(reply);
  });
}

DEVAPI_API int32_t SSR_Q_DelUser(DEVAPI_HANDLE handle, const char* id_text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text) return 4;
    const int32_t pin = users::PinFromIdText(*s, *text);
    if (!users::IsValidPin(pin)) return 0;
    using Kind = users::UserBatchEntry::Kind;
    if (const auto taken = users::BatchTakesUserEntry(
            *s, users::UserBatchEntry::Delete(Kind::kDeleteByNumber, pin))) {
      return *taken;
    }
    const auto reply = devapi::SendCommand(*s, wire::CMD_DELETE_USER, users::PinRequest(pin), 0,
                                           devapi::AddTimeout(s->cmd_timeout_ms, 2000));
    if (reply.ok()) return 1;
    return reply.code == wire::CMD_ACK_ERROR ? 0 : -2;
  });
}

DEVAPI_API int32_t SSR_Q_DelUserExt(DEVAPI_HANDLE handle, const char* id_text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text) return 4;
    if (users::BatchActive(*s)) {
      // The terminal's deletion entry carries the PIN: an unknown text has none.
      using Kind = users::UserBatchEntry::Kind;
      return *users::BatchTakesUserEntry(
          *s, users::UserBatchEntry::Delete(Kind::kDeleteByIdText,
                                            users::PinFromIdText(*s, *text), *text));
    }
    std::array<uint8_t, users::kIdTextMax> request{};
    users::TakeCallerText(id_text, request);
    const auto reply = devapi::SendCommand(*s, users::kCmdDeleteUserById, request, 0,
                                           devapi::AddTimeout(s->cmd_timeout_ms, 2000));
    return users::ReasonedDeleteResult(reply);
  });
}

DEVAPI_API int32_t Q_DeleteUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    int64_t target = pin;
    if (pin == 0) {
      target = users::QueryPinByPin2(*s, static_cast<uint32_t>(pin2));
      if (target <= 0) return static_cast<int32_t>(target);  // 0 not found, -2 no table
    }
    if (!users::IsValidPin(target)) return 0;
    const auto reply =
        devapi::SendCommand(*s, users::kCmdDeleteUserInfoEx, users::PinRequest(target), 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, 4000));
    return users::ReasonedDeleteResult(reply);
  });
}

}  // extern "C"
