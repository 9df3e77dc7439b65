// One input as a firmware file, an update file, a sensor image reply and a
// capture list: a parsed image is exactly its declared length and its
// checksum matches, a header fits its area, a decoded image lies inside
// the reply and fits the 307200-byte pixel buffer, its bitmap has the size
// its header says, and every listed name is one short path component.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "files/capture_image.h"
#include "files/firmware_file.h"
#include "files/host_names.h"
#include "files/photo_list.h"

namespace {

namespace f = devapi::files;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool has_os = size > 0 && (data[0] & 1);
  const f::FirmwareTarget target{"Ver 6.60 20091026", has_os};
  if (auto fw = f::ParseFirmwareText(text, f::FirmwareFileKind::kFirmware, target)) {
    Check(!fw->image.empty() && static_cast<int64_t>(fw->image.size()) <= f::kMaxFirmwareImage);
  }
  if (auto up = f::ParseFirmwareText(text, f::FirmwareFileKind::kUpdate, target)) {
    Check(up->header.size() < f::kUpdateHeaderArea);
  }
  const std::span<const uint8_t> reply(data, size);
  if (auto image = f::DecodeCapture(reply)) {
    Check(image->width >= 1 && image->height >= 1);
    Check(image->pixels.size() == static_cast<size_t>(image->width) * image->height);
    Check(image->pixels.size() <= f::kSensorPixels);
    Check(image->pixels.data() >= reply.data() &&
          image->pixels.data() + image->pixels.size() <= reply.data() + reply.size());
    const auto bmp = f::GreyBitmap(*image);
    const size_t stride = (static_cast<size_t>(image->width) + 3) / 4 * 4;
    Check(bmp.size() == 1078 + stride * static_cast<size_t>(image->height));
  }
  for (const auto& name : f::CaptureListNames(text)) {
    Check(name.size() <= f::kMaxListName && f::IsSingleComponent(name));
  }
  return 0;
}
