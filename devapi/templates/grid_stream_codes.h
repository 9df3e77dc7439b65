// The code bytes of the compact encoding's grid stream, shared by its
// decoder and encoder.
#pragma once

#include <cstdint>

namespace templates {

// 0x00-0x7F: one literal cell; the code becomes the running value.
inline constexpr int kEmptyLiteral = 0x7E;     // the literal for an empty cell
inline constexpr int kOverflowLiteral = 0x7F;  // written for cells above 120
// 0x80 + n: n + 1 cells repeating the running value.
inline constexpr int kRunCode = 0x80;
// 0xA0 + n: n + 1 bytes of two nibble deltas each.
inline constexpr int kDeltaCode = 0xA0;
// 0xC0: end of line; 0xC0 + n: skip n + 1 cells.
inline constexpr int kSkipCode = 0xC0;
// 0xE0: end of grid; 0xE0 + n: end of line and skip n more lines.
inline constexpr int kEndCode = 0xE0;
inline constexpr int kCodeArgMask = 0x1F;
inline constexpr int kMaxCodeArg = 31;

// The running value at each line start and after a skip: not an orientation,
// so runs and deltas cannot follow it.
inline constexpr int kLineStartValue = 126;
inline constexpr int kOrientationClasses = 120;
inline constexpr int kNibbleBias = 8;

// Each size byte holds the count minus one and is at most 31.
inline constexpr int kMaxStreamSizeByte = 31;
inline constexpr int kMaxStreamDim = kMaxStreamSizeByte + 1;

}  // namespace templates
