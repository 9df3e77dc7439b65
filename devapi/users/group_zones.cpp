// The time zones of a group (commands 25 and 26), in the list form that the
// user's time zones share and in the fixed 8-byte form.
#include <array>
#include <span>

#include "devapi.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/time_zones.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetGroupZones = 25;
constexpr uint16_t kCmdSetGroupZones = 26;
constexpr size_t kListReplySize = 100;
constexpr size_t kFixedRecord = 8;  // u8 group, u16 zones 1-3, u8 flag and number
constexpr uint32_t kMaxGroup = 99;
constexpr uint32_t kMaxZone = 50;
constexpr uint32_t kMaxNumber = 0x7F;
constexpr uint8_t kFlagBit = 0x80;

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetGroupTZs(DEVAPI_HANDLE handle, int32_t group, int32_t* zones) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (zones == nullptr) return 4;
    const bool tft = s->is_tft != 0;
    for (size_t i = 0; i < 3; ++i) zones[i] = 0;
    std::array<uint8_t, 4> request{};
    wire::ByteWriter(request).I32(group);
    const auto reply = devapi::SendCommand(*s, users::kCmdGetGroupZones, request,
                                           users::kListReplySize, s->cmd_timeout_ms);
    const auto sent = std::span<const uint8_t>(reply.bytes).first(reply.length);
    if (!reply.ok() || !reply.HasAtLeast(users::ZoneListReplyNeeds(tft, sent))) return -2;
    const users::ZoneList list = users::DecodeZoneList(tft, sent);
    for (size_t i = 0; i < 3; ++i) zones[i] = list.zones[i];
    // Only colour-screen callers pass room for the fourth.
    if (tft) zones[3] = list.mode;
    return 1;
  });
}

DEVAPI_API int32_t Q_SetGroupTZs(DEVAPI_HANDLE handle, int32_t group, const int32_t* zones) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto request =
        users::ZoneListRequest(static_cast<uint32_t>(group), zones, s->is_tft != 0);
    return devapi::SendCommand(*s, users::kCmdSetGroupZones, request, 0, s->cmd_timeout_ms).ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_GetGroupTZ(DEVAPI_HANDLE handle, int32_t group, int32_t* zone1,
                                int32_t* zone2, int32_t* zone3, int32_t* flag, int32_t* number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (static_cast<uint32_t>(group) > users::kMaxGroup) return 4;
    std::array<uint8_t, users::kFixedRecord> request{};
    request[0] = static_cast<uint8_t>(group);
    const auto reply = devapi::SendCommand(*s, users::kCmdGetGroupZones, request,
                                           users::kFixedRecord, s->cmd_timeout_ms);
    if (reply.code == devapi::kAckError) return -100;
    if (!reply.HasAtLeast(users::kFixedRecord)) return -2;
    wire::ByteReader r(std::span<const uint8_t>(reply.bytes).first(users::kFixedRecord));
    r.U8();
    users::PutInt(zone1, r.U16());
    users::PutInt(zone2, r.U16());
    users::PutInt(zone3, r.U16());
    const uint8_t last = r.U8();
    users::PutInt(flag, (last & users::kFlagBit) != 0 ? 1 : 0);
    users::PutInt(number, last & users::kMaxNumber);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetGroupTZ(DEVAPI_HANDLE handle, int32_t group, int32_t zone1,
                                int32_t zone2, int32_t zone3, int32_t flag, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const std::array<uint32_t, 3> zones{static_cast<uint32_t>(zone1),
                                        static_cast<uint32_t>(zone2),
                                        static_cast<uint32_t>(zone3)};
    if (static_cast<uint32_t>(group) > users::kMaxGroup ||
        static_cast<uint32_t>(number) > users::kMaxNumber) {
      return 4;
    }
    for (uint32_t zone : zones) {
      if (zone > users::kMaxZone) return 4;
    }
    std::array<uint8_t, users::kFixedRecord> request{};
    wire::ByteWriter w(request);
    w.U8(static_cast<uint8_t>(group));
    for (uint32_t zone : zones) w.U16(static_cast<uint16_t>(zone));
    w.U8(static_cast<uint8_t>((flag != 0 ? users::kFlagBit : 0) | number));
    return devapi::SendCommand(*s, users::kCmdSetGroupZones, request, 0, s->cmd_timeout_ms).ok()
               ? 1
               : -2;
  });
}

}  // extern "C"
