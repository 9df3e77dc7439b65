#include "template_decoder.h"

#include <algorithm>

#include "template_formats.h"

namespace templates {

size_t DecodeTemplate(std::span<const uint8_t> bytes, TemplateModel& model) {
  model.Clear();
  const TemplateFormat format = FormatOf(bytes);
  const auto bounded = bytes.first(std::min(bytes.size(), FormatMaxLength(format)));
  switch (format) {
    case TemplateFormat::kStandard:
      return DecodeStandardTemplate(bounded, model);
    case TemplateFormat::kCompact:
      return DecodeCompactTemplate(bounded, model);
    case TemplateFormat::kOld:
      return DecodeOldTemplate(bounded, model);
    case TemplateFormat::kUnknown:
      break;
  }
  return 0;
}

}  // namespace templates
