#include "attendance/device_calendar.h"

#include <algorithm>
#include <array>

namespace attendance {

namespace {

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && LeapYear(year)) return 29;
  return kDays[(month - 1) % 12];
}

// Days from 2000-01-01 to the start of a year of the real calendar.
int64_t DaysBeforeYear(int year) {
  static const std::array<int64_t, 101> kBefore = [] {
    std::array<int64_t, 101> days{};
    for (int y = 1; y <= 100; ++y) days[y] = days[y - 1] + (LeapYear(1999 + y) ? 366 : 365);
    return days;
  }();
  return kBefore[std::clamp(year - 2000, 0, 100)];
}

// The real day number of a device day; a day past its month's end counts
// on from the month's last day.
int64_t RealDay(int64_t t) {
  if (t < 0) return t / kDaySeconds;
  const DeviceDate d = DateOf(t);
  int64_t days = DaysBeforeYear(2000 + d.year);
  for (int m = 1; m < d.month; ++m) days += DaysInMonth(2000 + d.year, m);
  return days + d.day - 1;
}

int64_t RealSeconds(int64_t t) {
  if (t < 0) return t;
  return RealDay(t) * kDaySeconds + t % kDaySeconds;
}

}  // namespace

int64_t ElapsedSeconds(int64_t from, int64_t to) { return RealSeconds(to) - RealSeconds(from); }

DeviceDate DateOf(int64_t t) {
  const int64_t days = t / kDaySeconds;
  DeviceDate d;
  d.year = static_cast<int>(days / 372);
  d.month = static_cast<int>(days % 372 / 31) + 1;
  d.day = static_cast<int>(days % 31) + 1;
  return d;
}

bool DayExists(int64_t day) {
  if (day < 0) return true;
  const DeviceDate d = DateOf(day);
  return d.day <= DaysInMonth(2000 + d.year, d.month);
}

int64_t NextExistingDay(int64_t day) {
  do {
    day += kDaySeconds;
  } while (!DayExists(day));
  return day;
}

int64_t PreviousExistingDay(int64_t day) {
  do {
    day -= kDaySeconds;
  } while (!DayExists(day));
  return day;
}

int64_t PlaceOnCalendar(int64_t day, int64_t offset) {
  int64_t whole = offset / kDaySeconds;
  int64_t rest = offset % kDaySeconds;
  if (rest < 0) {
    rest += kDaySeconds;
    --whole;
  }
  for (; whole > 0; --whole) day = NextExistingDay(day);
  for (; whole < 0; ++whole) day = PreviousExistingDay(day);
  return day + rest;
}

int64_t PackMoment(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = static_cast<int64_t>(year % 100) * 372 + (month - 1) * 31 + (day - 1);
  return days * kDaySeconds + hour * 3600 + minute * 60 + second;
}

}  // namespace attendance
