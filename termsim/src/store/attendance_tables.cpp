// The attendance tables' records, and a shift generator for demos and
// benchmarks.
#include <algorithm>
#include <charconv>
#include <map>
#include <random>

#include "termsim/attendance.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// A text field of `width` bytes: cut, zero-padded, not terminated when full.
void PutField(wire::ByteWriter& w, const std::string& text, size_t width) {
  std::vector<uint8_t> field(width, 0);
  std::copy_n(text.begin(), std::min(text.size(), width), field.begin());
  w.Bytes(field);
}

}  // namespace

std::vector<uint8_t> EncodeRule(const AttendanceRuleFields& r) {
  std::vector<uint8_t> out(136, 0);
  wire::ByteWriter w(out);
  PutField(w, r.title, 48);
  for (const uint32_t v : {r.early_absent_on, r.late_absent_on, 0u, r.dup_minutes,
                           r.late_grace_min, r.early_absent_min, 0u, r.early_grace_min,
                           r.late_absent_min, r.noin_late_min, r.noout_early_min, 0u,
                           r.workday_min}) {
    w.U32(v);  // 48 .. 99
  }
  w.U8(r.noin_mode);
  w.U8(r.noout_mode);
  w.U8(r.ot_status_mode);
  w.U8(r.alt_status_mode);
  w.U32(0);
  w.U32(r.cross_day);  // 108
  w.U32(0);
  w.U32(0);
  for (const uint32_t v : {r.attend_unit, r.late_unit, r.early_unit, r.absent_unit}) w.U32(v);
  return out;
}

bool SetRuleField(const std::string& name, const std::string& value, AttendanceRuleFields* r) {
  if (name == "title") {
    if (value.size() > 48) return false;
    r->title = value;
    return true;
  }
  const std::map<std::string, uint32_t*> words = {
      {"early_absent_on", &r->early_absent_on}, {"late_absent_on", &r->late_absent_on},
      {"dup_minutes", &r->dup_minutes},         {"late_grace_min", &r->late_grace_min},
      {"early_absent_min", &r->early_absent_min}, {"early_grace_min", &r->early_grace_min},
      {"late_absent_min", &r->late_absent_min}, {"noin_late_min", &r->noin_late_min},
      {"noout_early_min", &r->noout_early_min}, {"workday_min", &r->workday_min},
      {"cross_day", &r->cross_day},             {"attend_unit", &r->attend_unit},
      {"late_unit", &r->late_unit},             {"early_unit", &r->early_unit},
      {"absent_unit", &r->absent_unit}};
  const std::map<std::string, uint8_t*> bytes = {{"noin_mode", &r->noin_mode},
                                                 {"noout_mode", &r->noout_mode},
                                                 {"ot_status_mode", &r->ot_status_mode},
                                                 {"alt_status_mode", &r->alt_status_mode}};
  uint32_t v = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
  if (ec != std::errc() || end != value.data() + value.size()) return false;
  if (const auto w = words.find(name); w != words.end()) {
    *w->second = v;
    return true;
  }
  if (const auto b = bytes.find(name); b != bytes.end() && v <= 255) {
    *b->second = static_cast<uint8_t>(v);
    return true;
  }
  return false;
}

std::vector<uint8_t> EncodeDepartments(const std::vector<Department>& departments) {
  std::vector<uint8_t> out(departments.size() * 36, 0);
  wire::ByteWriter w(out);
  for (const Department& d : departments) {
    w.U8(d.number);
    w.U8(0);
    w.U16(0);
    PutField(w, d.name, 32);
  }
  return out;
}

std::vector<uint8_t> EncodeTimeSlots(const std::vector<TimeSlot>& slots) {
  std::vector<uint8_t> out(slots.size() * 20, 0);
  wire::ByteWriter w(out);
  for (const TimeSlot& s : slots) {
    w.U16(s.number);
    PutField(w, s.name, 10);
    w.U32(static_cast<uint32_t>(s.start_hour) << 8 | s.start_minute);
    w.U32(static_cast<uint32_t>(s.end_hour) << 8 | s.end_minute);
  }
  return out;
}

ShiftData GenerateShifts(size_t users, int days, DateTime first_day, uint32_t seed) {
  std::mt19937 rng(seed);
  ShiftData data;
  users = std::min<size_t>(users, 65534);
  for (size_t i = 0; i < users; ++i) {
    User u;
    u.pin = static_cast<uint16_t>(i + 1);
    u.id_text = std::to_string(1001 + i);
    u.name = "Worker " + std::to_string(i + 1);
    u.group = static_cast<uint8_t>(1 + i % 4);
    u.tz_mode = 1;  // slot words: 1, 2, 0, 0
    u.time_zones = {2, 0, 0};
    data.users.push_back(u);
  }
  const uint32_t first = PackTime(first_day) - PackTime(first_day) % 86400;
  // The punches of a day: in and out around each slot's start and end.
  static constexpr int kMarks[4] = {8 * 60, 12 * 60, 13 * 60, 17 * 60};
  for (int d = 0; d < days; ++d) {
    const uint32_t day = first + static_cast<uint32_t>(d) * 86400;
    for (size_t i = 0; i < users; ++i) {
      for (const int mark : kMarks) {
        AttendanceRecord a;
        a.user = static_cast<uint32_t>(i + 1);
        a.user_id = data.users[i].id_text;
        a.verify_mode = 1;
        a.att_state = mark == kMarks[0] || mark == kMarks[2] ? 0 : 1;
        const int minute = mark + static_cast<int>(rng() % 31) - 15;
        a.time = day + static_cast<uint32_t>(minute) * 60 + rng() % 60;
        data.log.push_back(a);
      }
    }
  }
  AttendanceRuleFields rule;
  rule.title = "Shift attendance";
  rule.dup_minutes = 5;
  rule.late_grace_min = 5;
  rule.early_grace_min = 5;
  rule.workday_min = 480;
  rule.attend_unit = 2;
  rule.late_unit = 1;
  rule.early_unit = 1;
  rule.absent_unit = 3;
  data.tables.rule = EncodeRule(rule);
  data.tables.departments =
      EncodeDepartments({{1, "Assembly"}, {2, "Packing"}, {3, "Shipping"}, {4, "Office"}});
  data.tables.slots =
      EncodeTimeSlots({{1, "Morning", 8, 0, 12, 0}, {2, "Afternoon", 13, 0, 17, 0}});
  return data;
}

}  // namespace termsim
