#include "attendance/attendance_calculation.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "attendance/device_calendar.h"

namespace attendance {

namespace {

struct Period {
  int64_t start = 0, end = 0;
  int64_t in_from = 0, in_to = 0, out_from = 0, out_to = 0;
  uint8_t slot = 0;
  float workday = 0;
};

struct Punch {
  int64_t t = kNoTime;
  char type = 'N';
};

struct Point {
  int64_t t = 0, from = 0, to = 0;
  char type = 'O';
  bool check_in = false;
  int32_t period = -1;  // -1: the end point
};

// Seconds of the day of a slot's start and end; an end before the start
// lies on the next day.
struct SlotTimes {
  int64_t s = 0, e = 0;
  uint8_t number = 0;
};

int64_t SecondsOfDay(uint32_t coded) {
  return static_cast<int64_t>((coded >> 8) & 0xFF) * 3600 + static_cast<int64_t>(coded & 0xFF) * 60;
}

std::optional<SlotTimes> FindSlot(const InputTables& inputs, uint16_t word) {
  if (word == 0) return std::nullopt;
  const auto record = inputs.FindSlot(word);
  if (record.empty()) return std::nullopt;
  const SlotView slot = ReadSlot(record);
  SlotTimes t{SecondsOfDay(slot.start), SecondsOfDay(slot.end), static_cast<uint8_t>(word)};
  if (t.e < t.s) t.e += kDaySeconds;
  return t;
}

int64_t Clamp(int64_t t) { return std::clamp<int64_t>(t, 0, kNoTime); }

// A slot of the user's day, as offsets from the day's start.
struct DaySlot {
  int64_t s = 0, e = 0, in_from = 0, in_to = 0, out_from = 0, out_to = 0;
  uint8_t number = 0;
  float workday = 0;
};

// The user's slots of one day, in word order, up to a missing one; the
// same every day.
std::vector<DaySlot> DaySlots(const AttendanceRule& rule, const InputTables& inputs,
                              const UserView& user) {
  std::vector<DaySlot> slots;
  const int64_t day_work = static_cast<int64_t>(rule.workday_min) * 60;
  for (size_t pos = 0; pos < 4; ++pos) {
    if (user.slots[pos] == 0) continue;
    const auto cur = FindSlot(inputs, user.slots[pos]);
    if (!cur) break;  // a missing slot ends the day's slots
    const int64_t s = cur->s, e = cur->e, half = (e - s) / 2;
    DaySlot d;
    d.s = s;
    d.e = e;
    d.in_from = s - half;
    if (pos > 0) {
      const auto prev = FindSlot(inputs, user.slots[pos - 1]);
      if (prev && s - prev->e > 0) d.in_from = s - (s - prev->e) / 2;
    }
    d.in_to = s + half - 60;
    d.out_from = e - half;
    d.out_to = e + half;
    if (pos < 3) {
      const auto next = FindSlot(inputs, user.slots[pos + 1]);
      if (next && next->s - e > 0) d.out_to = e + (next->s - e) / 2 - 60;
    }
    d.number = cur->number;
    d.workday = day_work == 0 ? 0.0f : static_cast<float>((e - s) / day_work);
    slots.push_back(d);
  }
  return slots;
}

std::vector<Period> BuildPeriods(const AttendanceRule& rule, const InputTables& inputs,
                                 const UserView& user, int64_t first_day, int64_t last_day) {
  std::vector<Period> periods;
  const std::vector<DaySlot> slots = DaySlots(rule, inputs, user);
  if (slots.empty()) return periods;
  for (int64_t p = first_day; p <= last_day; p += kDaySeconds) {
    if (!DayExists(p)) continue;
    for (const DaySlot& d : slots) {
      Period period;
      period.start = PlaceOnCalendar(p, d.s);
      period.end = PlaceOnCalendar(p, d.e);
      period.in_from = Clamp(PlaceOnCalendar(p, d.in_from));
      period.in_to = Clamp(PlaceOnCalendar(p, d.in_to));
      period.out_from = Clamp(PlaceOnCalendar(p, d.out_from));
      period.out_to = Clamp(PlaceOnCalendar(p, d.out_to));
      period.slot = d.number;
      period.workday = d.workday;
      periods.push_back(period);
    }
  }
  return periods;
}

std::vector<Point> BuildPoints(const std::vector<Period>& periods) {
  std::vector<Point> points;
  points.reserve(periods.size() * 2);
  for (size_t i = 0; i < periods.size(); ++i) {
    const Period& p = periods[i];
    points.push_back({p.start, p.in_from, p.in_to, 'I', true, static_cast<int32_t>(i)});
    int64_t out_to = p.out_to, out_from = p.out_from;
    if (out_to > p.end + kDaySeconds) out_to -= kDaySeconds;
    if (out_from > p.end) out_from -= kDaySeconds;
    points.push_back({p.end, Clamp(out_from), Clamp(out_to), 'O', false, static_cast<int32_t>(i)});
  }
  return points;
}

// One user's run of the matching loop.
class Matcher {
 public:
  Matcher(const AttendanceRule& rule, uint16_t pin, const std::vector<Period>& periods,
          std::vector<Punch> punches, RecordFiles& out)
      : rule_(rule),
        pin_(pin),
        periods_(periods),
        points_(BuildPoints(periods)),
        punches_(std::move(punches)),
        out_(out),
        dup_(static_cast<int64_t>(rule.dup_minutes) * 60) {
    summary_.uid = pin;
  }

  void Run() {
    p1_ = LoadPoint(0);
    p2_ = LoadPoint(1);
    next_point_ = 2;
    if (p2_.t < p1_.to) p1_.to = p2_.t - 1;
    while (PunchesRemain() || PointsRemain()) {
      if (PunchesRemain() && PointsRemain()) {
        const int result = Classify();
        if (result == -1) {
          PassPoint();
          AdvancePoints();
        } else if (result == 0) {
          TakePunch();
          c0_ = punches_[c1_];
          ++c1_;
          AdvancePoints();
        } else {
          OutsidePunch();
          ++c1_;
        }
      } else if (PunchesRemain()) {
        OutsidePunch();
        ++c1_;
      } else {
        PassPoint();
        AdvancePoints();
      }
    }
    FinishOpen();
    AppendSummary(out_.days, summary_);
  }

 private:
  bool PunchesRemain() const { return c1_ < punches_.size(); }
  bool PointsRemain() const { return p1_.period >= 0; }

  // Positions past the last punch hold the no-time mark and keep no type.
  Punch At(size_t i) const { return i < punches_.size() ? punches_[i] : Punch{}; }
  void Retype(size_t i, char type) {
    if (i < punches_.size()) punches_[i].type = type;
  }

  Point LoadPoint(size_t i) const {
    if (i < points_.size()) return points_[i];
    return Point{kNoTime, kNoTime, kNoTime, 'I', true, -1};
  }
  void AdvancePoints() {
    p0_ = p1_;
    p1_ = p2_;
    p2_ = LoadPoint(next_point_++);
    if (p2_.t < p1_.to) p1_.to = p2_.t - 1;
  }

  bool StatusPairOff(char type) const {
    return (rule_.ot_status_mode != 0 && (type == 'i' || type == 'o')) ||
           (rule_.alt_status_mode != 0 && (type == '0' || type == '1'));
  }

  // 1: C1 is an outside punch; 0: it belongs to P1; -1: P1 passes.
  int Classify() {
    const size_t i = c1_;
    const int64_t c1 = At(i).t, c2 = At(i + 1).t;
    if (c1 < p1_.from) return 1;
    if (!p1_.check_in && c1 < p1_.to) {
      if (At(i + 2).type != 'I') Retype(i + 2, 'O');
      // The last punch of a burst inside the window is the check-out.
      if (c2 < p1_.to || c2 < p1_.t || c2 < c1 + dup_) return 1;
    }
    if (c1 >= p1_.to) return -1;
    if (StatusPairOff(At(i).type)) return 1;
    int result = 0;
    if ((c1 < p0_.to || (c1 < p1_.t && At(i + 1).type != At(i).type)) && c2 < p1_.to) {
      Retype(i + 1, p1_.type);
      Retype(i, p0_.type);
      result = 1;
    }
    if (c1 > p2_.from && c2 > p2_.t) {
      Retype(i, p2_.type);
      // Punches past the middle between the two points belong to the next.
      const int64_t split = p1_.t + (p2_.t - p1_.t) / 2;
      return c1 <= split ? 0 : -1;
    }
    return result;
  }

  void OutsidePunch() {
    const Punch c1 = At(c1_);
    const int64_t c2 = At(c1_ + 1).t;
    uint16_t reason = 1;
    if (!StatusPairOff(c1.type) && (c1.t - c0_.t < dup_ || c2 - c1.t < dup_)) reason = 2;
    AppendPunchNote(out_.punches, pin_, static_cast<uint32_t>(c1.t), c1.type, ' ', reason);
  }

  void PassPoint() {
    if (p1_.check_in) Open(p1_.period);
  }

  void TakePunch() {
    const Punch c1 = punches_[c1_];
    if (p1_.check_in) {
      Open(p1_.period);
      open_->checkintime = static_cast<uint32_t>(c1.t);
    } else {
      if (!open_) return;
      open_->checkouttime = static_cast<uint32_t>(c1.t);
    }
    AppendPunchNote(out_.punches, pin_, static_cast<uint32_t>(c1.t), c1.type,
                    p1_.check_in ? 'I' : 'O', 0);
  }

  void Open(int32_t period) {
    FinishOpen();
    open_.emplace();
    open_->uid = pin_;
    open_->index = static_cast<uint32_t>(period);
    open_period_ = period;
  }

  void FinishOpen() {
    if (!open_) return;
    PeriodRecord& r = *open_;
    const Period& p = periods_[static_cast<size_t>(open_period_)];
    r.slot = p.slot;
    r.starttime = static_cast<uint32_t>(p.start);
    r.endtime = static_cast<uint32_t>(p.end);
    r.workday = p.workday;
    int64_t attdate = DayStart(p.start);
    if (rule_.cross_day != 0 && DayStart(p.end) > attdate) attdate = NextExistingDay(attdate);
    r.attdate = static_cast<uint32_t>(attdate);
    r.mustin = r.mustout = 1;
    int64_t late = 0, early = 0, worked = 0;
    const bool has_in = r.checkintime != 0, has_out = r.checkouttime != 0;
    if (!has_in && !has_out) {
      r.absent = 1;
      r.noin = r.noout = 2;
    } else {
      if (has_in) {
        const int64_t d = ElapsedSeconds(p.start, r.checkintime);
        if (d > static_cast<int64_t>(rule_.late_grace_min) * 60) late = d;
      }
      r.noin = has_in ? 0 : 1;
      if (has_out) {
        const int64_t d = ElapsedSeconds(r.checkouttime, p.end);
        if (d > 0 && d > static_cast<int64_t>(rule_.early_grace_min) * 60) early = d;
      }
      r.noout = has_out ? 0 : 1;
    }
    if (rule_.late_absent_on != 0 && late > static_cast<int64_t>(rule_.late_absent_min) * 60) {
      r.absent = 1;
    }
    if (rule_.early_absent_on != 0 && early > static_cast<int64_t>(rule_.early_absent_min) * 60) {
      r.absent = 1;
    }
    if (r.absent == 1) {
      late = early = 0;
    } else if (r.noin != 1 && r.noout != 1) {
      worked = ElapsedSeconds(r.checkintime, r.checkouttime);
    }
    r.late = static_cast<int32_t>(late);
    r.early = static_cast<int32_t>(early);
    r.woktime = static_cast<int32_t>(worked);
    AppendPeriod(out_.periods, r);
    AddToSummary(r, p, late, early, worked);
    open_.reset();
  }

  void AddToSummary(const PeriodRecord& r, const Period& p, int64_t late, int64_t early,
                    int64_t worked) {
    DaySummary& d = summary_;
    const auto w = static_cast<int64_t>(
        std::trunc(static_cast<double>(rule_.workday_min) * static_cast<double>(r.workday) * 60.0));
    const int64_t s = ElapsedSeconds(p.start, p.end);
    d.scheduled_workday += w;
    d.scheduled += s;
    if (r.absent != 1) {  // excepid is always 0 here
      d.attended_workday += w;
      d.attended += s;
    }
    if (late > 0) {
      ++d.late_count;
      d.late += late;
    }
    if (early > 0) {
      ++d.early_count;
      d.early += early;
    }
    if (r.absent == 1) {
      d.absent_workday += w;
      d.absent += s;
      ++d.absent_count;
    }
    if (r.noin == 1 || r.noin == 2) ++d.noin_count;
    if (r.noout == 1 || r.noout == 2) ++d.noout_count;
    if (r.checkintime != 0) ++d.checkin_count;
    if (r.checkouttime != 0) ++d.checkout_count;
    d.required += 2;
    if (worked > 0) {
      d.worked += worked;
      if (r.workday > 0) ++d.worked_count;
    }
  }

  const AttendanceRule& rule_;
  const uint16_t pin_;
  const std::vector<Period>& periods_;
  const std::vector<Point> points_;
  std::vector<Punch> punches_;
  RecordFiles& out_;
  const int64_t dup_;
  DaySummary summary_;

  Point p0_{0, 0, 0, 'O', false, -1};
  Point p1_, p2_;
  size_t next_point_ = 0;
  size_t c1_ = 0;
  Punch c0_{0, 'N'};
  std::optional<PeriodRecord> open_;
  int32_t open_period_ = -1;
};

char PunchType(uint8_t status) {
  static constexpr char kTypes[] = "IOTBio";
  return status < 6 ? kTypes[status] : 'N';
}

}  // namespace

void CalculateUser(const AttendanceRule& rule, const InputTables& inputs, uint16_t pin, int64_t d1,
                   int64_t d2, RecordFiles& out, std::string* trace) {
  // An end before the start has no days.
  if (pin == 0 || d2 < d1) return;
  const auto record = inputs.FindUser(pin);
  if (record.empty()) return;
  const UserView user = ReadUser(record);
  if (trace != nullptr) {
    *trace += "d1: " + std::to_string(d1) + "\td2: " + std::to_string(d2) + "\n";
    *trace += "user.tineszone: " + std::to_string(user.slots[0]) + "\t" +
              std::to_string(user.slots[1]) + "\t" + std::to_string(user.slots[2]) + "\t" +
              std::to_string(user.slots[3]) + "\n";
  }
  const int64_t first_day = DayStart(d1), last_day = DayStart(d2);
  const std::vector<Period> periods = BuildPeriods(rule, inputs, user, first_day, last_day);
  if (periods.empty()) return;

  // Punches of the range, widened to the periods' windows.
  int64_t lo = first_day, hi = last_day + kDaySeconds - 1;
  for (const Period& p : periods) {
    lo = std::min(lo, p.in_from);
    hi = std::max(hi, p.out_to);
  }
  std::vector<Punch> punches;
  for (const uint32_t i : inputs.PunchesOf(pin)) {
    const auto r = inputs.PunchRecord(i);
    const int64_t t = static_cast<int64_t>(r[27]) | static_cast<int64_t>(r[28]) << 8 |
                      static_cast<int64_t>(r[29]) << 16 | static_cast<int64_t>(r[30]) << 24;
    if (t <= 0 || t >= kNoTime || t < lo || t > hi) continue;
    punches.push_back({t, PunchType(r[31])});
  }
  if (trace != nullptr) {
    *trace += "logcount: " + std::to_string(punches.size()) + "\n";
    *trace += "after GetEasyWorkTime User: " + std::to_string(pin) + "\n";
  }
  if (punches.empty()) return;
  std::stable_sort(punches.begin(), punches.end(),
                   [](const Punch& a, const Punch& b) { return a.t < b.t; });
  Matcher(rule, pin, periods, std::move(punches), out).Run();
}

}  // namespace attendance
