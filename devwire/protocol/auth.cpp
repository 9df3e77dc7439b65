#include "wire/auth.h"

namespace wire {
namespace {

uint32_t ReverseBits(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) {
    r = (r << 1) | (v & 1);
    v >>= 1;
  }
  return r;
}

// Masked key bytes before salting, already swapped into wire order:
// k2 k3 k0 k1.
std::array<uint8_t, 4> MaskedKey(uint32_t password, uint16_t connection_id) {
  uint32_t k = ReverseBits(password) + connection_id;
  uint8_t k0 = static_cast<uint8_t>(k) ^ kAuthMask0;
  uint8_t k1 = static_cast<uint8_t>(k >> 8) ^ kAuthMask1;
  uint8_t k2 = static_cast<uint8_t>(k >> 16) ^ kAuthMask2;
  uint8_t k3 = static_cast<uint8_t>(k >> 24) ^ kAuthMask3;
  return {k2, k3, k0, k1};
}

}  // namespace

std::array<uint8_t, 4> MakeAuthKey(uint32_t password, uint16_t connection_id, uint8_t tick_low) {
  auto key = MaskedKey(password, connection_id);
  key[0] ^= tick_low;
  key[1] ^= tick_low;
  key[2] = tick_low;
  key[3] ^= tick_low;
  return key;
}

bool AuthKeyMatches(const std::array<uint8_t, 4>& key, uint32_t password,
                    uint16_t connection_id) {
  const uint8_t salt = key[2];
  auto expected = MaskedKey(password, connection_id);
  return (key[0] ^ salt) == expected[0] && (key[1] ^ salt) == expected[1] &&
         (key[3] ^ salt) == expected[3];
}

}  // namespace wire
