// The shortest code sequence for a run of orientation cells in the compact
// grid stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "wire/le_bytes.h"

namespace templates {

// The longest run the search takes: one grid line.
inline constexpr size_t kMaxCodedRun = 128;

// Writes the shortest sequence of run, delta and literal codes that yields
// `values` (each 0-119) after the running value `running`. Among sequences
// of equal length the first found wins, candidates being tried in the order
// run-to-end, shorter runs, delta groups, literal. False (nothing written)
// when the run is longer than kMaxCodedRun.
bool WriteShortestRunCodes(std::span<const uint8_t> values, int running, wire::ByteWriter& out);

}  // namespace templates
