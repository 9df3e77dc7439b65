// Encoding of the minutiae model as a standard or compact template.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "template_model.h"

namespace templates {

// Room enough for the compact encoding of any model, 512 minutiae included.
inline constexpr size_t kCompactScratchBytes = 5 + 5 * kMaxMinutiae + 4 * 7 + 2 + 32 * 32;

// Both encoders clamp, in the model itself, the x and y (0-511) and the
// singular-point angle (0-359) of every record they write; nothing else in
// the model changes. A reduction that follows an encoding thus works on the
// positions that were written.

// Standard encoding with the given 2-bit subtype: at most 63 minutiae (the
// middle ones when there are more), 3 singular points, and, when wanted, as
// many grid lines as fit in 1023 bytes. Returns the length, or 0 when `out`
// is too small.
size_t EncodeStandard(TemplateModel& model, int subtype, bool with_grid, std::span<uint8_t> out);

// Compact encoding: every minutia, at most 7 singular points and, when wanted
// and both grid sizes are 1 to 32, the grid stream. Returns the length, or 0
// when `out` is too small.
size_t EncodeCompact(TemplateModel& model, bool with_grid, std::span<uint8_t> out);

}  // namespace templates
