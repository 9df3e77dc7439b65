// One large block of a piecewise read (command 2018): announced with its
// size and checksum, streamed as CMD_DATA packets, ended by CMD_ACK_OK.
#pragma once

#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

// Reads the units [start, start + count) into `out`, of which at most
// kLargeBlockArea bytes are used. Returns the block's size, or -1 when it did
// not arrive whole with its checksum right (the line is drained then). The
// reader thread may read again afterwards, unless `hold_reader` (a series
// of blocks whose caller lets it read at the end).
int32_t ReadLargeBlock(EngineConnection& connection, std::span<uint8_t> out, uint32_t start,
                       uint32_t count, int32_t timeout_ms, bool hold_reader = false);

}  // namespace devwire
