// The operation-log record layouts terminals send, and their decoding.
//
//   compact (16 bytes): administrator u16 (0xFFFF ends the log), operation
//     u8, 1 unused, time u32, four parameters u16
//   extended (20): administrator u32, operation u8, 1 unused, time u32,
//     first parameter u32, three parameters u16
//   text ID (60): administrator ID text 24, operation u8, time u32, three
//     parameters u16, a second ID text 24, 1 unused
//   time range (40): administrator u16 (0xFFFF ends the log), operation u8,
//     1 unused, time u32, four parameters u16, text 24
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace devapi {

enum class OpLayout { kCompact, kExtended, kTextId, kTimeRange };

size_t OpRecordSize(OpLayout layout);

struct OpRecord {
  uint32_t admin = 0;
  uint8_t operation = 0;
  uint32_t time = 0;  // packed time
  std::array<uint32_t, 4> params{};
  std::span<const uint8_t> admin_id;   // text ID layout: raw field
  std::span<const uint8_t> second_id;  // text ID layout: raw field
  std::span<const uint8_t> text;       // time-range layout: raw field
};

enum class OpStep { kRecord, kEnd, kCut };

struct OpDecoded {
  OpStep step = OpStep::kCut;
  size_t size = 0;
  OpRecord record;
};

// Decodes the record of `layout` at the start of `bytes`; text fields view
// into `bytes`.
OpDecoded DecodeOpRecord(OpLayout layout, std::span<const uint8_t> bytes);

}  // namespace devapi
