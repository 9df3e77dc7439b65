// Cuts one input into the five report inputs (rule, attendance records,
// users, departments, time slots) and a date range, runs the calculation
// for every user and builds the three pages twice: the same bytes must give
// the same records and pages, and every record file holds whole records.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "attendance/attendance_calculation.h"
#include "attendance/attendance_inputs.h"
#include "attendance/device_calendar.h"
#include "attendance/report_pages.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Result {
  attendance::RecordFiles records;
  std::string pages[3];
};

Result Run(std::span<const uint8_t> parts[5], int64_t d1, int64_t d2) {
  const attendance::AttendanceRule rule = attendance::PrepareAttendance(parts[0]);
  const attendance::InputTables tables(parts[1], parts[2], parts[3], parts[4]);
  Result r;
  for (size_t i = 0; i < tables.user_count(); ++i) {
    const attendance::UserView u = attendance::ReadUser(tables.UserRecord(i));
    attendance::CalculateUser(rule, tables, u.pin, d1, d2, r.records);
  }
  r.pages[0] = attendance::WritePunchReport(tables, true, "ID", d1, d2);
  r.pages[1] = attendance::WriteExceptionReport(rule, tables, r.records.periods, d1, d2);
  r.pages[2] = attendance::WriteStatisticsReport(rule, tables, r.records.days, d1, d2);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  // Five lengths and the range from the first 16 bytes, the rest cut in turn.
  std::span<const uint8_t> rest(data + 16, size - 16);
  std::span<const uint8_t> parts[5];
  for (size_t k = 0; k < 5; ++k) {
    const size_t want = static_cast<size_t>(data[k]) * (k == 1 ? 40 : 8);
    const size_t take = std::min(want, rest.size());
    parts[k] = rest.first(take);
    rest = rest.subspan(take);
  }
  // Ranges of up to ~40 days anywhere below the no-time mark.
  const uint32_t start = (static_cast<uint32_t>(data[5]) | data[6] << 8 | data[7] << 16 |
                          static_cast<uint32_t>(data[8]) << 24) % 1924790400u;
  const int64_t d1 = start, d2 = d1 + static_cast<int64_t>(data[9] % 41) * 86400 - data[10];
  const Result a = Run(parts, d1, std::min<int64_t>(d2, attendance::kNoTime - 1));
  const Result b = Run(parts, d1, std::min<int64_t>(d2, attendance::kNoTime - 1));
  Check(a.records.punches == b.records.punches && a.records.periods == b.records.periods &&
        a.records.days == b.records.days);
  Check(a.records.punches.size() % 16 == 0 && a.records.periods.size() % 60 == 0 &&
        a.records.days.size() % 104 == 0);
  for (int t = 0; t < 3; ++t) Check(a.pages[t] == b.pages[t]);
  return 0;
}
