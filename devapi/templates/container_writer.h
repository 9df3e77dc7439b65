// Building a plain version-10 container: header first, blocks appended, then
// the length and block count filled in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace templates {

// A 24-byte header carrying the given format words; length and count 0.
std::vector<uint8_t> StartContainer(std::span<const uint8_t> format_words);

// Appends a block and writes `position` into its position byte (the copy
// only; the source is not touched).
void AppendBlock(std::vector<uint8_t>& container, std::span<const uint8_t> block, uint8_t position);

// Writes the container's length and block count into its header.
void FinishContainer(std::vector<uint8_t>& container, uint8_t block_count);

}  // namespace templates
