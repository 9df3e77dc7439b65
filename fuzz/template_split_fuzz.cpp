// Feeds arbitrary bytes to the container splitter and merger: whatever splits
// must merge back into a container that splits the same way, and the
// caller's bytes are never changed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "container_reader.h"
#include "container_scrambler.h"
#include "template_codec.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace templates;
  const std::span<const uint8_t> bytes(data, size);
  const std::vector<uint8_t> original(bytes.begin(), bytes.end());
  std::string trace;

  const auto parts = SplitTemplate(bytes, trace);
  Check(parts.size() <= kMaxSplitParts);
  if (!parts.empty()) {
    std::vector<std::span<const uint8_t>> spans;
    for (const auto& part : parts) {
      Check(part.size() <= kMaxSplitPartBytes);
      Check(PlainContainerCopy(part).has_value());
      spans.emplace_back(part);
    }
    const auto merged = MergeTemplates(spans, trace);
    Check(!merged.empty() && merged.size() <= kMaxContainerBytes);
    Check(SplitTemplate(merged, trace) == parts);
  }

  // The input merged alone and with itself.
  const std::span<const uint8_t> twice[] = {bytes, bytes};
  const auto alone = MergeTemplates(std::span(twice).first(1), trace);
  const auto doubled = MergeTemplates(twice, trace);
  Check(alone.size() <= kMaxContainerBytes && doubled.size() <= kMaxContainerBytes);
  if (!doubled.empty()) Check(PlainContainerCopy(doubled).has_value());

  // Scrambling a plain container and back restores it.
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());
  if (IsPlainContainer(copy) && ScrambleContainer(copy)) {
    Check(DescrambleContainer(copy));
    Check(copy == original);
  }

  Check(std::equal(original.begin(), original.end(), data));
  return 0;
}
