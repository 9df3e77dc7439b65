#include "files/capture_image.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace devapi::files {

namespace {

constexpr int32_t kRawWidth = 640;
constexpr int32_t kRawHeight = 480;
constexpr size_t kHeaderSize = 12;
constexpr uint32_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kPaletteEntries = 256;
constexpr uint32_t kPixelOffset = kFileHeader + kInfoHeader + kPaletteEntries * 4;

}  // namespace

std::optional<CapturedImage> DecodeCapture(std::span<const uint8_t> reply) {
  if (reply.size() == kSensorPixels) return CapturedImage{kRawWidth, kRawHeight, reply};
  wire::ByteReader r(reply);
  r.Skip(4);
  const int32_t width = r.I32();
  const int32_t height = r.I32();
  if (!r.ok() || width < 1 || height < 1) return std::nullopt;
  // 64 bits: a 32-bit product of 65536 x 65536 would pass as 0.
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > kSensorPixels || r.remaining() != pixels) return std::nullopt;
  return CapturedImage{width, height, r.rest()};
}

std::vector<uint8_t> GreyBitmap(const CapturedImage& image) {
  const uint32_t width = static_cast<uint32_t>(image.width);
  const uint32_t height = static_cast<uint32_t>(image.height);
  const uint32_t stride = (width + 3) / 4 * 4;
  const uint32_t pixel_bytes = stride * height;
  std::vector<uint8_t> out(kPixelOffset + pixel_bytes, 0);
  wire::ByteWriter w(out);
  w.U8('B');
  w.U8('M');
  w.U32(kPixelOffset + pixel_bytes);
  w.U16(0);
  w.U16(0);
  w.U32(kPixelOffset);
  w.U32(kInfoHeader);
  w.I32(image.width);
  w.I32(image.height);
  w.U16(1);  // planes
  w.U16(8);  // bits per pixel
  w.U32(0);  // no compression
  w.U32(pixel_bytes);
  w.Bytes(std::vector<uint8_t>(16, 0));  // resolution and colour counts
  for (uint32_t i = 0; i < kPaletteEntries; ++i) {
    const auto v = static_cast<uint8_t>(i);
    const uint8_t entry[4] = {v, v, v, 0};
    w.Bytes(entry);
  }
  for (uint32_t row = 0; row < height; ++row) {
    w.Bytes(image.pixels.subspan(static_cast<size_t>(row) * width, width));
    w.Bytes(std::vector<uint8_t>(stride - width, 0));
  }
  return out;
}

}  // namespace devapi::files
