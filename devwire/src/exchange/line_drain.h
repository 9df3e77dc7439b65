// Emptying the line after a bulk read went wrong.
#pragma once

#include <cstdint>

namespace devwire {

struct EngineConnection;

// However long a terminal keeps sending, draining ends after this long.
inline constexpr uint32_t kDrainDeadlineMs = 15000;

// Reads and discards packets until one read of `silence_ms` stays silent, so
// that the next exchange does not meet packets still in flight. A line
// failure ends it at once (and is recorded).
void DrainLine(EngineConnection& connection, uint32_t silence_ms,
               uint32_t deadline_ms = kDrainDeadlineMs);

}  // namespace devwire
