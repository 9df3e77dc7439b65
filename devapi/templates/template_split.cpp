// Splitting a container into single-finger containers. The container is
// read through a plain copy, so it comes back exactly as it was given.
#include <algorithm>
#include <cstdio>

#include "container_format.h"
#include "container_reader.h"
#include "container_scrambler.h"
#include "container_writer.h"
#include "template_codec.h"

namespace templates {
namespace {

constexpr size_t kEchoedBytes = 64;

void EchoHead(std::span<const uint8_t> plain, std::string& trace) {
  char item[8];
  for (uint8_t b : plain.first(std::min(plain.size(), kEchoedBytes))) {
    std::snprintf(item, sizeof item, "[%x]", b);
    trace += item;
  }
  trace += '\n';
}

}  // namespace

std::vector<std::vector<uint8_t>> SplitTemplate(std::span<const uint8_t> container,
                                                std::string& trace) {
  auto plain = PlainContainerCopy(container);
  if (!plain) return {};
  EchoHead(*plain, trace);
  const auto blocks = ListBlocks(*plain);
  if (!blocks || blocks->empty() || blocks->size() > kMaxSplitParts) return {};

  std::vector<std::vector<uint8_t>> parts;
  if (blocks->size() == 1) {
    // A single finger comes back whole, scrambled.
    parts.push_back(std::move(*plain));
  } else {
    const auto format_words = std::span(*plain).subspan(kFormatWordsOffset, kFormatWordsBytes);
    for (size_t i = 0; i < blocks->size(); ++i) {
      const BlockSpan& b = (*blocks)[i];
      std::vector<uint8_t> part = StartContainer(format_words);
      AppendBlock(part, std::span(*plain).subspan(b.offset, b.length), 0);
      FinishContainer(part, 1);
      char line[80];
      std::snprintf(line, sizeof line, "processPos:%zu,FingerSizes[%zu]:%zu\n", b.offset + b.length,
                    i, part.size());
      trace += line;
      parts.push_back(std::move(part));
    }
  }
  for (auto& part : parts) {
    if (!ScrambleContainer(part)) return {};
  }
  return parts;
}

}  // namespace templates
