// The attendance calculation of one user over a date range: the user's
// scheduled periods laid over the user's punches, each period graded, and
// the results appended to the record files in memory.
//
// Everything the calculation needs comes in its arguments, so several
// reports may run at once.
#pragma once

#include <cstdint>
#include <string>

#include "attendance/attendance_inputs.h"
#include "attendance/attendance_records.h"

namespace attendance {

// Runs the calculation for `pin` between the device times d1 and d2.
// Nothing is written for a user without a record, without periods or
// without punches. The diagnostic lines go to `trace` when given.
void CalculateUser(const AttendanceRule& rule, const InputTables& inputs, uint16_t pin, int64_t d1,
                   int64_t d2, RecordFiles& out, std::string* trace = nullptr);

}  // namespace attendance
