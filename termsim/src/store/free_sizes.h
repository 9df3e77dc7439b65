// The terminal's storage counters, answered to CMD_GET_FREE_SIZES as 32-bit
// words: all of them, or the one word a 4-byte request names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>

#include "commands/reply.h"

namespace termsim {

inline constexpr size_t kFreeSizesWords = 25;

using StorageWords = std::array<uint32_t, kFreeSizesWords>;

// A small, half-used terminal, with `overrides` (word number -> value) on
// top; numbers outside the words are ignored.
StorageWords MakeStorageWords(const std::map<int, uint32_t>& overrides = {});

// Without data: every word. With a 4-byte word number: that word alone
// (CMD_ACK_ERROR for a number beyond the counters). Other data lengths are
// refused.
void AnswerFreeSizes(const StorageWords& words, std::span<const uint8_t> request, Reply& reply);

}  // namespace termsim
