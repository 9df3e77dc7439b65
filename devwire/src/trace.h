// Trace lines for developers (platform debug output, off by default).
#pragma once

#include <cstdint>

namespace devwire {

// "devwire: CMD_GET_FREE_SIZES -> CMD_ACK_OK (3)" when tracing is on.
void TraceExchange(uint16_t command, uint16_t outcome, int32_t result);

// A free-form line, prefixed with "devwire: ".
void TraceLine(const char* text);

}  // namespace devwire
