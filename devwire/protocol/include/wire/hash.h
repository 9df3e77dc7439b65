// Hashes shared by the host and the terminal.
#pragma once

#include <cstdint>
#include <span>

namespace wire {

// Shift-and-fold hash: h = h*16 + byte; the top nibble, when set, is folded
// back with a sign-propagating shift by 24. Raw 32-bit result.
uint32_t ShiftFoldHash(std::span<const uint8_t> bytes);

// Hash that verifies bulk data: ShiftFoldHash modulo 16711679 (0xFEFFFF).
uint32_t DataHash(std::span<const uint8_t> bytes);

}  // namespace wire
