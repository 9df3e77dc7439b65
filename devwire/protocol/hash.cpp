#include "wire/hash.h"

namespace wire {

uint32_t ShiftFoldHash(std::span<const uint8_t> bytes) {
  uint32_t h = 0;
  for (uint8_t b : bytes) {
    h = (h << 4) + b;
    uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      // The fold shifts the top nibble as a signed value, copying bit 31
      // into the upper bits; the terminals compute it this way.
      uint32_t folded = static_cast<uint32_t>(static_cast<int32_t>(g) >> 24);
      h ^= folded;
      h ^= g;
    }
  }
  return h;
}

uint32_t DataHash(std::span<const uint8_t> bytes) { return ShiftFoldHash(bytes) % 16711679u; }

}  // namespace wire
