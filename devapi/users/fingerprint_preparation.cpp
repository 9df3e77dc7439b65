#include "users/fingerprint_preparation.h"

#include <span>

#include "templates/template_codec.h"

namespace users {

namespace {

constexpr size_t kMagicBytes = 2;

// The caller's template as far as its format can reach.
std::span<const uint8_t> CallerTemplate(const uint8_t* tmpl) {
  const auto format = templates::FormatOf(std::span<const uint8_t>(tmpl, kMagicBytes));
  return {tmpl, templates::FormatMaxLength(format)};
}

}  // namespace

PreparedTemplate PrepareVersion9(const uint8_t* tmpl, size_t limit) {
  PreparedTemplate out;
  std::vector<uint8_t> scratch(templates::kCompactMaxBytes, 0);
  size_t n = templates::ReEncodeTemplate(CallerTemplate(tmpl), scratch);
  if (n > limit) n = templates::ShrinkTemplate(std::span(scratch).first(n), limit);
  if (n == 0 || n < kMinVersion9Bytes) {
    out.error = -3;
    return out;
  }
  scratch.resize(n);
  out.bytes = std::move(scratch);
  return out;
}

PreparedTemplate PrepareVersion10(const uint8_t* tmpl, size_t min_length) {
  PreparedTemplate out;
  std::vector<uint8_t> scratch(templates::kCompactMaxBytes, 0);
  if (templates::ReEncodeTemplate(CallerTemplate(tmpl), scratch) > 0) {
    out.error = -100;
    return out;
  }
  const size_t length =
      templates::ContainerLength(std::span<const uint8_t>(tmpl, templates::kLengthOffset + 2));
  if (length < min_length || length > kMaxVersion10Bytes) {
    out.error = -3;
    return out;
  }
  out.bytes.assign(tmpl, tmpl + length);
  return out;
}

}  // namespace users
