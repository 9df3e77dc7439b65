#include "container_reader.h"

#include "container_format.h"
#include "container_scrambler.h"

namespace templates {

std::optional<std::vector<uint8_t>> PlainContainerCopy(std::span<const uint8_t> bytes) {
  const size_t length = ContainerLength(bytes);
  if (!ContainerLengthValid(length) || length > bytes.size()) return std::nullopt;
  std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + length);
  if (!DescrambleContainer(copy) || !IsPlainContainer(copy)) return std::nullopt;
  return copy;
}

std::optional<std::vector<BlockSpan>> ListBlocks(std::span<const uint8_t> plain) {
  const size_t length = ContainerLength(plain);
  if (!ContainerLengthValid(length) || length > plain.size()) return std::nullopt;
  const size_t count = plain[kCountOffset];
  std::vector<BlockSpan> blocks;
  blocks.reserve(count);
  size_t offset = kContainerHeaderBytes;
  for (size_t i = 0; i < count; ++i) {
    if (length - offset < kMinBlockBytes) return std::nullopt;
    const size_t block_length =
        ((plain[offset + kBlockLengthOffset] & 0x0F) << 8) | plain[offset + kBlockLengthOffset + 1];
    if (block_length < kMinBlockBytes || block_length > length - offset) return std::nullopt;
    blocks.push_back({offset, block_length});
    offset += block_length;
  }
  if (offset != length) return std::nullopt;
  return blocks;
}

}  // namespace templates
