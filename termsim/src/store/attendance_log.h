// Attendance records as the terminal sends them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/option_store.h"
#include "termsim/logs.h"

namespace termsim {

// The layout the terminal sends: `chosen`, or for kAuto the one its
// options imply.
AttLogLayout ResolveAttLayout(AttLogLayout chosen, const OptionStore& options);

// The records in `layout` (not kAuto), one after another, without a count
// in front; the compressed layout ends with its end mark.
std::vector<uint8_t> EncodeAttendance(std::span<const AttendanceRecord> records,
                                      AttLogLayout layout);

}  // namespace termsim
