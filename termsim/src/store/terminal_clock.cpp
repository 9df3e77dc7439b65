#include "store/terminal_clock.h"

#include <chrono>

#include "platform/tick.h"
#include "termsim/simulator.h"

namespace termsim {

namespace {

constexpr uint32_t kSecondsPerMinute = 60;
constexpr uint32_t kSecondsPerHour = 3600;
constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kSecondsPerMonth = 31 * kSecondsPerDay;  // every month counts 31 days
constexpr uint32_t kSecondsPerYear = 12 * kSecondsPerMonth;
constexpr int kFirstYear = 2000;

// Moves a time stamp on by real calendar seconds (a packed month is not a
// real one, so the addition goes through the calendar).
uint32_t Advance(uint32_t packed, uint32_t seconds) {
  using namespace std::chrono;
  const DateTime t = UnpackTime(packed);
  // A day beyond the month's end (the packed format allows 31 everywhere)
  // counts on into the next month, as the terminal's clock chip does.
  const sys_days date =
      sys_days(year(t.year) / month(static_cast<unsigned>(t.month)) / day(1)) + days(t.day - 1);
  const sys_seconds now =
      date + hours(t.hour) + minutes(t.minute) + std::chrono::seconds(t.second + seconds);
  const sys_days now_date = floor<days>(now);
  const year_month_day ymd(now_date);
  const hh_mm_ss<std::chrono::seconds> clock(now - now_date);
  return PackTime(DateTime{
      static_cast<int>(ymd.year()), static_cast<int>(unsigned(ymd.month())),
      static_cast<int>(unsigned(ymd.day())), static_cast<int>(clock.hours().count()),
      static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())});
}

}  // namespace

uint32_t PackTime(const DateTime& t) {
  const uint32_t y = static_cast<uint32_t>(t.year - kFirstYear);
  return ((((y * 12 + static_cast<uint32_t>(t.month - 1)) * 31 + static_cast<uint32_t>(t.day - 1)) *
               24 +
           static_cast<uint32_t>(t.hour)) *
              60 +
          static_cast<uint32_t>(t.minute)) *
             60 +
         static_cast<uint32_t>(t.second);
}

DateTime UnpackTime(uint32_t packed) {
  DateTime t;
  t.second = static_cast<int>(packed % kSecondsPerMinute);
  t.minute = static_cast<int>(packed / kSecondsPerMinute % 60);
  t.hour = static_cast<int>(packed / kSecondsPerHour % 24);
  t.day = static_cast<int>(packed / kSecondsPerDay % 31 + 1);
  t.month = static_cast<int>(packed / kSecondsPerMonth % 12 + 1);
  t.year = static_cast<int>(packed / kSecondsPerYear) + kFirstYear;
  return t;
}

TerminalClock::TerminalClock(uint32_t packed, bool runs)
    : set_to_(packed), set_at_tick_(platform::TickCount()), runs_(runs) {}

uint32_t TerminalClock::Now() const {
  if (!runs_) return set_to_;
  return Advance(set_to_, platform::TicksSince(set_at_tick_) / 1000);
}

void TerminalClock::Set(uint32_t packed) {
  set_to_ = packed;
  set_at_tick_ = platform::TickCount();
}

}  // namespace termsim
