#include <algorithm>

#include "grid_lines.h"
#include "minutia_records.h"
#include "template_encoder.h"
#include "template_formats.h"
#include "wire/le_bytes.h"

namespace templates {
namespace {

constexpr int kMostMinutiae = 63;
constexpr int kMostSingular = 3;
constexpr int kMaxGridSize = 63;
constexpr size_t kLengthOffset = 3;

}  // namespace

size_t EncodeStandard(TemplateModel& model, int subtype, bool with_grid, std::span<uint8_t> out) {
  wire::ByteWriter writer(out);
  const int size = std::clamp(std::max(model.grid_lines, model.grid_cells), 0, kMaxGridSize);
  int minutiae = model.MinutiaeInUse();
  int first = 0;
  if (minutiae > kMostMinutiae) {
    // Keep the middle of the list.
    first = (minutiae - kMostMinutiae) / 2;
    minutiae = kMostMinutiae;
  }
  const int singular = std::min(model.SingularInUse(), kMostSingular);

  writer.U16(kStandardMagic);
  writer.U8(static_cast<uint8_t>((size << 2) | (subtype & 3)));
  writer.U16(0);  // length and line count, known at the end
  writer.U8(static_cast<uint8_t>((minutiae << 2) | singular));
  writer.U8(static_cast<uint8_t>(model.quality));
  WriteMinutiae(writer, model, first, minutiae);
  WriteSingularPoints(writer, model, singular);
  const int lines = with_grid ? WriteGridLines(writer, model, size, kStandardMaxBytes) : 0;
  if (!writer.ok()) return 0;
  writer.PatchU16(kLengthOffset, static_cast<uint16_t>((writer.size() << 6) | lines));
  return writer.size();
}

}  // namespace templates
