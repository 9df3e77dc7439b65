// Decoding of version-9 templates into the minutiae model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "template_model.h"

namespace templates {

// Decodes the template at the start of `bytes`, whichever of the three
// encodings it is in. Nothing past `bytes`, nor past the encoding's longest
// form, is read. Returns the bytes the template takes, grid included, or 0
// when the magic is unknown or the template is invalid or cut short. The
// model is cleared first.
size_t DecodeTemplate(std::span<const uint8_t> bytes, TemplateModel& model);

// The decoders of the single encodings, for a model already cleared and
// bytes already bounded.
size_t DecodeStandardTemplate(std::span<const uint8_t> bytes, TemplateModel& model);
size_t DecodeCompactTemplate(std::span<const uint8_t> bytes, TemplateModel& model);
size_t DecodeOldTemplate(std::span<const uint8_t> bytes, TemplateModel& model);

}  // namespace templates
