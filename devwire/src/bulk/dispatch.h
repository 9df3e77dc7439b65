// Choosing the read mechanism for a command's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace devwire {

struct EngineConnection;

// True for the commands a terminal may prepare in its memory.
bool ReadsBuffered(uint16_t command);

// Reads the data of the command in `code` into `buffer`, whose first
// `param_length` bytes are the command's request. A buffered read where the
// terminal offers one, else a streamed read with verification. Returns the
// bytes read or <= 0; the outcome is in `code`.
int32_t ReadData(EngineConnection& connection, uint16_t& code, std::span<uint8_t> buffer,
                 size_t param_length, int32_t block_size, int32_t timeout_ms);

}  // namespace devwire
