// Weekly time zones (commands 27 and 28): seven weekdays of start and end
// times, as text for the host.
#include <array>
#include <span>

#include "devapi.h"
#include "session/session_io.h"
#include "users/access_texts.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetZone = 27;
constexpr uint16_t kCmdSetZone = 28;
constexpr size_t kReplySize = 100;
// Colour-screen terminals lead their answer with two bytes.
constexpr size_t kTftLead = 2;

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetTZInfo(DEVAPI_HANDLE handle, int32_t zone, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (text == nullptr) return 4;
    std::array<uint8_t, 4> request{};
    wire::ByteWriter(request).I32(zone);
    const auto reply =
        devapi::SendCommand(*s, users::kCmdGetZone, request, users::kReplySize, s->cmd_timeout_ms);
    const size_t lead = s->is_tft != 0 ? users::kTftLead : 0;
    if (!reply.HasAtLeast(lead + users::kZoneBytes)) return -2;
    const auto days = std::span<const uint8_t>(reply.bytes).subspan(lead, users::kZoneBytes);
    return users::FormatDigitPairs(days, std::span<char>(text, users::kZoneTextSize)) ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_SetTZInfo(DEVAPI_HANDLE handle, int32_t zone, const char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto days = users::ParseZoneText(text);
    if (!days) return 4;
    std::array<uint8_t, 4 + users::kZoneBytes> request{};
    wire::ByteWriter w(request);
    w.I32(zone);
    w.Bytes(*days);
    return devapi::SendCommand(*s, users::kCmdSetZone, request, 0, s->cmd_timeout_ms).ok() ? 1
                                                                                           : -2;
  });
}

}  // extern "C"
