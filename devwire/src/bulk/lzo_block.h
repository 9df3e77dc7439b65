// LZO1X decompression of the compressed data sets a terminal prepares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace devwire {

// The most bytes LZO1X can turn `size` bytes into (incompressible input
// grows a little). A compressed size above this cannot be genuine.
size_t LzoCompressedBound(size_t size);

// Decompresses `in` into `out`, never writing past it. The number of bytes
// produced, or nothing when the input is damaged, needs more room than `out`
// has, or leaves input over.
std::optional<size_t> LzoDecompress(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace devwire
