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
#include "users/verify_style.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetGroup = 21;
constexpr uint16_t kCmdSetGroup = 22;
constexpr uint16_t kCmdGetTimeZones = 23;
constexpr uint16_t kCmdSetTimeZones = 24;
constexpr size_t kTimeZoneReplySize = 100;
// Bytes of the fixed fields each reply must hold; a shorter answer carries
// no value and the outputs are left as they are.
constexpr size_t kGroupReplyNeeds = 4;     // the u32 whose low byte is the group

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
    const bool tft = s->is_tft != 0;
    const auto sent = std::span<const uint8_t>(reply.bytes).first(reply.length);
    if (!reply.HasAtLeast(users::ZoneListReplyNeeds(tft, sent))) return -2;
    std::array<int32_t, 4> zones{0, 0, 0, 0};
    if (time_zones != nullptr) std::copy(time_zones, time_zones + 4, zones.begin());
    const users::ZoneList list = users::DecodeZoneList(tft, sent);
    std::copy(list.zones.begin(), list.zones.end(), zones.begin());
    if (tft) zones[3] = list.mode;
    const bool follows = list.follows_group;
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
    const auto request = users::ZoneListRequest(who.pin, time_zones, s->is_tft != 0);
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
    return users::WriteVerifyStyle(*s, who.pin, verify_style);
  });
}

DEVAPI_API int32_t Q_GetUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                   int32_t* verify_style) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto who = users::VerifyUser(*s, pin, pin2);
    if (who.result) return *who.result;
    return users::ReadVerifyStyle(*s, who.pin, verify_style);
  });
}

}  // extern "C"
