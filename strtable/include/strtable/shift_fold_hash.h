// The shift-and-fold text hash that indexes string-table keys. The protocol
// engine's bulk-data hash is the same function with another modulus, so it is
// exported on its own.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace strtable {

// One step of the hash: h = (h << 4) + byte, then fold the top nibble back in.
// The fold shifts the top nibble right as a *signed* value, so once bit 31 is
// set its sign is smeared over the upper 24 bits; this is why the function
// differs from the textbook ELF hash on longer texts. Existing terminals and
// engines depend on these exact values.
constexpr uint32_t ShiftFoldStep(uint32_t h, uint8_t byte) {
  h = (h << 4) + byte;
  const uint32_t g = h & 0xF0000000u;
  if (g != 0) {
    h ^= static_cast<uint32_t>(static_cast<int32_t>(g) >> 24);
    h ^= g;
  }
  return h;
}

// Raw 32-bit hash of the bytes; callers take it modulo their table size.
uint32_t ShiftFoldHash(std::span<const uint8_t> bytes);
uint32_t ShiftFoldHash(std::string_view text);

}  // namespace strtable
