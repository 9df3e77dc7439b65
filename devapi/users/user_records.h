// The user records as terminals store and send them, in their three
// layouts, and the 17-byte write of old firmware.
//
//   short (16 bytes, firmware below "Ver 5.04"):
//     PIN u16, privilege u8, password 5, name 8
//   extended (28 bytes):
//     PIN u16, privilege u8, password 5, name 8, card 5 (u32 + one byte),
//     group and time-zone flags u8, time-zone word u16, PIN2 u32
//   colour screen (72 bytes):
//     PIN u16, privilege u8, password 8, name 24, card u32, group u8,
//     four time-zone words u16, ID text 24
//
// Text fields are zero-padded and not terminated when full.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace users {

enum class UserLayout { kShort, kExtended, kTft };

inline constexpr size_t kShortRecordSize = 16;
inline constexpr size_t kExtendedRecordSize = 28;
inline constexpr size_t kTftRecordSize = 72;
inline constexpr size_t kShortWriteSize = 17;

constexpr size_t RecordSize(UserLayout layout) {
  switch (layout) {
    case UserLayout::kShort:
      return kShortRecordSize;
    case UserLayout::kExtended:
      return kExtendedRecordSize;
    case UserLayout::kTft:
      return kTftRecordSize;
  }
  return kExtendedRecordSize;
}

// One user in the widest form of all layouts. A layout fills what it has
// and leaves the rest zero.
struct UserFields {
  uint16_t pin = 0;
  uint8_t privilege = 0;               // the coded byte
  std::array<uint8_t, 8> password{};   // 5 bytes used by the narrow layouts
  std::array<uint8_t, 24> name{};      // 8 bytes used by the narrow layouts
  std::array<uint8_t, 5> card{};       // u32 little-endian and a fifth byte
  uint8_t group = 0;                   // extended: the whole byte 21
  uint16_t tz_word = 0;                // extended: the packed time-zone word
  std::array<uint16_t, 4> tz_words{};  // colour screen: the four words
  uint32_t pin2 = 0;                   // extended only
  std::array<uint8_t, 24> id_text{};   // colour screen only
};

// Decodes one record of `layout`; false when `record` is shorter than the
// layout's record (the fields are then zero).
bool DecodeUserRecord(UserLayout layout, std::span<const uint8_t> record, UserFields* out);

// Encodes `fields` as a record of `layout` into `out`, which must hold
// RecordSize(layout) bytes; false (nothing written) when it does not.
bool EncodeUserRecord(UserLayout layout, const UserFields& fields, std::span<uint8_t> out);

// The 17-byte write of old firmware: PIN, name 8, password 5, privilege
// byte, and the low byte of the enabled argument.
std::array<uint8_t, kShortWriteSize> EncodeShortWrite(const UserFields& fields,
                                                      uint8_t enabled_byte);

// Field readers that do not decode the whole record; `record` must hold a
// whole record of its layout (else 0 / empty).
uint16_t RecordPin(std::span<const uint8_t> record);
uint32_t RecordPin2(std::span<const uint8_t> extended_record);
// The ID text of a colour-screen record: up to its first NUL, at most 24.
std::string_view RecordIdText(std::span<const uint8_t> tft_record);

// A fixed text field as a view: up to its first NUL or its whole width.
std::string_view FieldText(std::span<const uint8_t> field);

}  // namespace users
