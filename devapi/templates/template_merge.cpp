// Merging single-finger containers into one. The inputs are read through
// plain copies, so they come back exactly as they were given.
#include <algorithm>
#include <cstdio>

#include "container_format.h"
#include "container_reader.h"
#include "container_scrambler.h"
#include "container_writer.h"
#include "template_codec.h"

namespace templates {
namespace {

constexpr size_t kMaxBlocks = 255;  // the count is one byte

std::span<const uint8_t> FormatWords(std::span<const uint8_t> plain) {
  return plain.subspan(kFormatWordsOffset, kFormatWordsBytes);
}

}  // namespace

std::vector<uint8_t> MergeTemplates(std::span<const std::span<const uint8_t>> inputs,
                                    std::string& trace) {
  if (inputs.empty()) return {};
  std::vector<std::vector<uint8_t>> plain;
  std::vector<std::vector<BlockSpan>> blocks;
  for (auto input : inputs) {
    auto copy = PlainContainerCopy(input);
    if (!copy) return {};
    auto list = ListBlocks(*copy);
    if (!list) return {};
    plain.push_back(std::move(*copy));
    blocks.push_back(std::move(*list));
  }

  // One input comes back as it is, scrambled.
  if (plain.size() == 1) {
    std::vector<uint8_t> merged = std::move(plain.front());
    if (!ScrambleContainer(merged)) return {};
    return merged;
  }

  size_t total = kContainerHeaderBytes;
  size_t count = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (!std::ranges::equal(FormatWords(plain[i]), FormatWords(plain.front()))) return {};
    for (const BlockSpan& b : blocks[i]) total += b.length;
    count += blocks[i].size();
  }
  if (total > kMaxContainerBytes || count > kMaxBlocks) return {};

  std::vector<uint8_t> merged = StartContainer(FormatWords(plain.front()));
  merged.reserve(total);
  uint8_t position = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    for (const BlockSpan& b : blocks[i]) {
      AppendBlock(merged, std::span(plain[i]).subspan(b.offset, b.length), position++);
      char line[48];
      std::snprintf(line, sizeof line, "processPos=%zu\n", merged.size());
      trace += line;
    }
  }
  FinishContainer(merged, static_cast<uint8_t>(count));
  if (!ScrambleContainer(merged)) return {};
  return merged;
}

}  // namespace templates
