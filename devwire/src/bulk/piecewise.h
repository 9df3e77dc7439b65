// The piecewise large read: a unit count, then ranges of units fetched as
// large blocks, then command 2019 to release the terminal's data.
#pragma once

#include <cstdint>
#include <span>

#include "bulk/result.h"

namespace devwire {

struct EngineConnection;

// Reads all units of command `code` into `buffer`. Result: the bytes read
// (0 with CMD_ACK_OK when the terminal has nothing to give), or -1 with the
// outcome saying why.
BulkResult PiecewiseRead(EngineConnection& connection, uint16_t code, std::span<uint8_t> buffer,
                         int32_t timeout_ms);

}  // namespace devwire
