// The standard encoding: a 7-byte header, minutiae, singular points and the
// grid as whole lines.
#include "grid_lines.h"
#include "minutia_records.h"
#include "template_decoder.h"
#include "wire/le_bytes.h"

namespace templates {

size_t DecodeStandardTemplate(std::span<const uint8_t> bytes, TemplateModel& model) {
  wire::ByteReader reader(bytes);
  reader.U16();  // magic
  const uint8_t size_byte = reader.U8();
  const uint16_t length_and_lines = reader.U16();
  const uint8_t counts = reader.U8();
  model.quality = reader.U8();
  if (!reader.ok()) return 0;

  // A template that claims more bytes than it was given has been cut short.
  const size_t claimed_length = length_and_lines >> 6;
  if (claimed_length > bytes.size()) return 0;

  if (!ReadMinutiae(reader, counts >> 2, model)) return 0;
  if (!ReadSingularPoints(reader, counts & 3, model)) return 0;

  const int size = size_byte >> 2;
  model.grid_lines = size;
  model.grid_cells = size;
  if (!ReadGridLines(reader, size, length_and_lines & 0x3F, model)) return 0;
  return reader.position();
}

}  // namespace templates
