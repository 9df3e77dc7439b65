// The compact encoding: a 5-byte header, minutiae, singular points and an
// optional grid stream.
#include "grid_stream_decoder.h"
#include "minutia_records.h"
#include "template_decoder.h"
#include "template_formats.h"
#include "wire/le_bytes.h"

namespace templates {

size_t DecodeCompactTemplate(std::span<const uint8_t> bytes, TemplateModel& model) {
  wire::ByteReader reader(bytes);
  reader.U16();  // magic
  const uint8_t count_low = reader.U8();
  const uint8_t flags = reader.U8();
  model.quality = reader.U8();
  if (!reader.ok()) return 0;

  const int minutiae = count_low | (((flags >> 5) & 3) << 8);
  if (minutiae > static_cast<int>(kCompactMaxMinutiae)) return 0;
  if (!ReadMinutiae(reader, minutiae, model)) return 0;
  if (!ReadSingularPoints(reader, flags & 7, model)) return 0;

  const size_t grid_start = reader.position();
  if ((flags & 0x80) == 0) return grid_start;

  const GridStreamResult grid = DecodeGridStream(reader.rest(), model);
  switch (grid.status) {
    case GridStreamStatus::kOk:
      return grid_start + grid.consumed;
    case GridStreamStatus::kInvalid:
      // A broken grid is dropped: the template ends where the grid began.
      model.ClearGrid();
      return grid_start;
    case GridStreamStatus::kTruncated:
      break;
  }
  return 0;
}

}  // namespace templates
