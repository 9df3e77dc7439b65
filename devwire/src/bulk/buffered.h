// The buffered read: the terminal prepares the data set in its own memory
// (CMD_QUERY_DATA), the host fetches it with memory reads, checks its hash,
// decompresses it when it came compressed and releases it (CMD_FREE_DATA).
#pragma once

#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

// `code` holds the command whose data is wanted on entry and the outcome on
// return; the first 8 bytes of `params` travel in the query. Returns the
// data size, 0 (nothing, or a failed read), -1 (the terminal refused the
// query), -2 (cancelled or refused), -3 (gave up) or -100 (the buffer is
// smaller than the data set).
int32_t BufferedRead(EngineConnection& connection, uint16_t& code, std::span<const uint8_t> params,
                     std::span<uint8_t> buffer, int32_t block_size, int32_t timeout_ms);

// The whole data base (command 7) with a one-byte selector.
int32_t ReadDatabase(EngineConnection& connection, uint8_t selector, int32_t block_size,
                     std::span<uint8_t> buffer);

}  // namespace devwire
