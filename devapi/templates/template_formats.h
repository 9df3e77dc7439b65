// The three version-9 template encodings: how they are recognised and how
// long they can be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace templates {

enum class TemplateFormat { kUnknown, kStandard, kCompact, kOld };

inline constexpr uint16_t kStandardMagic = 0xCAA0;  // the one the encoder writes
inline constexpr uint16_t kCompactMagic = 0xCAA1;   // the one the encoder writes
inline constexpr uint16_t kOldMagic = 0x432A;

// The longest template of each encoding. The standard one records its
// length in 10 bits. A compact template holds at most 250 minutiae, 7
// singular points and a 32 x 32 grid stream. An old one holds at most 63
// minutiae, 3 singular points and 63 full grid lines.
inline constexpr size_t kStandardMaxBytes = 1023;
inline constexpr size_t kCompactMaxMinutiae = 250;
inline constexpr size_t kCompactMaxBytes = 5 + 5 * kCompactMaxMinutiae + 4 * 7 + 2 + 32 * 32;
inline constexpr size_t kOldMaxBytes = 10 + 4 * 63 + 4 * 3 + 1 + 63 * (2 + 128);
inline constexpr size_t kMaxTemplateBytes = kOldMaxBytes;

TemplateFormat FormatOf(uint16_t magic);
// The first two bytes as a little-endian magic; kUnknown when fewer.
TemplateFormat FormatOf(std::span<const uint8_t> bytes);

// The most bytes a decoder reads for a template of this format (0 for an
// unknown one). A caller that does not know a template's size passes at most
// this many bytes.
size_t FormatMaxLength(TemplateFormat format);

}  // namespace templates
