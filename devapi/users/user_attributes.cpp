// Per-user attributes kept by the terminal: group, time zones and the
// verification setting.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/time_zones.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetGroup = 21;
constexpr uint16_t kCmdSetGroup = 22;
constexpr uint16_t kCmdGetTimeZones = 23;
constexpr uint16_t kCmdSetTimeZones = 24;
constexpr uint16_t kCmdSetVerifyStyle = 79;
constexpr uint16_t kCmdGetVerifyStyle = 80;
constexpr size_t kTimeZoneReplySize = 100;
constexpr size_t kVerifyWriteSize = 24;
constexpr size_t kVerifyReplySize = 26;
// Bytes of the fixed fields each reply must hold; a shorter answer carries
// no value and the outputs are left as they are.
constexpr size_t kGroupReplyNeeds = 4;     // the u32 whose low byte is the group
constexpr size_t kTftZonesReplyNeeds = 8;  // four u16 words
constexpr size_t kZoneCountBytes = 4;      // i32 count, then a u32 per zone
constexpr size_t kVerifyReplyNeeds = 3;    // the style at offset 2
// Colour-screen time-zone word 0: 1 when the user has zones of its own.
constexpr uint32_t kOwnZonesMode = 1;

// A PIN to address, or the result the call gives without sending anything.
struct Addressed {
  uint32_t pin = 0;
  std::optional<int32_t> result;
};

// The ID text of a number, as colour-screen terminals know their users.
int32_t PinOfNumberText(DeviceSession& s, int64_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(number));
  return PinFromIdText(s, text);
}

// The user of the group and time-zone commands.
Addressed AttributeUser(DeviceSession& s, int32_t user) {
  if (s.is_tft != 0) {
    const int32_t pin = PinOfNumberText(s, user);
    if (pin < 0) return {0, 0};
    if (!IsValidPin(pin)) return {0, -2};
    return {static_cast<uint32_t>(pin), std::nullopt};
  }
  const int64_t pin = PinFromPin2(s, user);
  if (!IsValidPin(pin)) return {0, -2};  // never another user's 16 bits
  return {static_cast<uint32_t>(pin), std::nullopt};
}

// The user of the verification-setting commands.
Addressed VerifyUser(DeviceSession& s, int32_t pin, int32_t pin2) {
  int64_t target = pin;
  if (s.is_tft != 0) {
    target = PinOfNumberText(s, pin > 0 ? pin : pin2);
    if (target < 0) return {0, 0};
  } else if (pin == 0) {
    target = QueryPinByPin2(s, static_cast<uint32_t>(pin2));
    if (target <= 0) return {0, static_cast<int32_t>(target)};  // 0 not found, -2 no table
  }
  if (!IsValidPin(target)) return {0, -2};
  return {static_cast<uint32_t>(target), std::nullopt};
}

// The bytes a time-zone answer must hold: four words on colour-screen
// terminals; elsewhere the count and as many of the (at most three) zones
// as it announces.
size_t TimeZoneReplyNeeds(const DeviceSession& s, const devapi::Reply& reply) {
  if (s.is_tft != 0) return kTftZonesReplyNeeds;
  if (reply.length < kZoneCountBytes) return kZoneCountBytes;
  const int32_t count = wire::ByteReader(reply.bytes).I32();
  const uint32_t n = static_cast<uint32_t>(count < 0 ? ~count : count);
  return kZoneCountBytes + 4 * std::min<uint32_t>(n, 3);
}

std::vector<uint8_t> PinWord(uint32_t pin, size_t size) {
  std::vector<uint8_t> request(size, 0);
  wire::ByteWriter(request).U32(pin);
  return request;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetUserGroup(DEVAPI_HANDLE handle, int32_t user, int32_t* group) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::AttributeUser(*s, user);
    if (who.result) return *who.result;
    const auto reply = devapi::SendCommand(*s, users::kCmdGetGroup, users::PinWord(who.pin, 4), 4,
                                           s->cmd_timeout_ms);
    if (!reply.HasAtLeast(users::kGroupReplyNeeds)) return -2;
    users::PutInt(group, static_cast<int32_t>(reply.Word(0) & 0xFF));
    return 1;
  });
}

DEVAPI_API int32_t Q_SetUserGroup(DEVAPI_HANDLE handle, int32_t user, int32_t group) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::AttributeUser(*s, user);
    if (who.result) return *who.result;
    auto request = users::PinWord(who.pin, 5);
    request[4] = static_cast<uint8_t>(group);
    return devapi::SendCommand(*s, users::kCmdSetGroup, request, 8, s->cmd_timeout_ms).ok() ? 1
                                                                                            : -2;
  });
}

DEVAPI_API int32_t Q_GetUserTZs(DEVAPI_HANDLE handle, int32_t user, int32_t* time_zones,
                                int32_t* follows_group) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::AttributeUser(*s, user);
    if (who.result) return *who.result;
    const bool asked_group_first = time_zones != nullptr && time_zones[0] == -1;
    const auto reply = devapi::SendCommand(*s, users::kCmdGetTimeZones, users::PinWord(who.pin, 4),
                                           users::kTimeZoneReplySize, s->cmd_timeout_ms);
    if (!reply.ok()) return -2;
    const auto needed = users::TimeZoneReplyNeeds(*s, reply);
    if (!reply.HasAtLeast(needed)) return -2;
    std::array<int32_t, 4> zones{0, 0, 0, 0};
    if (time_zones != nullptr) std::copy(time_zones, time_zones + 4, zones.begin());
    wire::ByteReader r(reply.bytes);
    bool follows = false;
    if (s->is_tft != 0) {
      const uint16_t mode = r.U16();
      for (size_t i = 0; i < 3; ++i) zones[i] = r.U16();
      zones[3] = mode;
      follows = mode != users::kOwnZonesMode;
    } else {
      const int32_t count = r.I32();
      follows = count < 0;
      const uint32_t n = static_cast<uint32_t>(follows ? ~count : count);
      for (size_t i = 0; i < 3; ++i) zones[i] = 0;
      for (size_t i = 0; i < 3 && i < n; ++i) {
        zones[i] = static_cast<int32_t>(r.U32());
      }
    }
    if (asked_group_first && follows) {
      zones[2] = zones[0];
      zones[0] = -1;
    }
    if (time_zones != nullptr) std::copy(zones.begin(), zones.end(), time_zones);
    users::PutInt(follows_group, follows ? 1 : 0);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetUserTZs(DEVAPI_HANDLE handle, int32_t user, const int32_t* time_zones) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::AttributeUser(*s, user);
    if (who.result) return *who.result;
    std::vector<uint8_t> request = users::PinWord(who.pin, time_zones != nullptr ? 20 : 4);
    if (time_zones != nullptr) {
      wire::ByteWriter w(request);
      w.U32(who.pin);
      const int32_t mode = s->is_tft != 0
                               ? time_zones[3]
                               : users::LeadingZoneCount(std::span<const int32_t>(time_zones, 3));
      w.I32(mode);
      for (size_t i = 0; i < 3; ++i) w.I32(time_zones[i]);
    }
    return devapi::SendCommand(*s, users::kCmdSetTimeZones, request, 0, s->cmd_timeout_ms).ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_SetUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                   int32_t verify_style) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::VerifyUser(*s, pin, pin2);
    if (who.result) return *who.result;
    std::vector<uint8_t> request(users::kVerifyWriteSize, 0);
    wire::ByteWriter w(request);
    w.U16(static_cast<uint16_t>(who.pin));
    w.U8(static_cast<uint8_t>(verify_style));
    return devapi::SendCommand(*s, users::kCmdSetVerifyStyle, request, users::kVerifyWriteSize,
                               s->cmd_timeout_ms)
                   .ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_GetUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                   int32_t* verify_style) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::VerifyUser(*s, pin, pin2);
    if (who.result) return *who.result;
    std::array<uint8_t, 2> request{};
    wire::ByteWriter(request).U16(static_cast<uint16_t>(who.pin));
    const auto reply = devapi::SendCommand(*s, users::kCmdGetVerifyStyle, request,
                                           users::kVerifyReplySize, s->cmd_timeout_ms);
    if (!reply.HasAtLeast(users::kVerifyReplyNeeds)) return -2;
    users::PutInt(verify_style, reply.bytes[2]);
    return 1;
  });
}

}  // extern "C"
