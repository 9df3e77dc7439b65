// Measuring, re-encoding, shrinking and converting version-9 templates. Each
// operation decodes into a model of its own and encodes into scratch, so the
// caller's buffer only ever receives a finished template that fits it.
#include <algorithm>
#include <array>
#include <memory>

#include "minutiae_reduction.h"
#include "template_codec.h"
#include "template_decoder.h"
#include "template_encoder.h"
#include "template_formats.h"

namespace templates {
namespace {

constexpr int kConvertSubtype = 1;
constexpr size_t kCompactRecordBytes = 5;

size_t CopyOut(std::span<const uint8_t> encoded, std::span<uint8_t> out) {
  if (encoded.empty() || encoded.size() > out.size()) return 0;
  std::copy(encoded.begin(), encoded.end(), out.begin());
  return encoded.size();
}

}  // namespace

size_t TemplateLength(std::span<const uint8_t> tmpl) {
  auto model = std::make_unique<TemplateModel>();
  return DecodeTemplate(tmpl, *model);
}

size_t ReEncodeTemplate(std::span<const uint8_t> tmpl, std::span<uint8_t> out) {
  auto model = std::make_unique<TemplateModel>();
  if (DecodeTemplate(tmpl, *model) == 0) return 0;
  std::array<uint8_t, kCompactScratchBytes> scratch;
  const size_t length = EncodeCompact(*model, true, scratch);
  return CopyOut(std::span(scratch).first(length), out);
}

size_t ConvertTemplate(std::span<const uint8_t> tmpl, std::span<uint8_t> out) {
  auto model = std::make_unique<TemplateModel>();
  if (DecodeTemplate(tmpl, *model) == 0) return 0;
  std::array<uint8_t, kStandardMaxBytes> scratch;
  const size_t length = EncodeStandard(*model, kConvertSubtype, true, scratch);
  return CopyOut(std::span(scratch).first(length), out);
}

size_t ShrinkTemplate(std::span<uint8_t> tmpl, size_t max_length) {
  auto model = std::make_unique<TemplateModel>();
  // Decoded as far as the template may reach, as its length is measured: a
  // span cut to that length would end a compact grid stream early, or fall
  // short of a standard template's own length field.
  const size_t own_length = DecodeTemplate(tmpl, *model);
  if (own_length == 0) return 0;
  // The result replaces the template where it was, so it must fit the bytes
  // the template took; what follows them belongs to the caller.
  const size_t limit = std::min(max_length, own_length);

  std::array<uint8_t, kCompactScratchBytes> scratch;
  size_t length = EncodeCompact(*model, true, scratch);
  if (length > limit) length = EncodeCompact(*model, false, scratch);
  if (length > limit) {
    // Each minutia takes one record; drop just enough of them.
    const size_t excess = length - limit;
    const size_t drop = (excess + kCompactRecordBytes - 1) / kCompactRecordBytes;
    if (drop >= static_cast<size_t>(model->MinutiaeInUse())) return 0;
    if (!ReduceMinutiae(*model, static_cast<int>(drop))) return 0;
    length = EncodeCompact(*model, false, scratch);
  }
  if (length == 0 || length > limit) return 0;
  return CopyOut(std::span(scratch).first(length), tmpl);
}

}  // namespace templates
