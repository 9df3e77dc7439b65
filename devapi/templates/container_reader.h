// Taking a version-10 container apart safely: a plain copy of its bytes and
// the list of its finger blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace templates {

struct BlockSpan {
  size_t offset = 0;
  size_t length = 0;
};

// A plain copy of the container at the start of `bytes`, which may be
// scrambled or plain. Nothing when its length field is outside 24..16384 or
// beyond `bytes`, or when it does not start "ICRS" once descrambled.
std::optional<std::vector<uint8_t>> PlainContainerCopy(std::span<const uint8_t> bytes);

// The blocks of a plain container, as many as its count byte says, each at
// least 5 bytes long. Nothing unless they end exactly at the container's
// length.
std::optional<std::vector<BlockSpan>> ListBlocks(std::span<const uint8_t> plain);

}  // namespace templates
