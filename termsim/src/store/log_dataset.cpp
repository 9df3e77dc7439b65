// Log data sets: generated ones and log files.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <optional>
#include <random>
#include <string_view>

#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termsim {

namespace {

constexpr uint32_t kSecondsPerDay = 24 * 60 * 60;
constexpr uint32_t kWorkdayStart = 7 * 60 * 60;
constexpr uint32_t kWorkdayLength = 12 * 60 * 60;
constexpr int kDefaultStartYear = 2024;  // generated data starts on 1 January of it

bool Fail(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
  return false;
}

// The packed time of the day's midnight `day` days after `start`: days run
// through the 31-day months of packed time, so real dates come from the
// calendar.
uint32_t DayStart(uint32_t start, uint32_t day) {
  DateTime d = UnpackTime(start);
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (uint32_t i = 0; i < day; ++i) {
    const bool leap = d.year % 4 == 0;
    const int in_month = d.month == 2 && leap ? 29 : kDays[d.month - 1];
    if (++d.day > in_month) {
      d.day = 1;
      if (++d.month > 12) {
        d.month = 1;
        ++d.year;
      }
    }
  }
  d.hour = d.minute = d.second = 0;
  return PackTime(d);
}

uint32_t StartOrDefault(uint32_t start) {
  return start != 0 ? start : PackTime(DateTime{kDefaultStartYear, 1, 1, 0, 0, 0});
}

std::vector<std::string> Split(std::string_view line, char sep) {
  std::vector<std::string> out;
  size_t from = 0;
  while (true) {
    const size_t at = line.find(sep, from);
    out.emplace_back(line.substr(from, at == std::string_view::npos ? at : at - from));
    if (at == std::string_view::npos) return out;
    from = at + 1;
  }
}

template <typename T>
bool Number(const std::string& text, T* out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

// "YYYY-MM-DD hh:mm:ss", or just "YYYY-MM-DD".
bool ParseTime(const std::string& text, uint32_t* packed) {
  DateTime t;
  int n = 0;
  const int fields = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%n", &t.year, &t.month, &t.day,
                                 &t.hour, &t.minute, &t.second, &n);
  if (fields == 3) {
    t.hour = t.minute = t.second = 0;
  } else if (fields != 6 || static_cast<size_t>(n) != text.size()) {
    return false;
  }
  if (t.year < 2000 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 ||
      t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) {
    return false;
  }
  *packed = PackTime(t);
  return true;
}

std::string TimeText(uint32_t packed) {
  const DateTime t = UnpackTime(packed);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// Field `i` of a line, or "" past its end (optional trailing fields).
std::string Field(const std::vector<std::string>& f, size_t i) {
  return i < f.size() ? f[i] : std::string();
}

bool NumberOrZero(const std::string& text, uint32_t* out) {
  if (text.empty()) {
    *out = 0;
    return true;
  }
  return Number(text, out);
}

bool ParseAttendance(const std::vector<std::string>& f, AttendanceRecord* a) {
  uint32_t verify = 0, state = 0, work = 0, reserved = 0;
  if (f.size() < 6 || !Number(f[1], &a->user) || !Number(f[3], &verify) || !Number(f[4], &state) ||
      verify > 255 || state > 255 || !ParseTime(f[5], &a->time) ||
      !NumberOrZero(Field(f, 6), &work) || !NumberOrZero(Field(f, 8), &reserved) ||
      reserved > 0xFFFF) {
    return false;
  }
  a->user_id = f[2];
  a->verify_mode = static_cast<uint8_t>(verify);
  a->att_state = static_cast<uint8_t>(state);
  a->work_code = work;
  a->work_code_text = Field(f, 7);
  a->reserved = static_cast<uint16_t>(reserved);
  return a->user_id.size() <= 24 && a->work_code_text.size() <= 24;
}

bool ParseOperation(const std::vector<std::string>& f, OpLogRecord* o) {
  uint32_t operation = 0;
  if (f.size() < 5 || !Number(f[1], &o->admin) || !Number(f[3], &operation) || operation > 255 ||
      !ParseTime(f[4], &o->time)) {
    return false;
  }
  for (size_t i = 0; i < 4; ++i) {
    if (!NumberOrZero(Field(f, 5 + i), &o->params[i])) return false;
  }
  o->admin_id = f[2];
  o->operation = static_cast<uint8_t>(operation);
  o->second_id = Field(f, 9);
  o->text = Field(f, 10);
  return o->admin_id.size() <= 24 && o->second_id.size() <= 24 && o->text.size() <= 23;
}

// `count` numbers separated by commas, then an optional start date.
bool ParseGeneration(const std::string& value, size_t count, std::vector<uint32_t>* numbers,
                     uint32_t* start) {
  const auto f = Split(value, ',');
  if (f.size() != count && f.size() != count + 1) return false;
  numbers->assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    if (!Number(f[i], &(*numbers)[i])) return false;
  }
  *start = 0;
  return f.size() == count || ParseTime(f[count], start);
}

std::optional<AttLogLayout> AttLayoutNamed(const std::string& name) {
  if (name == "auto") return AttLogLayout::kAuto;
  if (name == "compressed") return AttLogLayout::kCompressed;
  if (name == "extended") return AttLogLayout::kExtended;
  if (name == "text40") return AttLogLayout::kTextId40;
  if (name == "text22") return AttLogLayout::kTextId22;
  if (name == "text61") return AttLogLayout::kTextId61;
  return std::nullopt;
}

std::optional<OpLogLayout> OpLayoutNamed(const std::string& name) {
  if (name == "auto") return OpLogLayout::kAuto;
  if (name == "compact") return OpLogLayout::kCompact;
  if (name == "extended") return OpLogLayout::kExtended;
  if (name == "text60") return OpLogLayout::kTextId;
  return std::nullopt;
}

}  // namespace

std::vector<AttendanceRecord> GenerateAttendance(const AttendanceGeneration& g) {
  std::mt19937 rng(g.seed);
  const uint32_t start = StartOrDefault(g.start);
  const uint32_t users = std::clamp<uint32_t>(g.users, 1, 65534);
  const uint32_t days = std::max<uint32_t>(g.days, 1);
  std::vector<AttendanceRecord> out;
  out.reserve(g.punches);
  for (uint32_t i = 0; i < g.punches; ++i) {
    AttendanceRecord a;
    const uint32_t day = rng() % days;
    a.time = DayStart(start, day) + kWorkdayStart + rng() % kWorkdayLength;
    a.user = 1 + rng() % users;
    a.user_id = std::to_string(a.user);
    a.verify_mode = static_cast<uint8_t>(rng() % 4);
    a.att_state = static_cast<uint8_t>(rng() % 6);
    if (rng() % 4 == 0) {
      a.work_code = 1 + rng() % 999;
      a.work_code_text = "WC" + std::to_string(a.work_code);
    }
    out.push_back(std::move(a));
  }
  std::stable_sort(
      out.begin(), out.end(),
      [](const AttendanceRecord& x, const AttendanceRecord& y) { return x.time < y.time; });
  return out;
}

std::vector<OpLogRecord> GenerateOpLog(const OpLogGeneration& g) {
  std::mt19937 rng(g.seed);
  const uint32_t start = StartOrDefault(g.start);
  const uint32_t admins = std::clamp<uint32_t>(g.admins, 1, 65534);
  const uint32_t days = std::max<uint32_t>(g.days, 1);
  std::vector<OpLogRecord> out;
  out.reserve(g.count);
  for (uint32_t i = 0; i < g.count; ++i) {
    OpLogRecord o;
    o.time = DayStart(start, rng() % days) + rng() % kSecondsPerDay;
    o.admin = 1 + rng() % admins;
    o.admin_id = std::to_string(o.admin);
    o.operation = static_cast<uint8_t>(rng() % 31);
    o.params[0] = 1 + rng() % 1000;  // a user number for the user operations
    for (size_t p = 1; p < 4; ++p) o.params[p] = rng() % 0x10000;
    o.second_id = std::to_string(o.params[0]);
    o.text = "op " + std::to_string(o.operation);
    out.push_back(std::move(o));
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const OpLogRecord& x, const OpLogRecord& y) { return x.time < y.time; });
  return out;
}

bool ParseLogLine(const std::string& line, LogData* data) {
  const auto f = Split(line, ',');
  if (f[0] == "att") {
    AttendanceRecord a;
    if (!ParseAttendance(f, &a)) return false;
    data->attendance.push_back(std::move(a));
    return true;
  }
  if (f[0] == "op") {
    OpLogRecord o;
    if (!ParseOperation(f, &o)) return false;
    data->operations.push_back(std::move(o));
    return true;
  }
  return false;
}

bool LoadLogFile(const std::string& path, LogData* data, std::string* error) {
  std::ifstream in(path);
  if (!in) return Fail(error, "cannot open " + path);
  LogData loaded;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (!ParseLogLine(line, &loaded)) {
      return Fail(error, path + ":" + std::to_string(number) + ": bad record");
    }
  }
  *data = std::move(loaded);
  return true;
}

std::string FormatLogLine(const AttendanceRecord& a) {
  std::ostringstream out;
  out << "att," << a.user << ',' << a.user_id << ',' << int{a.verify_mode} << ','
      << int{a.att_state} << ',' << TimeText(a.time) << ',' << a.work_code << ','
      << a.work_code_text << ',' << a.reserved;
  return out.str();
}

std::string FormatLogLine(const OpLogRecord& o) {
  std::ostringstream out;
  out << "op," << o.admin << ',' << o.admin_id << ',' << int{o.operation} << ','
      << TimeText(o.time) << ',' << o.params[0] << ',' << o.params[1] << ',' << o.params[2] << ','
      << o.params[3] << ',' << o.second_id << ',' << o.text;
  return out.str();
}

bool SaveLogFile(const std::string& path, const LogData& data, std::string* error) {
  std::ofstream out(path, std::ios::trunc);
  if (!out) return Fail(error, "cannot create " + path);
  out << "# att,USER,USER_ID,VERIFY,STATE,TIME,WORK_CODE,WORK_CODE_TEXT,RESERVED\n"
         "# op,ADMIN,ADMIN_ID,OPERATION,TIME,P1,P2,P3,P4,SECOND_ID,TEXT\n";
  for (const AttendanceRecord& a : data.attendance) out << FormatLogLine(a) << '\n';
  for (const OpLogRecord& o : data.operations) out << FormatLogLine(o) << '\n';
  out.close();
  return out ? true : Fail(error, "cannot write " + path);
}

bool ApplyLogSetting(const std::string& line, Simulator& sim, std::string* error) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return Fail(error, "no '=' in \"" + line + "\"");
  const std::string key = line.substr(0, eq);
  const std::string value = line.substr(eq + 1);
  if (key == "file") {
    LogData data;
    if (!LoadLogFile(value, &data, error)) return false;
    sim.SetAttendanceLog(std::move(data.attendance));
    sim.SetOpLog(std::move(data.operations));
    return true;
  }
  std::vector<uint32_t> n;
  uint32_t start = 0;
  if (key == "generate") {
    if (!ParseGeneration(value, 4, &n, &start)) {
      return Fail(error, "want generate=USERS,PUNCHES,DAYS,SEED[,YYYY-MM-DD]");
    }
    sim.SetAttendanceLog(GenerateAttendance({n[0], n[1], n[2], n[3], start}));
    return true;
  }
  if (key == "generate_oplog") {
    if (!ParseGeneration(value, 3, &n, &start)) {
      return Fail(error, "want generate_oplog=COUNT,DAYS,SEED[,YYYY-MM-DD]");
    }
    OpLogGeneration g;
    g.count = n[0];
    g.days = n[1];
    g.seed = n[2];
    g.start = start;
    sim.SetOpLog(GenerateOpLog(g));
    return true;
  }
  if (key == "attlog_layout") {
    const auto layout = AttLayoutNamed(value);
    if (!layout) return Fail(error, "unknown attendance layout \"" + value + "\"");
    sim.SetAttendanceLayout(*layout);
    return true;
  }
  if (key == "oplog_layout") {
    const auto layout = OpLayoutNamed(value);
    if (!layout) return Fail(error, "unknown operation-log layout \"" + value + "\"");
    sim.SetOpLogLayout(*layout);
    return true;
  }
  return Fail(error, "unknown log setting \"" + key + "\"");
}

}  // namespace termsim
