// Deleting fingerprint templates on the terminal.
#include <algorithm>
#include <array>
#include <cstring>

#include "devapi.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/fingerprint_batch_seam.h"
#include "users/user_numbers.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdDeleteTemplate = 19;
constexpr uint16_t kCmdDeleteTemplateById = 134;
constexpr uint16_t kAckNoSuchData = 4989;
constexpr uint16_t kAckNoSuchRecord = 4991;
constexpr int32_t kReasonNotFound = 2;
constexpr uint16_t kUnknownPin = 65535;  // sent for an ID text nobody has

int32_t DeleteResult(const devapi::Reply& r) {
  if (r.ok()) return 1;
  if (r.code == devapi::kAckError && r.result == kReasonNotFound) return 0;
  if (r.code == kAckNoSuchData || r.code == kAckNoSuchRecord) return 0;
  return -2;
}

// A PIN that names nobody is sent as 65535, which the terminal refuses.
int32_t DeleteByPin(DeviceSession& s, int64_t mapped, uint8_t finger) {
  if (const auto taken = BatchTakesTemplateOperation(s, TemplateBatchOperation::Erase(mapped, finger))) {
    return *taken;
  }
  const uint16_t pin =
      mapped == -1 ? kUnknownPin : static_cast<uint16_t>(std::clamp<int64_t>(mapped, 0, 65535));
  std::array<uint8_t, 3> request{};
  wire::ByteWriter w(request);
  w.U16(pin);
  w.U8(finger);
  return DeleteResult(devapi::SendCommand(s, kCmdDeleteTemplate, request, 0,
                                          devapi::AddTimeout(s.cmd_timeout_ms, 4000)));
}

bool FingerByte(int32_t finger) { return finger >= 0 && finger <= 255; }

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_DelUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::FingerByte(finger)) return 4;
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!users::IsValidPin(pin)) return 0;  // never another user's 16 bits
    return users::DeleteByPin(*s, pin, static_cast<uint8_t>(finger));
  });
}

DEVAPI_API int32_t SSR_Q_DelUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || !users::FingerByte(finger)) return 4;
    return users::DeleteByPin(*s, users::PinFromIdText(*s, *text), static_cast<uint8_t>(finger));
  });
}

DEVAPI_API int32_t SSR_Q_DelUserTmpExt(DEVAPI_HANDLE handle, const char* id_text, int32_t finger) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::CallerIdText(id_text) || !users::FingerByte(finger)) return 4;
    std::array<uint8_t, users::kIdTextMax + 1> request{};
    users::TakeCallerText(id_text, std::span(request).first(users::kIdTextMax));
    request[users::kIdTextMax] = static_cast<uint8_t>(finger);
    const std::string_view id(
        reinterpret_cast<const char*>(request.data()),
        strnlen(reinterpret_cast<const char*>(request.data()), users::kIdTextMax));
    if (const auto taken = users::BatchTakesTemplateOperation(
            *s, users::TemplateBatchOperation::EraseById(id, static_cast<uint8_t>(finger)))) {
      return *taken;
    }
    return users::DeleteResult(devapi::SendCommand(*s, users::kCmdDeleteTemplateById, request, 0,
                                                   devapi::AddTimeout(s->cmd_timeout_ms, 4000)));
  });
}

}  // extern "C"
