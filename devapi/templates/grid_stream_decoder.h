// Decoder of the compact encoding's grid stream: two size bytes, then codes
// line after line (literal cells, runs, nibble deltas, skips, line ends).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "template_model.h"

namespace templates {

enum class GridStreamStatus {
  kOk,         // `consumed` bytes make up the stream
  kInvalid,    // the stream breaks its own rules
  kTruncated,  // the stream runs past the given bytes
};

struct GridStreamResult {
  GridStreamStatus status = GridStreamStatus::kInvalid;
  size_t consumed = 0;
};

// Decodes the stream at the start of `bytes` into the model's grid and sizes.
// On anything but kOk the grid may be partly filled; the caller clears it.
GridStreamResult DecodeGridStream(std::span<const uint8_t> bytes, TemplateModel& model);

}  // namespace templates
