#include "users/time_zones.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace users {

namespace {

constexpr uint8_t kGroupBits = 0x0F;
constexpr uint8_t kOwnZones = 0x80;
constexpr uint8_t kHighZoneBits = 0x30;  // bits 16-17 of the packed value
constexpr uint32_t kZoneMask = 0x3F;
constexpr size_t kKeyOnlyBytes = 4;
constexpr size_t kListRequestBytes = 20;
constexpr size_t kTftListBytes = 8;     // four u16 words
constexpr size_t kZoneCountBytes = 4;   // i32 count, then a u32 per zone
constexpr uint32_t kOwnZonesMode = 1;   // colour-screen word 0

}  // namespace

int32_t LeadingZoneCount(std::span<const int32_t> zones) {
  int32_t count = 0;
  for (size_t i = 0; i < zones.size() && i < 3 && zones[i] != 0; ++i) ++count;
  return count;
}

PackedTimeZones PackTimeZones(PackedTimeZones current, std::span<const int32_t> zones) {
  PackedTimeZones out;
  out.group_byte = static_cast<uint8_t>(current.group_byte & kGroupBits);
  if (zones.empty() || zones[0] == -1) return out;  // follows the group
  uint32_t value = 0;
  const int32_t count = LeadingZoneCount(zones);
  for (int32_t i = 0; i < count; ++i) {
    value |= (static_cast<uint32_t>(zones[static_cast<size_t>(i)]) & kZoneMask) << (6 * i);
  }
  out.word = static_cast<uint16_t>(value & 0xFFFF);
  out.group_byte |= static_cast<uint8_t>(((value >> 16) & 0x3) << 4);
  out.group_byte |= kOwnZones;
  return out;
}

int32_t UnpackTimeZones(PackedTimeZones packed, std::span<int32_t, 4> out) {
  if (packed.word == 0 && (packed.group_byte & 0xF0) == 0) {
    out[0] = -1;
    return -1;
  }
  const uint32_t high = (packed.group_byte & kHighZoneBits) >> 4;
  out[0] = static_cast<int32_t>(packed.word & kZoneMask);
  out[1] = static_cast<int32_t>((packed.word >> 6) & kZoneMask);
  out[2] = static_cast<int32_t>(((packed.word >> 12) & 0xF) + 16 * high);
  const int32_t count = LeadingZoneCount(std::span<const int32_t>(out.data(), 3));
  if (count == 3) out[3] = 0;
  return count;
}

std::vector<uint8_t> ZoneListRequest(uint32_t key, const int32_t* zones, bool tft) {
  std::vector<uint8_t> request(zones != nullptr ? kListRequestBytes : kKeyOnlyBytes, 0);
  wire::ByteWriter w(request);
  w.U32(key);
  if (zones != nullptr) {
    w.I32(tft ? zones[3] : LeadingZoneCount(std::span<const int32_t>(zones, 3)));
    for (size_t i = 0; i < 3; ++i) w.I32(zones[i]);
  }
  return request;
}

size_t ZoneListReplyNeeds(bool tft, std::span<const uint8_t> reply) {
  if (tft) return kTftListBytes;
  if (reply.size() < kZoneCountBytes) return kZoneCountBytes;
  const int32_t count = wire::ByteReader(reply).I32();
  const uint32_t n = static_cast<uint32_t>(count < 0 ? ~count : count);
  return kZoneCountBytes + 4 * std::min<uint32_t>(n, 3);
}

ZoneList DecodeZoneList(bool tft, std::span<const uint8_t> reply) {
  ZoneList out;
  wire::ByteReader r(reply);
  if (tft) {
    const uint16_t mode = r.U16();
    for (auto& zone : out.zones) zone = r.U16();
    out.mode = mode;
    out.follows_group = mode != kOwnZonesMode;
    return out;
  }
  const int32_t count = r.I32();
  out.follows_group = count < 0;
  const uint32_t n = static_cast<uint32_t>(out.follows_group ? ~count : count);
  for (size_t i = 0; i < 3 && i < n; ++i) out.zones[i] = static_cast<int32_t>(r.U32());
  return out;
}

}  // namespace users
