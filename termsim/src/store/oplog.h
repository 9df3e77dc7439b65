// Operation records as the terminal sends them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/option_store.h"
#include "termsim/logs.h"

namespace termsim {

// The layout the terminal sends: `chosen`, or for kAuto the one its
// options imply.
OpLogLayout ResolveOpLayout(OpLogLayout chosen, const OptionStore& options);

// The records in `layout` (not kAuto) without a count in front; the compact
// layout ends with its end mark.
std::vector<uint8_t> EncodeOpLog(std::span<const OpLogRecord> records, OpLogLayout layout);

// The records in the 40-byte time-range layout, ending with its end mark.
std::vector<uint8_t> EncodeOpLogRange(std::span<const OpLogRecord> records);

}  // namespace termsim
