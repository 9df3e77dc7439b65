// Collecting the numbered chunks a terminal streams after announcing a data
// set with CMD_PREPARE_DATA.
#pragma once

#include <cstdint>
#include <span>

#include "bulk/result.h"

namespace devwire {

struct EngineConnection;
class ChunkMap;

struct ChunkRequest {
  uint16_t command = 0;         // the command that asked for the data
  uint16_t counter = 0;         // its sequence number, which every chunk carries
  int32_t exchange_result = 0;  // the connection word of the prepare reply
  bool verify = false;          // check every chunk's packet checksum
  int32_t timeout_ms = 0;
};

// Reads the chunks of the data set that `announcement` (total and chunk
// size) describes into `buffer`. Chunks marked in `map` by an earlier
// attempt for the same data set count as received; a different data set
// starts the map afresh. Outcome CMD_ACK_OK with the total when every chunk
// is in place.
BulkResult CollectChunks(EngineConnection& connection, const ChunkRequest& request,
                         std::span<const uint8_t> announcement, ChunkMap& map,
                         std::span<uint8_t> buffer);

}  // namespace devwire
