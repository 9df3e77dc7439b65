// The reply to CMD_GET_FREE_SIZES: the terminal's storage counters as
// 32-bit words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace termsim {

inline constexpr size_t kFreeSizesWords = 25;

std::vector<uint8_t> FreeSizesPayload();

}  // namespace termsim
