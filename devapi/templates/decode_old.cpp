// The old encoding (decoded, never written): minutiae as 4-byte records
// whose y is relative to the previous minutia, angles in degrees.
#include <array>

#include "grid_lines.h"
#include "minutia_records.h"
#include "template_decoder.h"
#include "wire/le_bytes.h"

namespace templates {
namespace {

constexpr int kListedMinutiae = 4;

// Degrees become units of 1.5 degrees counted the other way round.
int32_t FromDegrees(int32_t degrees) {
  const int32_t units = 120 - degrees * 120 / 180;
  return units < 0 ? units + 240 : units;
}

}  // namespace

size_t DecodeOldTemplate(std::span<const uint8_t> bytes, TemplateModel& model) {
  wire::ByteReader reader(bytes);
  reader.U16();  // magic
  const int size = reader.U8() >> 2;
  const uint8_t counts = reader.U8();
  model.quality = reader.U8();
  // Up to four minutiae (numbered from 1) whose y step needs two more bits.
  std::array<uint8_t, kListedMinutiae> listed{};
  reader.Bytes(listed);
  const uint8_t high_bits = reader.U8();
  if (!reader.ok()) return 0;

  const int minutiae = counts >> 2;
  int32_t y = 0;
  for (int i = 0; i < minutiae; ++i) {
    const uint16_t a = reader.U16();
    const uint16_t b = reader.U16();
    if (!reader.ok()) return 0;
    int32_t step = a & 0x7F;
    for (int j = 0; j < kListedMinutiae; ++j) {
      if (listed[j] == i + 1) step |= ((high_bits >> (2 * j)) & 3) << 7;
    }
    y += step;
    Minutia& m = model.minutiae[i];
    m.x = a >> 7;
    m.y = y;
    m.extra = b & 0x7F;
    m.direction = FromDegrees(b >> 7);
  }
  model.minutiae_count = minutiae;

  if (!ReadSingularPoints(reader, counts & 3, model)) return 0;
  for (int i = 0; i < model.singular_count; ++i) {
    model.singular[i].angle = FromDegrees(model.singular[i].angle);
  }

  model.grid_lines = size;
  model.grid_cells = size;
  const int stored = reader.U8();
  if (!reader.ok() || !ReadGridLines(reader, size, stored, model)) return 0;
  return reader.position();
}

}  // namespace templates
