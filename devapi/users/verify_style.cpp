#include "users/verify_style.h"

#include <array>
#include <vector>

#include "session/session_io.h"
#include "devapi.h"
#include "users/caller_fields.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

namespace users {
namespace {

constexpr uint16_t kCmdSetVerifyStyle = 79;
constexpr uint16_t kCmdGetVerifyStyle = 80;
constexpr size_t kWriteSize = 24;
constexpr size_t kReplySize = 26;
constexpr size_t kReplyNeeds = 3;  // the style at offset 2

}  // namespace

int32_t WriteVerifyStyle(devapi::DeviceSession& s, uint32_t pin, int32_t style) {
  std::vector<uint8_t> request(kWriteSize, 0);
  wire::ByteWriter w(request);
  w.U16(static_cast<uint16_t>(pin));
  w.U8(static_cast<uint8_t>(style));
  return devapi::SendCommand(s, kCmdSetVerifyStyle, request, kWriteSize, s.cmd_timeout_ms).ok()
             ? 1
             : -2;
}

int32_t ReadVerifyStyle(devapi::DeviceSession& s, uint32_t pin, int32_t* style) {
  std::array<uint8_t, 2> request{};
  wire::ByteWriter(request).U16(static_cast<uint16_t>(pin));
  const auto reply =
      devapi::SendCommand(s, kCmdGetVerifyStyle, request, kReplySize, s.cmd_timeout_ms);
  if (!reply.HasAtLeast(kReplyNeeds)) return -2;
  PutInt(style, reply.bytes[2]);
  return 1;
}

}  // namespace users

namespace {

// The PIN of a caller's ID text: 4 for a bad text, 0 for one the user cache
// does not know, else the style call's result.
template <typename F>
int32_t ByIdText(devapi::DeviceSession& s, const char* id_text, F&& call) {
  const auto text = users::CallerIdText(id_text);
  if (!text) return 4;
  const int32_t pin = users::PinFromIdText(s, *text);
  if (pin < 0) return 0;
  if (!users::IsValidPin(pin)) return -2;
  return call(static_cast<uint32_t>(pin));
}

}  // namespace

extern "C" {

// The fourth argument of both calls is not used.
DEVAPI_API int32_t Q_GetUserVerifyStyle(DEVAPI_HANDLE handle, const char* id_text,
                                        int32_t* style, int32_t /*unused*/) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return ByIdText(*s, id_text,
                    [&](uint32_t pin) { return users::ReadVerifyStyle(*s, pin, style); });
  });
}

DEVAPI_API int32_t Q_SetUserVerifyStyle(DEVAPI_HANDLE handle, const char* id_text, int32_t style,
                                        int32_t /*unused*/) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return ByIdText(*s, id_text,
                    [&](uint32_t pin) { return users::WriteVerifyStyle(*s, pin, style); });
  });
}

}  // extern "C"
