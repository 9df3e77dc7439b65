#include "strtable/shift_fold_hash.h"

namespace strtable {

uint32_t ShiftFoldHash(std::span<const uint8_t> bytes) {
  uint32_t h = 0;
  for (const uint8_t byte : bytes) h = ShiftFoldStep(h, byte);
  return h;
}

uint32_t ShiftFoldHash(std::string_view text) {
  uint32_t h = 0;
  for (const char c : text) h = ShiftFoldStep(h, static_cast<uint8_t>(c));
  return h;
}

}  // namespace strtable
