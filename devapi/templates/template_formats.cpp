#include "template_formats.h"

namespace templates {

// The standard encoding answers to several magics, 0xCA00-0xCA20 and
// 0xCA80-0xCAA0 among them; the compact one to 0xCAA1-0xCABF.
TemplateFormat FormatOf(uint16_t magic) {
  if (magic == kOldMagic) return TemplateFormat::kOld;
  if ((magic & 0xFF00) != 0xCA00) return TemplateFormat::kUnknown;
  if ((magic & 0x7F) < 0x21) return TemplateFormat::kStandard;
  if (magic >= 0xCAA1 && magic <= 0xCABF) return TemplateFormat::kCompact;
  return TemplateFormat::kUnknown;
}

TemplateFormat FormatOf(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2) return TemplateFormat::kUnknown;
  return FormatOf(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

size_t FormatMaxLength(TemplateFormat format) {
  switch (format) {
    case TemplateFormat::kStandard:
      return kStandardMaxBytes;
    case TemplateFormat::kCompact:
      return kCompactMaxBytes;
    case TemplateFormat::kOld:
      return kOldMaxBytes;
    case TemplateFormat::kUnknown:
      break;
  }
  return 0;
}

}  // namespace templates
