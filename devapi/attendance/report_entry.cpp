// Q_SSR_OutPutHtml: the attendance report from the five saved tables.
//
// Every check comes before any file is touched: bad arguments (4), the
// session's user table (-2, or 0 when it is empty). Then each input is read
// once, every chosen user is calculated, the four record files are written
// and the page is built from the records as written.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "attendance/attendance_calculation.h"
#include "attendance/attendance_inputs.h"
#include "attendance/device_calendar.h"
#include "attendance/report_pages.h"
#include "devapi.h"
#include "session/session_io.h"
#include "users/user_cache.h"

namespace devapi {

namespace {

struct Moment {
  int32_t year, month, day, hour, minute, second;
};

bool MomentValid(const Moment& m) {
  if (m.year < 0 || m.month < 1 || m.month > 12 || m.day < 1 || m.day > 31) return false;
  if (m.hour < 0 || m.hour > 24 || m.minute < 0 || m.minute > 60 || m.second < 0 ||
      m.second > 60) {
    return false;
  }
  return attendance::PackMoment(m.year, m.month, m.day, m.hour, m.minute, m.second) <
         attendance::kNoTime;
}

std::string Text(const char* t) { return t == nullptr ? std::string() : std::string(t); }

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// A whole input file; nullopt when it is missing or not a file.
std::optional<std::vector<uint8_t>> ReadInput(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  // Read in large pieces until the end: the size may change while reading.
  constexpr size_t kPiece = 1 << 20;
  for (;;) {
    const size_t have = bytes.size();
    bytes.resize(have + kPiece);
    in.read(reinterpret_cast<char*>(bytes.data() + have), kPiece);
    bytes.resize(have + static_cast<size_t>(in.gcount()));
    if (!in) break;
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

// Creates the file truncated with exactly `bytes`; a file that cannot be
// written whole is removed.
bool WriteOutput(const std::string& path, const void* bytes, size_t size) {
  bool ok = false;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
      out.close();
      ok = !out.fail();
    }
  }
  if (!ok) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) std::filesystem::remove(path, ec);
  }
  return ok;
}

// The PINs of the report's users: -2 or 0 as the result when there are none
// to take.
int32_t ChooseUsers(DeviceSession& s, const std::string& id_text, std::vector<uint16_t>* pins) {
  const int32_t loaded = users::EnsureUserCache(s);
  if (loaded < 0) return -2;
  const auto records = users::CachedRecords(s);
  const size_t stride = users::CacheStride(s);
  if (id_text.empty() && records.empty()) return 0;
  for (size_t at = 0; stride != 0 && at + stride <= records.size(); at += stride) {
    const auto r = records.subspan(at, stride);
    const uint16_t pin = static_cast<uint16_t>(r[0] | (r[1] << 8));
    if (pin == 0) continue;
    if (id_text.empty()) {
      pins->push_back(pin);
      continue;
    }
    if (stride == attendance::kUserBytes && attendance::FieldText(r.subspan(48, 24)) == id_text) {
      pins->push_back(pin);
      break;
    }
  }
  return 1;
}

struct ReportRequest {
  std::string id_text, attlog, users, departments, slots, html, work_dir, rule, label;
  Moment from{}, to{};
  int32_t type = 0;
};

int32_t OutputHtml(DeviceSession& s, const ReportRequest& q) {
  if (!MomentValid(q.from) || !MomentValid(q.to)) return 4;
  const std::string record_paths[4] = {q.work_dir + "RecAbnormite.dat",
                                       q.work_dir + "attexception.dat",
                                       q.work_dir + "AttAbnormite.dat", q.work_dir + "AttDay.dat"};
  const std::string* inputs[] = {&q.attlog, &q.users, &q.departments, &q.slots, &q.rule};
  for (const std::string* in : inputs) {
    if (SameFile(q.html, *in)) return 4;
    for (const std::string& out : record_paths) {
      if (SameFile(out, *in)) return 4;
    }
  }
  std::vector<uint16_t> pins;
  const int32_t chosen = ChooseUsers(s, q.id_text, &pins);
  if (chosen != 1) return chosen;

  const auto rule_bytes = ReadInput(q.rule);
  const auto attlog = ReadInput(q.attlog);
  const auto user_file = ReadInput(q.users);
  const auto departments = ReadInput(q.departments);
  const auto slots = ReadInput(q.slots);
  const auto bytes = [](const std::optional<std::vector<uint8_t>>& f) {
    return f ? std::span<const uint8_t>(*f) : std::span<const uint8_t>();
  };
  const attendance::AttendanceRule rule =
      attendance::PrepareAttendance(bytes(rule_bytes));
  const attendance::InputTables tables(bytes(attlog), bytes(user_file), bytes(departments),
                                       bytes(slots));
  std::string trace = "after prepare!\n";
  const int64_t d1 = attendance::PackMoment(q.from.year, q.from.month, q.from.day, q.from.hour,
                                            q.from.minute, q.from.second);
  const int64_t d2 =
      attendance::PackMoment(q.to.year, q.to.month, q.to.day, q.to.hour, q.to.minute, q.to.second);
  attendance::RecordFiles records;
  for (const uint16_t pin : pins) attendance::CalculateUser(rule, tables, pin, d1, d2, records, &trace);
  std::fwrite(trace.data(), 1, trace.size(), stdout);

  const std::vector<uint8_t>* contents[4] = {&records.punches, nullptr, &records.periods,
                                             &records.days};
  for (size_t i = 0; i < 4; ++i) {
    const std::vector<uint8_t> none;
    const std::vector<uint8_t>& c = contents[i] != nullptr ? *contents[i] : none;
    if (!WriteOutput(record_paths[i], c.data(), c.size())) return -2;
  }
  std::string page;
  switch (q.type) {
    case 1:
      page = attendance::WritePunchReport(tables, user_file.has_value(), q.label, d1, d2);
      break;
    case 2:
      page = attendance::WriteExceptionReport(rule, tables, records.periods, d1, d2);
      break;
    case 3:
      page = attendance::WriteStatisticsReport(rule, tables, records.days, d1, d2);
      break;
    default:
      std::fputs("maybe I finish it\n", stdout);
      std::fflush(stdout);
      return 1;
  }
  std::fflush(stdout);
  return WriteOutput(q.html, page.data(), page.size()) ? 1 : -2;
}

}  // namespace

}  // namespace devapi

DEVAPI_API int32_t Q_SSR_OutPutHtml(DEVAPI_HANDLE handle, const char* id_text,
                                    const char* attlog_file, const char* user_file,
                                    const char* dept_file, const char* slot_file,
                                    int32_t start_year, int32_t start_month, int32_t start_day,
                                    int32_t start_hour, int32_t start_minute,
                                    int32_t start_second, int32_t end_year, int32_t end_month,
                                    int32_t end_day, int32_t end_hour, int32_t end_minute,
                                    int32_t end_second, const char* html_file,
                                    const char* work_dir, const char* rule_file,
                                    int32_t report_type, const char* label) {
  return devapi::Guarded([&]() -> int32_t {
    devapi::DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    using devapi::Text;
    devapi::ReportRequest q;
    q.id_text = Text(id_text);
    q.attlog = Text(attlog_file);
    q.users = Text(user_file);
    q.departments = Text(dept_file);
    q.slots = Text(slot_file);
    q.html = Text(html_file);
    q.work_dir = Text(work_dir);
    q.rule = Text(rule_file);
    q.label = Text(label);
    q.from = {start_year, start_month, start_day, start_hour, start_minute, start_second};
    q.to = {end_year, end_month, end_day, end_hour, end_minute, end_second};
    q.type = report_type;
    return devapi::OutputHtml(*s, q);
  });
}
