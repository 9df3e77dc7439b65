#include "termsim/live_punches.h"

#include <chrono>
#include <string>

namespace termsim {

std::vector<uint8_t> AttendanceEventPayload(const AttendanceRecord& record) {
  std::vector<uint8_t> out(kAttendanceEventSize, 0);
  const std::string who = record.user_id.empty() ? std::to_string(record.user) : record.user_id;
  for (size_t i = 0; i < who.size() && i < 24; ++i) out[i] = static_cast<uint8_t>(who[i]);
  out[24] = record.verify_mode;
  out[25] = record.att_state;
  const DateTime t = UnpackTime(record.time);
  const int fields[6] = {t.year - 2000, t.month, t.day, t.hour, t.minute, t.second};
  for (int i = 0; i < 6; ++i) out[26 + i] = static_cast<uint8_t>(fields[i]);
  return out;
}

DateTime AddSeconds(const DateTime& t, int64_t seconds) {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                                      std::chrono::day{static_cast<unsigned>(t.day)}};
  const sys_seconds then =
      day + hours{t.hour} + minutes{t.minute} + std::chrono::seconds{t.second + seconds};
  const sys_days then_day = floor<days>(then);
  const year_month_day ymd{then_day};
  const hh_mm_ss<std::chrono::seconds> hms{then - then_day};
  return DateTime{static_cast<int>(ymd.year()),
                  static_cast<int>(static_cast<unsigned>(ymd.month())),
                  static_cast<int>(static_cast<unsigned>(ymd.day())),
                  static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count())};
}

bool LivePunches::Start(Simulator& sim, uint32_t every_ms) {
  Stop();
  if (sim.Users().empty() || every_ms == 0) return false;
  sim_ = &sim;
  every_ms_ = every_ms;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = false;
  }
  return thread_.Start([this] { Run(); });
}

void LivePunches::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.Running()) thread_.Join();
}

uint32_t LivePunches::count() const {
  std::lock_guard<std::mutex> lock(mu_);
  return count_;
}

void LivePunches::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(every_ms_), [&] { return stopping_; })) {
    lock.unlock();
    const bool punched = PunchOnce();
    lock.lock();
    if (punched) ++count_;
  }
}

bool LivePunches::PunchOnce() {
  // Nobody to tell: the terminal keeps still, so what hosts read stays put.
  if (sim_->EventListeners(kAttendanceEventKind) == 0) return false;
  const std::vector<User> users = sim_->Users();
  if (users.empty()) return false;
  uint32_t n;
  {
    std::lock_guard<std::mutex> lock(mu_);
    n = count_;
  }
  const User& who = users[n % users.size()];
  // The terminal's clock moves on by the pause, at least a second, so no
  // two punches share a moment.
  const int64_t step = every_ms_ < 1000 ? 1 : every_ms_ / 1000;
  const DateTime now = AddSeconds(UnpackTime(sim_->ClockPacked()), step);
  sim_->SetClockPacked(PackTime(now));
  AttendanceRecord record;
  record.user = who.pin2 != 0 ? who.pin2 : who.pin;
  record.user_id = who.id_text;
  record.verify_mode = 1;
  record.att_state = now.hour < 12 ? 0 : 1;
  record.time = PackTime(now);
  sim_->AppendAttendanceLog({record});
  sim_->PushEvent(kAttendanceEventKind, AttendanceEventPayload(record));
  return true;
}

}  // namespace termsim
