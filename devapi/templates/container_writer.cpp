#include "container_writer.h"

#include <algorithm>

#include "container_format.h"

namespace templates {

std::vector<uint8_t> StartContainer(std::span<const uint8_t> format_words) {
  std::vector<uint8_t> container(kContainerHeaderBytes, 0);
  std::copy(kContainerMagic.begin(), kContainerMagic.end(), container.begin());
  std::copy(kHeaderMarks.begin(), kHeaderMarks.end(), container.begin() + kHeaderMarksOffset);
  std::copy_n(format_words.begin(), std::min(format_words.size(), kFormatWordsBytes),
              container.begin() + kFormatWordsOffset);
  return container;
}

void AppendBlock(std::vector<uint8_t>& container, std::span<const uint8_t> block,
                 uint8_t position) {
  const size_t start = container.size();
  container.insert(container.end(), block.begin(), block.end());
  if (block.size() > kBlockPositionOffset) container[start + kBlockPositionOffset] = position;
}

void FinishContainer(std::vector<uint8_t>& container, uint8_t block_count) {
  StoreBigEndian16(std::span(container).subspan(kLengthOffset).first<2>(),
                   static_cast<uint16_t>(container.size()));
  container[kCountOffset] = block_count;
}

}  // namespace templates
