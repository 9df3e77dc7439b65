// Device time on the real calendar.
//
// Device time gives every month 31 days, so some device days (04-31, 02-30,
// ...) are dates that do not exist. The calculation steps over them, and a
// time that lies a day or more away from its day is counted on (or back)
// over existing dates only.
#pragma once

#include <cstdint>

namespace attendance {

inline constexpr int64_t kDaySeconds = 86400;
// Later than any real time; 1924790399 is the last real one.
inline constexpr int64_t kNoTime = 1924790400;

// The start of the device day of `t` (t >= 0).
inline int64_t DayStart(int64_t t) { return t - t % kDaySeconds; }

struct DeviceDate {
  int year = 0;  // from 2000
  int month = 1;
  int day = 1;
};
DeviceDate DateOf(int64_t t);
// Hour and minute of the time of day.
inline int HourOf(int64_t t) { return static_cast<int>(t % kDaySeconds / 3600); }
inline int MinuteOf(int64_t t) { return static_cast<int>(t % 3600 / 60); }

// Whether the device day starting at `day` is a real (Gregorian) date.
// Days before device time 0 count as real.
bool DayExists(int64_t day);
// The start of the next and the previous existing day.
int64_t NextExistingDay(int64_t day);
int64_t PreviousExistingDay(int64_t day);

// `day` plus `offset` seconds, whole days of the offset counted over
// existing dates (forwards for 86400 and more, backwards below 0).
int64_t PlaceOnCalendar(int64_t day, int64_t offset);

// Seconds that really pass from device time `from` to `to`: the days that
// do not exist between them are not counted (04-30 22:00 to 05-01 06:00 is
// eight hours, not thirty-two).
int64_t ElapsedSeconds(int64_t from, int64_t to);

// A moment as device time, the year taken modulo 100.
int64_t PackMoment(int year, int month, int day, int hour, int minute, int second);

}  // namespace attendance
