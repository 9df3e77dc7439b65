// Feeds arbitrary bytes to the version-9 template decoder and to every
// operation built on it, and checks that what the codec writes it can read
// back: a re-encoded template decodes to its own length and re-encodes to
// itself, and a shrunk one stays within its limit and the template's length.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "template_codec.h"
#include "template_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace templates;
  const std::span<const uint8_t> bytes(data, size);
  static auto model = std::make_unique<TemplateModel>();

  const size_t length = DecodeTemplate(bytes, *model);
  Check(length <= size);
  Check(TemplateLength(bytes) == length);

  std::vector<uint8_t> compact(kCompactMaxBytes);
  const size_t compact_length = ReEncodeTemplate(bytes, compact);
  Check((compact_length == 0) == (length == 0));
  if (compact_length != 0) {
    const auto encoded = std::span<const uint8_t>(compact).first(compact_length);
    Check(TemplateLength(encoded) == compact_length);
    std::vector<uint8_t> again(compact_length);  // exactly as large as needed
    Check(ReEncodeTemplate(encoded, again) == compact_length);
    Check(std::equal(again.begin(), again.end(), encoded.begin()));

    std::vector<uint8_t> standard(kStandardMaxBytes);
    const size_t standard_length = ConvertTemplate(bytes, standard);
    Check(standard_length != 0);
    Check(TemplateLength(std::span<const uint8_t>(standard).first(standard_length)) ==
          standard_length);
  }

  // Shrink a copy to a limit taken from the last byte.
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());
  const size_t limit = size ? static_cast<size_t>(data[size - 1]) * 4 : 0;
  const size_t shrunk = ShrinkTemplate(copy, limit);
  Check(shrunk <= limit && shrunk <= length);  // never past the template's own bytes
  if (shrunk != 0) {
    Check(TemplateLength(std::span<const uint8_t>(copy).first(shrunk)) == shrunk);
  } else {
    Check(std::equal(copy.begin(), copy.end(), bytes.begin()));
  }
  return 0;
}
