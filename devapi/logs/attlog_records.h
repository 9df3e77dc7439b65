// The attendance record layouts terminals send, and their decoding.
//
//   compressed (4 or 8 bytes): user u16 (0xFFFF ends the log); a byte with
//     the state in bits 5-7, the verify mode in bits 3-4, the short-form
//     flag in bit 2 and, in the short form, the two high bits of a 10-bit
//     time offset whose low byte follows; the long form carries a packed
//     time in bytes 4-7 that becomes the base of the short forms after it
//   extended (16): user u32, time u32, state u8, verify u8, reserved u16,
//     work code u32
//   text ID (40): internal number u16, ID text 24, verify u8, time u32,
//     state u8, work code u32, 4 reserved
//   text ID of USB-like terminals (22): internal number u16, ID text 10,
//     verify u8, time u32, state u8, work code u32
//   text ID with work-code text (61): as the 40-byte record up to the state,
//     work-code text 24, 5 reserved
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace devapi {

enum class AttLayout { kCompressed, kExtended, kTextId, kTextIdShort, kTextIdWorkCode };

inline constexpr size_t kCompressedShortSize = 4;
inline constexpr size_t kCompressedLongSize = 8;
inline constexpr uint16_t kLogEndMark = 0xFFFF;

// The size of a record of a fixed-size layout (the long form for the
// compressed layout).
size_t AttRecordSize(AttLayout layout);

struct AttRecord {
  uint32_t user = 0;  // user number (not in the text-ID layouts)
  uint8_t verify_mode = 0;
  uint8_t att_state = 0;
  uint32_t time = 0;  // packed time
  uint32_t work_code = 0;
  uint16_t reserved = 0;
  std::span<const uint8_t> id_text;         // the raw ID text field
  std::span<const uint8_t> work_code_text;  // the raw work-code text field
};

// What the bytes at a cursor hold.
enum class AttStep {
  kRecord,  // a whole record
  kEnd,     // the end mark
  kCut,     // a record cut short by the end of the bytes
};

struct AttDecoded {
  AttStep step = AttStep::kCut;
  size_t size = 0;  // bytes the record takes
  AttRecord record;
};

// Decodes the compressed record at the start of `bytes`. `base_time` is the
// time short forms count from; a long form replaces it.
AttDecoded DecodeCompressed(std::span<const uint8_t> bytes, uint32_t& base_time);

// Decodes the record of a fixed-size layout at the start of `bytes`; the
// text fields view into `bytes`.
AttDecoded DecodeFixed(AttLayout layout, std::span<const uint8_t> bytes);

}  // namespace devapi
