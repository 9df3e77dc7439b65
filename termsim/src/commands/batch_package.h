// A batch package as the terminal reads it (commands 2222 and 110): a head
// of three u32 byte counts U, O and T, then U bytes of user entries, O bytes
// of template operations and T bytes of template data.
//
//   user entry: u8 code; code 2 a user record (72 bytes on colour-screen
//               terminals, else 28), code 0 a deletion (4 bytes, the PIN
//               as u32, on colour-screen terminals; else 28 bytes led by
//               the u16 PIN)
//   operation:  u8 code, u16 PIN (or a 24-byte ID text), u8 finger byte,
//               i32 offset; code 0 deletes (offset -1, finger 255 = all),
//               1 adds unless that finger holds a template, 2 adds or
//               replaces; the finger is the byte's low nibble and the flag
//               its high nibble (0 means 1); the offset names the start of
//               a template data entry
//   template data entry: u16 length (not 0), the template
//
// A package is taken whole or not at all: counts that do not add up, an
// entry cut at its stream's end, an unknown code, PIN 0 or 65535 (or more),
// a deletion with an offset other than -1, or an offset that is not the
// start of a template data entry refuse it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "store/user_table.h"

namespace termsim {

inline constexpr uint8_t kBatchDelete = 0;
inline constexpr uint8_t kBatchAdd = 1;
inline constexpr uint8_t kBatchAddOrReplace = 2;
inline constexpr uint8_t kBatchAllFingers = 255;

struct BatchUserChange {
  bool erase = false;
  uint16_t pin = 0;
  std::span<const uint8_t> record;  // a write: the user record as sent
};

struct BatchTemplateChange {
  uint8_t code = 0;
  uint16_t pin = 0;          // by PIN
  std::string_view id_text;  // by ID text (empty: by PIN)
  uint8_t finger_byte = 0;
  std::span<const uint8_t> tmpl;  // an addition: the template bytes
};

struct BatchPackage {
  std::vector<BatchUserChange> users;
  std::vector<BatchTemplateChange> templates;
};

// The changes of `package` (which must outlive them); nullopt when the
// package is refused.
std::optional<BatchPackage> ParseBatchPackage(std::span<const uint8_t> package,
                                              UserRecordLayout layout, bool ops_by_id_text);

}  // namespace termsim
