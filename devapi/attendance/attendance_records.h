// The calculation's record files, as bytes: "RecAbnormite.dat" (16-byte
// punch records), "AttAbnormite.dat" (60-byte period records) and
// "AttDay.dat" (104-byte user summaries).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace attendance {

inline constexpr size_t kPunchNoteBytes = 16;
inline constexpr size_t kPeriodRecordBytes = 60;
inline constexpr size_t kDaySummaryBytes = 104;

struct PeriodRecord {
  uint32_t uid = 0;
  uint32_t index = 0;
  uint8_t slot = 0;
  uint8_t noin = 0, noout = 0, absent = 0;
  uint8_t mustin = 1, mustout = 1;
  uint32_t attdate = 0, starttime = 0, endtime = 0;
  uint32_t checkintime = 0, checkouttime = 0;
  float workday = 0;
  int32_t late = 0, early = 0, woktime = 0;
};

// The summary's sums, kept in 64 bits and stored as their low bits.
struct DaySummary {
  uint32_t uid = 0;
  int64_t scheduled_workday = 0, scheduled = 0;
  int64_t attended_workday = 0, attended = 0;
  int64_t late_count = 0, late = 0, early_count = 0, early = 0;
  int64_t absent_workday = 0, absent = 0, absent_count = 0;
  int64_t noin_count = 0, noout_count = 0;
  int64_t worked = 0, required = 0, checkin_count = 0, checkout_count = 0, worked_count = 0;
};

// The record files in memory.
struct RecordFiles {
  std::vector<uint8_t> punches;  // RecAbnormite
  std::vector<uint8_t> periods;  // AttAbnormite
  std::vector<uint8_t> days;     // AttDay
};

void AppendPunchNote(std::vector<uint8_t>& out, uint32_t uid, uint32_t time, char type,
                     char newtype, uint16_t reason);
void AppendPeriod(std::vector<uint8_t>& out, const PeriodRecord& r);
void AppendSummary(std::vector<uint8_t>& out, const DaySummary& d);

// Reading them back for the pages.
PeriodRecord ReadPeriod(std::span<const uint8_t> record);

}  // namespace attendance
