// The comm-password proof sent with CMD_AUTH.
#pragma once

#include <array>
#include <cstdint>

namespace wire {

// The protocol's fixed four-byte authentication mask, shared with the
// terminals' firmware; byte i masks key byte k<i>.
inline constexpr std::array<uint8_t, 4> kAuthMask = {0x51, 0x58, 0x54, 0x4B};
inline constexpr uint8_t kAuthMask0 = kAuthMask[0];
inline constexpr uint8_t kAuthMask1 = kAuthMask[1];
inline constexpr uint8_t kAuthMask2 = kAuthMask[2];
inline constexpr uint8_t kAuthMask3 = kAuthMask[3];

// The 4-byte key proving `password` for `connection_id`; `tick_low` is the
// low byte of the sender's millisecond counter, which salts the key.
std::array<uint8_t, 4> MakeAuthKey(uint32_t password, uint16_t connection_id, uint8_t tick_low);

// Terminal side: true when `key` proves `password` for `connection_id`.
// The salt travels in the key itself; the masked low byte does not survive
// the salting and is not compared.
bool AuthKeyMatches(const std::array<uint8_t, 4>& key, uint32_t password, uint16_t connection_id);

}  // namespace wire
