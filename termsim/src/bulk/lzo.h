// LZO1X compression of the data sets a terminal prepares compressed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace termsim {

// The LZO1X-1 compressed form of `data`; empty for empty data.
std::vector<uint8_t> LzoCompress(std::span<const uint8_t> data);

}  // namespace termsim
