#include <algorithm>

#include "grid_stream_encoder.h"
#include "minutia_records.h"
#include "template_encoder.h"
#include "template_formats.h"
#include "wire/le_bytes.h"

namespace templates {
namespace {

constexpr int kMostSingular = 7;
constexpr uint8_t kGridPresent = 0x80;

}  // namespace

size_t EncodeCompact(TemplateModel& model, bool with_grid, std::span<uint8_t> out) {
  wire::ByteWriter writer(out);
  const int minutiae = model.MinutiaeInUse();
  const int singular = std::min(model.SingularInUse(), kMostSingular);
  const bool grid = with_grid && GridFitsStream(model);

  writer.U16(kCompactMagic);
  writer.U8(static_cast<uint8_t>(minutiae & 0xFF));
  writer.U8(
      static_cast<uint8_t>((grid ? kGridPresent : 0) | (((minutiae >> 8) & 3) << 5) | singular));
  writer.U8(static_cast<uint8_t>(model.quality));
  WriteMinutiae(writer, model, 0, minutiae);
  WriteSingularPoints(writer, model, singular);
  if (grid) WriteGridStream(model, writer);
  return writer.ok() ? writer.size() : 0;
}

}  // namespace templates
