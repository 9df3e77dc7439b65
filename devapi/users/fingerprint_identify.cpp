// Asking the terminal whose stored template matches a given one.
#include <vector>

#include "devapi.h"
#include "session/session_io.h"
#include "templates/template_codec.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdIdentify = 1011;
constexpr size_t kIdentifyReplySize = 1024;
constexpr int32_t kIdentifyTimeoutMs = 5000;  // fixed, not added to cmd_timeout_ms
constexpr int32_t kNarrowWidth = 5;
constexpr size_t kIdentifyReplyNeeds = 2;  // the matched PIN, u16

int32_t Identify(DeviceSession& s, const uint8_t* tmpl, int32_t* pin_out) {
  // The template travels compact; one the codec cannot read is not sent.
  const auto format = templates::FormatOf(std::span<const uint8_t>(tmpl, 2));
  std::vector<uint8_t> compact(templates::kCompactMaxBytes, 0);
  const size_t n = templates::ReEncodeTemplate(
      std::span<const uint8_t>(tmpl, templates::FormatMaxLength(format)), compact);
  if (n == 0) return 4;
  compact.resize(n);
  const auto reply =
      devapi::SendCommand(s, kCmdIdentify, compact, kIdentifyReplySize, kIdentifyTimeoutMs);
  // An answer without the matched PIN tells nothing, not "no match".
  if (!reply.HasAtLeast(kIdentifyReplyNeeds)) return -2;
  const uint16_t pin = wire::ByteReader(reply.bytes).U16();
  if (pin == 0) return 0;
  *pin_out = static_cast<int32_t>(s.pin_width > kNarrowWidth ? Pin2FromPin(s, pin) : pin);
  return 1;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_TestUserTmp(DEVAPI_HANDLE handle, int32_t* pin, const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (pin == nullptr || tmpl == nullptr) return 4;
    return users::Identify(*s, tmpl, pin);
  });
}

}  // extern "C"
