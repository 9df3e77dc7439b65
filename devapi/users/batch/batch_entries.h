// The entries of a batch, byte for byte as the terminal reads them.
//
//   user entry:          u8 code (2 write, 0 delete), then the record
//   operation by PIN:    u8 code, u16 PIN, u8 finger byte, i32 offset (8 bytes)
//   operation by ID:     u8 code, ID text 24 zero-padded, u8 finger, i32 offset (30)
//   template data entry: u16 length, the template
//
// Operation codes: 0 delete (offset -1; finger 255 = all the user's
// templates), 1 add, 2 add or replace. The offset is where the template's
// data entry starts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace users {

inline constexpr uint8_t kEntryDelete = 0;
inline constexpr uint8_t kEntryWrite = 2;
inline constexpr uint8_t kOpDelete = 0;
inline constexpr uint8_t kOpAdd = 1;
inline constexpr uint8_t kOpAddOrReplace = 2;
inline constexpr uint8_t kAllFingers = 255;
inline constexpr int32_t kNoOffset = -1;

inline constexpr size_t kPinOpSize = 8;
inline constexpr size_t kIdOpSize = 30;
inline constexpr size_t kExtendedDeletionSize = 28;  // Q_DelUser: the PIN, then zeros
inline constexpr size_t kPinDeletionSize = 4;        // the SSR_ deletions: the PIN as u32

std::array<uint8_t, kPinOpSize> PinOperation(uint8_t code, uint16_t pin, uint8_t finger,
                                             int32_t offset);
// The text is cut to its 24-byte field.
std::array<uint8_t, kIdOpSize> IdOperation(uint8_t code, std::string_view id_text, uint8_t finger,
                                           int32_t offset);
std::array<uint8_t, kExtendedDeletionSize> ExtendedDeletion(uint16_t pin);
std::array<uint8_t, kPinDeletionSize> PinDeletion(uint16_t pin);
// The head of a template data entry.
std::array<uint8_t, 2> TemplateLength(uint16_t length);

}  // namespace users
