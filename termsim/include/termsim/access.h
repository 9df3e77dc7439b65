// The terminal's faces, validity periods and access-control data.
//
// What the terminal answers (a refusal is CMD_ACK_ERROR; its connection
// word carries a reason: 1 malformed request, 2 no such user or record,
// 4 no room left):
//   150    (ID text 24, 0, face index, u16) the user's face records of that
//          index (50: all), streamed as a data set; none: reason 2
//   151    (ID text 24, 0, face index, u16 length) stores the uploaded
//          records; the length must be the upload's, whole 2576-byte records
//   152    (ID text 24, 0, face index, u16) deletes (50: all); none: reason 2
//   10020  (ID text 24, ...) the user's 40-byte validity record
//   10021  (ID text 24, u32 value 1, u32 value 2, u32 start, u32 end) stores
//   27     (u32 zone 1-50) 7 x {start hour, minute, end hour, minute};
//          colour-screen terminals lead with 2 zero bytes
//   28     (u32 zone, 28 bytes) stores
//   25     (u32 group 0-99) the list form: colour-screen {u16 mode, zones},
//          others {i32 count (complement: follows), u32 zones}
//          (8 bytes, u8 group) the fixed form {u8 group, u16 zones 1-3,
//          u8 flag and number}
//   26     (u32 group, u32 mode, u32 zones 1-3) or (u32 group) the list
//          form; (8 bytes) the fixed form
//   300    (u32 103) the dates of holidays 1-24; 301 (u32 103, 96) stores
//   91     (u16 number 1-99) {u16 number, four date bytes, u16 zone}
//   92     (the same 8 bytes) stores
//   29     no data: the unlock-groups text; 8 bytes (u32 number 0-10): the
//          combination {number, groups 1-5, count, 0}
//   30     8 bytes ending in a zero byte: a combination; else the text
//   70     a message record (332 bytes on colour-screen terminals, else
//          72): u8 tag, u16 number, u16 minutes, 2, u32 start, content
//   71     (u16 number) the record; 72 (u16 number) deletes
//   73     (u16 PIN, u16 message) links; 74 (the same) unlinks
//   76     the uploaded card write: the number (u16, u32 with wide user
//          numbers), 12-byte header, sections whose lengths (u16 at header
//          offsets 0, 3, 6, 9) must match what follows
//   78     empties the card
// Clear-data (14) kind 6 drops messages, 7 links, 0 everything. Deleting a
// user drops its faces, validity period and links.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace termsim {

// A face record as sent: 2576 bytes (u16 length, u16 PIN, u8 index, u8
// valid flag, u8 algorithm version mark, 9 zero bytes, 2560 template bytes).
inline constexpr size_t kFaceRecordBytes = 2576;

struct Face {
  uint16_t pin = 0;
  uint8_t index = 0;
  std::vector<uint8_t> record;  // the whole 2576-byte record
  friend bool operator==(const Face&, const Face&) = default;
};

struct ValidityPeriod {
  uint32_t value1 = 0, value2 = 0;
  uint32_t start = 0, end = 0;  // packed times
  friend bool operator==(const ValidityPeriod&, const ValidityPeriod&) = default;
};

// The list form and the fixed form of a group's time zones, kept apart.
struct GroupZones {
  uint32_t mode = 0;  // colour-screen word 0; elsewhere the zone count
  std::array<uint32_t, 3> zones{};
  std::array<uint16_t, 3> fixed_zones{};
  uint8_t fixed_byte = 0;  // flag in bit 7, number in bits 0-6
  friend bool operator==(const GroupZones&, const GroupZones&) = default;
};

struct Holiday {
  std::array<uint8_t, 4> dates{};  // start month, day, end month, day
  uint16_t zone = 0;
  friend bool operator==(const Holiday&, const Holiday&) = default;
};

struct ShortMessage {
  uint8_t tag = 0;
  uint16_t minutes = 0;
  uint32_t start = 0;  // packed
  std::string content;
  friend bool operator==(const ShortMessage&, const ShortMessage&) = default;
};

struct AccessData {
  std::map<uint8_t, std::array<uint8_t, 28>> zones;  // 1-50
  std::map<uint8_t, GroupZones> groups;               // 0-99
  std::map<uint8_t, Holiday> holidays;                // 1-99
  std::string unlock_groups;
  std::map<uint8_t, std::array<uint8_t, 5>> combinations;  // 0-10
  std::map<uint16_t, ShortMessage> messages;
  std::set<std::pair<uint16_t, uint16_t>> links;  // PIN, message
  std::vector<std::vector<uint8_t>> card_writes;  // every accepted 76 upload
  int cards_emptied = 0;
  friend bool operator==(const AccessData&, const AccessData&) = default;
};

}  // namespace termsim
