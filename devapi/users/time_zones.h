// Time zones of the 28-byte user record.
//
// Up to three time zones of 6 bits each make an 18-bit value: zone 1 in
// bits 0-5, zone 2 in bits 6-11, zone 3 in bits 12-17. Its low 16 bits are
// the record's time-zone word; bits 16-17 go to bits 4-5 of the group byte,
// whose bit 7 says that the user has time zones of its own (bits 0-3 are
// the group). Without own time zones the user follows its group's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace users {

struct PackedTimeZones {
  uint8_t group_byte = 0;
  uint16_t word = 0;
};

// Packs the caller's time zones into `current` (whose group bits stay).
// No array (empty span) or a first entry of -1: the user follows its group.
// Otherwise the entries up to the first zero, at most three, each masked to
// 6 bits. At most the first three entries are read.
PackedTimeZones PackTimeZones(PackedTimeZones current, std::span<const int32_t> zones);

// Unpacks into `out` (at least four entries). Following the group: the
// first entry becomes -1 and the result is -1. Otherwise entries 1-3 are
// the zones and the result is the count of leading non-zero ones; when that
// is 3 the fourth entry is set to 0. Entries not named stay as they were.
int32_t UnpackTimeZones(PackedTimeZones packed, std::span<int32_t, 4> out);

// The count of leading non-zero entries among the first three.
int32_t LeadingZoneCount(std::span<const int32_t> zones);

// The list form of the time-zone commands, shared by the user's (23, 24)
// and the group's (25, 26): a u32 key (PIN or group) alone, or with zones
// the key, a u32 mode and u32 zones 1-3. The mode is, on colour-screen
// terminals, the caller's fourth entry, elsewhere the count of leading
// non-zero zones. `zones` (four entries) may be null.
std::vector<uint8_t> ZoneListRequest(uint32_t key, const int32_t* zones, bool tft);

// The answer of the list form. Colour-screen terminals send four u16 words
// w0..w3: the zones are w1-w3 and w0 the mode (1: zones of its own).
// Others send an i32 count (its complement when the key follows its group)
// and that many u32 zones, of which three at most are taken.
struct ZoneList {
  std::array<int32_t, 3> zones{};  // entries not sent stay 0
  int32_t mode = 0;                // w0 (colour-screen terminals)
  bool follows_group = false;
};
// The bytes an answer must hold: four words, or the count and as many of
// the (at most three) zones as it announces.
size_t ZoneListReplyNeeds(bool tft, std::span<const uint8_t> reply);
// Decodes an answer that holds ZoneListReplyNeeds bytes.
ZoneList DecodeZoneList(bool tft, std::span<const uint8_t> reply);

}  // namespace users
