// Reading the data a terminal prepared in its memory, block by block, with a
// block size that adapts to the line.
#pragma once

#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

// Reads destination.size() bytes from `offset` of the prepared data with
// `command` (CMD_READ_DATA), `tries` tries per block. Returns the bytes read,
// -2 when cancelled or refused, -3 when the line would not carry even the
// smallest block. The reader thread may read again afterwards, unless
// `hold_reader` (the caller lets it read when its own work is done).
int32_t ReadMemory(EngineConnection& connection, uint16_t command, uint32_t offset,
                   std::span<uint8_t> destination, int32_t block_size, int tries,
                   bool hold_reader = false);

}  // namespace devwire
