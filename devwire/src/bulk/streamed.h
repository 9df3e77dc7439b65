// The streamed read: the terminal answers a command with CMD_PREPARE_DATA
// and streams the data set as numbered chunks, or sends it inline.
#pragma once

#include <cstdint>
#include <span>

#include "bulk/result.h"

namespace devwire {

struct EngineConnection;

// Sends `code` with `data` and reads the data set it answers with into
// `buffer`. With `verify` every chunk's checksum is checked and chunks that
// went missing are fetched by further attempts. Result: the bytes read, or 0
// or a negative value with the outcome saying why. The reader thread may
// read again after every attempt, unless `hold_reader`: then it stays out
// until the caller lets it read (a series of reads saves taking it out of a
// transport read each time).
BulkResult StreamedRead(EngineConnection& connection, uint16_t code, std::span<const uint8_t> data,
                        std::span<uint8_t> buffer, bool verify, int32_t timeout_ms,
                        bool hold_reader = false);

}  // namespace devwire
