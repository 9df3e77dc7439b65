// The three attendance pages, built in memory from the inputs and the
// record files as written: 1 punch list, 2 exceptions, 3 statistics.
// Texts are GB2312; lines end in CR LF.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "attendance/attendance_inputs.h"

namespace attendance {

// Type 1: one table per user of the user file with punches in the range.
// No user file at all gives an empty page.
std::string WritePunchReport(const InputTables& inputs, bool have_user_file,
                             std::string_view label, int64_t d1, int64_t d2);
// Type 2: one row per period record ("AttAbnormite.dat").
std::string WriteExceptionReport(const AttendanceRule& rule, const InputTables& inputs,
                                 std::span<const uint8_t> periods, int64_t d1, int64_t d2);
// Type 3: one row per user summary ("AttDay.dat").
std::string WriteStatisticsReport(const AttendanceRule& rule, const InputTables& inputs,
                                  std::span<const uint8_t> days, int64_t d1, int64_t d2);

}  // namespace attendance
