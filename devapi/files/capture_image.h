// The sensor image: the reply's two forms and the bitmap file. Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace devapi::files {

// Largest image: 640 x 480 pixels, one byte each.
inline constexpr size_t kSensorPixels = 307200;
// Receive capacity of a capture: the largest image and its header.
inline constexpr size_t kCaptureReplyCapacity = 307220;

struct CapturedImage {
  int32_t width = 0;
  int32_t height = 0;
  std::span<const uint8_t> pixels;  // width x height bytes of the reply
};

// A raw 307200-byte reply (640 x 480), or a 12-byte header (width at byte
// 4, height at byte 8) and exactly width x height pixels. Nullopt for a
// width or height below 1, more than 307200 pixels, or any other length.
std::optional<CapturedImage> DecodeCapture(std::span<const uint8_t> reply);

// An uncompressed 8-bit bitmap with a grey palette, rows as given
// (positive height), each padded to a multiple of 4 bytes.
std::vector<uint8_t> GreyBitmap(const CapturedImage& image);

}  // namespace devapi::files
