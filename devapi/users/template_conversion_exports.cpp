// The template tools under their Q_ names: measure, shrink, convert and
// re-encode version-9 templates, merge and split version-10 containers. No
// session and no terminal are involved.
#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "devapi.h"
#include "templates/template_codec.h"

namespace {

constexpr size_t kMagicBytes = 2;
constexpr size_t kShortestUsable = 50;  // results of this size or less are refused
constexpr int32_t kShrinkAbove = 100;   // a requested size must be above this ...
constexpr int32_t kShrinkBelow = 2048;  // ... and below this

// How far the caller's template can reach: the longest form of its format.
size_t CallerReach(const uint8_t* tmpl) {
  return templates::FormatMaxLength(
      templates::FormatOf(std::span<const uint8_t>(tmpl, kMagicBytes)));
}

std::span<const uint8_t> CallerTemplate(const uint8_t* tmpl) { return {tmpl, CallerReach(tmpl)}; }

}  // namespace

extern "C" {

DEVAPI_API int32_t Q_FPTempLength(const uint8_t* tmpl, int32_t* length) {
  if (tmpl == nullptr || length == nullptr) return 4;
  const size_t n = templates::TemplateLength(CallerTemplate(tmpl));
  *length = static_cast<int32_t>(n);
  return n > 0 ? 1 : 4;
}

DEVAPI_API int32_t Q_SetFPTempLength(uint8_t* tmpl, int32_t max_length) {
  if (tmpl == nullptr || max_length <= 0) return 4;
  // Read as the length call reads it; the shrunk template stays within the
  // bytes the original took.
  const size_t n = templates::ShrinkTemplate(std::span<uint8_t>(tmpl, CallerReach(tmpl)),
                                             static_cast<size_t>(max_length));
  return n > 0 ? 1 : 4;
}

DEVAPI_API int32_t Q_FPTempConvert(const uint8_t* in, uint8_t* out, int32_t* length) {
  if (in == nullptr || out == nullptr || length == nullptr) return 4;
  std::vector<uint8_t> scratch(templates::kStandardMaxBytes, 0);
  const size_t n = templates::ConvertTemplate(CallerTemplate(in), scratch);
  if (n <= kShortestUsable) return 4;
  std::memcpy(out, scratch.data(), n);
  *length = static_cast<int32_t>(n);
  return 1;
}

DEVAPI_API int32_t Q_FPTempConvertNew(const uint8_t* in, uint8_t* out, int32_t* length) {
  if (in == nullptr || out == nullptr || length == nullptr) return 4;
  std::vector<uint8_t> scratch(templates::kCompactMaxBytes, 0);
  size_t n = templates::ReEncodeTemplate(CallerTemplate(in), scratch);
  if (n <= kShortestUsable) return 4;
  const int32_t wanted = *length;
  if (wanted > kShrinkAbove && wanted < kShrinkBelow && static_cast<size_t>(wanted) < n) {
    n = templates::ShrinkTemplate(std::span(scratch).first(n), static_cast<size_t>(wanted));
    if (n == 0) return 4;  // not shrinkable to that size: nothing written
  }
  std::memcpy(out, scratch.data(), n);
  *length = static_cast<int32_t>(n);
  return 1;
}

DEVAPI_API int32_t Q_MergeTemplate(const unsigned char* const* containers, int32_t count,
                                   unsigned char* merged) {
  return FPTOOL_MERGE_TEMPLATE(containers, count, merged);
}

DEVAPI_API int32_t Q_SplitTemplate(const unsigned char* container, unsigned char* const* outputs,
                                   int32_t* count, int32_t* lengths) {
  return FPTOOL_SPLIT_TEMPLATE(container, outputs, count, lengths);
}

}  // extern "C"
