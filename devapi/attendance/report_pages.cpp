#include "attendance/report_pages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "attendance/attendance_records.h"
#include "attendance/device_calendar.h"
#include "attendance/page_texts.h"
#include "wire/le_bytes.h"

namespace attendance {

namespace {

constexpr std::string_view kNbsp = "&nbsp";
constexpr size_t kShownDays = 31;
constexpr size_t kCellPunches = 128;

// Names and texts from the terminal or the host go in with the markup
// characters written as entities; every other byte stays as it is.
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}


void AppendTwoDigits(std::string& out, int v) {
  if (v >= 100) {
    out += std::to_string(v);
    return;
  }
  out += static_cast<char>('0' + v / 10);
  out += static_cast<char>('0' + v % 10);
}

// "%02d-%02d" of month and day.
void AppendMonthDay(std::string& out, int64_t t) {
  const DeviceDate d = DateOf(t);
  AppendTwoDigits(out, d.month);
  out += '-';
  AppendTwoDigits(out, d.day);
}

// "%02d:%02d" of hour and minute.
void AppendClock(std::string& out, int64_t t) {
  AppendTwoDigits(out, HourOf(t));
  out += ':';
  AppendTwoDigits(out, MinuteOf(t));
}

// A clock time, or the blank when it is 00:00.
void AppendClockOrBlank(std::string& out, int64_t t, std::string_view after) {
  if (HourOf(t) == 0 && MinuteOf(t) == 0) {
    out += "&nbsp\r\n";
    return;
  }
  AppendClock(out, t);
  out += after;
}

void AppendNumber(std::string& out, long long v) {
  out += std::to_string(v);
}

void AppendHeader(std::string& out, std::string_view title, std::string_view heading) {
  out += "<html>\r\n<head>\r\n<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n";
  out += "<title>";
  out += title;
  out += "</title>\r\n</head>\r\n<body>\r\n<p align=center>";
  out += heading;
  out += "</p>\r\n";
}

void AppendFooter(std::string& out) { out += "</body>\r\n</html>\r\n"; }

void AppendDateRange(std::string& out, const AttendanceRule& rule, int64_t d1, int64_t d2) {
  out += "<p align=left>";
  AppendEscaped(out, rule.Title());
  out += "</p>\r\n<p align=left>";
  out += text::kDate;
  out += ":";
  AppendMonthDay(out, d1);
  out += "&nbsp;";
  out += text::kTo;
  out += "&nbsp;";
  AppendMonthDay(out, d2);
  out += "</p>\r\n";
}

// Badge, name and department of a record's user.
struct UserTexts {
  std::string badge, name, department;
};

UserTexts TextsOf(const InputTables& inputs, uint16_t pin) {
  UserTexts t;
  const auto record = inputs.FindUser(pin);
  if (record.empty()) {
    t.department = kNbsp;
    return t;
  }
  const UserView user = ReadUser(record);
  std::string badge(user.id_text);
  if (badge.size() < 5) badge.insert(0, 5 - badge.size(), '0');
  AppendEscaped(t.badge, badge);
  AppendEscaped(t.name, user.name);
  std::string_view department;
  if (inputs.DepartmentName(user.group, &department)) {
    AppendEscaped(t.department, department);
  } else {
    t.department = kNbsp;
  }
  return t;
}

uint32_t U32At(std::span<const uint8_t> r, size_t at) {
  wire::ByteReader reader(r.subspan(at, 4));
  return reader.U32();
}

// ---------------------------------------------------------------- type 1

void AppendDayHeadings(std::string& out, int from, int to) {
  for (int d = from; d <= to; ++d) {
    out += "<td width=6% height=32 align=center>";
    AppendTwoDigits(out, d);
    out += "</td>";
  }
}

void AppendDayCell(std::string& out, std::vector<uint32_t>& times) {
  out += "<td width=6% height=1 align=center>\r\n";
  out += "<table border=0 cellpadding=0 cellspacing=0 width=59%>\r\n";
  std::stable_sort(times.begin(), times.end());
  for (const uint32_t t : times) {
    out += "<tr>\r\n<td width=100% align=left>";
    AppendClock(out, t);
    out += "</td>\r\n</tr>\r\n";
  }
  if (times.empty()) out += "<tr>\r\n<td width=100% align=left>&nbsp;</td>\r\n</tr>\r\n";
  out += "</table>\r\n</td>\r\n";
}

void AppendUserTable(std::string& out, const InputTables& inputs, const UserView& user,
                     std::string_view label, std::array<std::vector<uint32_t>, kShownDays>& cells,
                     size_t days) {
  out += "<table border=1 width=102% height=1 cellspacing=1 cellpadding=0>\r\n<tr>\r\n";
  out += "<td width=100% height=32 align=center colspan=16>\r\n<p align = left>";
  out += label;
  out += ":";
  AppendEscaped(out, user.id_text);
  out += "&nbsp;&nbsp;";
  out += label;
  out += ":";
  AppendEscaped(out, user.name);
  out += "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
  out += label;
  out += ":";
  std::string_view department;
  if (inputs.DepartmentName(user.group, &department)) {
    AppendEscaped(out, department);
  } else {
    out += kNbsp;
  }
  out += "</p>\r\n</td>\r\n</tr>\r\n";
  out += "<tr>\r\n";
  AppendDayHeadings(out, 1, 16);
  out += "</tr>\r\n<tr>\r\n";
  for (size_t d = 0; d < std::min<size_t>(days, 16); ++d) AppendDayCell(out, cells[d]);
  out += "</tr>\r\n<tr>\r\n";
  AppendDayHeadings(out, 17, 31);
  out += "<td width=6% height=32 align=center>&nbsp;</td></tr>\r\n<tr>\r\n";
  for (size_t d = 16; d < days; ++d) AppendDayCell(out, cells[d]);
  out += "<td width=6% height=1 align=center>\r\n<p align=left>&nbsp;</p>\r\n</td>\r\n</tr>\r\n";
  out += "</table>\r\n<p>";
  out += text::kIdeographicSpace;
  out += "</p>\r\n";
}

}  // namespace

std::string WritePunchReport(const InputTables& inputs, bool have_user_file,
                             std::string_view label, int64_t d1, int64_t d2) {
  std::string out;
  if (!have_user_file) return out;
  std::string escaped_label;
  AppendEscaped(escaped_label, label);
  AppendHeader(out, escaped_label, text::kPunchList);
  out += "<p align=left>";
  out += escaped_label;
  out += ":</p>\r\n<p>";
  out += text::kIdeographicSpace;
  out += "</p>\r\n";

  const int64_t first = DayStart(d1);
  const int64_t last = DayStart(d2) + kDaySeconds - 1;
  size_t days = 0;
  for (int64_t p = first; d1 <= d2 && p <= d2 && days < kShownDays; p += kDaySeconds) ++days;
  std::array<std::vector<uint32_t>, kShownDays> cells;
  for (size_t i = 0; i < inputs.user_count(); ++i) {
    const UserView user = ReadUser(inputs.UserRecord(i));
    if (user.pin == 0) continue;
    bool any = false;
    for (auto& cell : cells) cell.clear();
    for (const uint32_t k : inputs.PunchesOf(user.pin)) {
      const uint32_t t = U32At(inputs.PunchRecord(k), 27);
      if (t == 0 || t < first || t > last) continue;
      any = true;
      const size_t day = static_cast<size_t>((t - first) / kDaySeconds);
      if (day < days && cells[day].size() < kCellPunches) cells[day].push_back(t);
    }
    if (any) AppendUserTable(out, inputs, user, escaped_label, cells, days);
  }
  AppendFooter(out);
  return out;
}

std::string WriteExceptionReport(const AttendanceRule& rule, const InputTables& inputs,
                                 std::span<const uint8_t> periods, int64_t d1, int64_t d2) {
  std::string out;
  AppendHeader(out, text::kExceptions, text::kExceptions);
  AppendDateRange(out, rule, d1, d2);
  out += "<table border=1 width=98%>\r\n<tr>\r\n";
  for (const std::string_view h :
       {text::kDate, text::kBadge, text::kName, text::kDepartment, text::kShift}) {
    out += " <td width=8% rowspan=2>";
    out += h;
    out += "</td>\r\n";
  }
  const auto cell = [&](std::string_view open, std::string_view t) {
    out += open;
    out += t;
    out += "</td>\r\n";
  };
  cell(" <td width=11%>", text::kOnDuty);
  cell(" <td width=11%>", text::kSignIn);
  cell(" <td width=12% rowspan=2>", text::kException);
  cell(" <td width=8% rowspan=2>", text::kWorkHours);
  out += " <td width=3% rowspan=2>";
  out += text::kOvertime;
  out += " </td>\r\n";
  cell(" <td width=7% rowspan=2>", text::kLeave);
  cell(" <td width=9% rowspan=2>", text::kOther);
  out += "</tr>\r\n<tr>\r\n";
  cell(" <td width=11%>", text::kOnDuty);
  cell(" <td width=11%>", text::kSignIn);
  out += "</tr>\r\n";

  const DisplayUnit late_unit = UnitOf(rule.late_unit);
  const DisplayUnit early_unit = UnitOf(rule.early_unit);
  for (size_t at = 0; at + kPeriodRecordBytes <= periods.size(); at += kPeriodRecordBytes) {
    const PeriodRecord r = ReadPeriod(periods.subspan(at, kPeriodRecordBytes));
    const UserTexts user = TextsOf(inputs, static_cast<uint16_t>(r.uid));
    out += "<tr>\r\n<td width=8%>";
    AppendMonthDay(out, r.attdate);
    out += "</td>\r\n";
    cell("<td width=8%>", user.badge);
    cell("<td width=8%>", user.name);
    cell("<td width=8%>", user.department);
    out += "<td width=8%>";
    const auto slot = inputs.FindSlot(r.slot);
    if (slot.empty()) {
      out += text::kNotSet;
    } else {
      AppendEscaped(out, ReadSlot(slot).name);
    }
    out += "</td>\r\n";
    for (const auto& [from, to] : {std::pair{r.starttime, r.endtime},
                                  std::pair{r.checkintime, r.checkouttime}}) {
      out += "<td width=11%>";
      AppendClockOrBlank(out, from, "\r\n");
      out += "<p>";
      AppendClockOrBlank(out, to, "");
      out += "</td>\r\n";
    }
    out += "<td width=12%>";
    if (r.absent != 0) {
      out += text::kAbsent;
      out += "</td>\r\n";
    } else {
      const long long late = r.late / late_unit.divisor;
      if (late > 0) {
        out += text::kLate;
        out += "(";
        AppendNumber(out, late);
        out += late_unit.label;
        out += ")\r\n";
      } else {
        out += "&nbsp\r\n";
      }
      const long long early = r.early / early_unit.divisor;
      if (early > 0) {
        out += "<p>";
        out += text::kEarly;
        out += "(";
        AppendNumber(out, early);
        out += early_unit.label;
        out += ")</td>\r\n";
      } else {
        out += "<p>&nbsp</td>\r\n";
      }
    }
    out += "<td width=8%>";
    AppendNumber(out, r.woktime / 3600);
    out += "</td>\r\n";
    for (const std::string_view open : {"<td width=7%>", "<td width=7%>", "<td width=9%>"}) {
      cell(open, text::kIdeographicSpace);
    }
    out += "</tr>\r\n";
  }
  out += "</table>\r\n";
  AppendFooter(out);
  return out;
}

std::string WriteStatisticsReport(const AttendanceRule& rule, const InputTables& inputs,
                                  std::span<const uint8_t> days, int64_t d1, int64_t d2) {
  std::string out;
  AppendHeader(out, text::kStatistics, text::kStatistics);
  AppendDateRange(out, rule, d1, d2);
  out += "<table border=1 width=100%>\r\n<tr>\r\n";
  const auto cell = [&](size_t column, std::string_view t) {
    out += column < 10 ? "<td width=8%>" : "<td width=9%>";
    out += t;
    out += "</td>\r\n";
  };
  const std::string_view headings[] = {
      text::kBadge,  text::kName,      text::kDepartment, text::kScheduled,
      text::kAttended, text::kLate,    text::kEarly,      text::kAbsent,
      text::kWorkHours, text::kLeave,  text::kOvertime,   text::kOther};
  for (size_t c = 0; c < 12; ++c) {
    out += c == 8 || c >= 10 ? "<td width=9%>" : "<td width=8%>";
    out += headings[c];
    out += "</td>\r\n";
  }
  out += "</tr>\r\n";

  const DisplayUnit attend = UnitOf(rule.attend_unit), late = UnitOf(rule.late_unit);
  const DisplayUnit early = UnitOf(rule.early_unit), absent = UnitOf(rule.absent_unit);
  const auto with_unit = [](long long v, const DisplayUnit& unit) {
    std::string t = std::to_string(v);
    t += "(";
    t += unit.label;
    t += ")";
    return t;
  };
  for (size_t at = 0; at + kDaySummaryBytes <= days.size(); at += kDaySummaryBytes) {
    const auto r = days.subspan(at, kDaySummaryBytes);
    const auto field = [&](size_t offset) { return static_cast<int32_t>(U32At(r, offset)); };
    const UserTexts user = TextsOf(inputs, static_cast<uint16_t>(field(0)));
    out += "<tr>\r\n";
    cell(0, user.badge);
    cell(1, user.name);
    cell(2, user.department);
    cell(3, with_unit(field(8) / attend.divisor, attend));
    cell(4, with_unit(field(16) / attend.divisor, attend));
    cell(5, with_unit(rule.late_unit == 0 || late.divisor == 1 ? field(20) : field(24) / late.divisor,
                      late));
    cell(6, with_unit(rule.early_unit == 0 || early.divisor == 1 ? field(28)
                                                                 : field(32) / early.divisor,
                      early));
    cell(7, with_unit(rule.absent_unit == 0 || absent.divisor == 1 ? field(44)
                                                                   : field(40) / absent.divisor,
                      absent));
    cell(8, std::to_string(field(92) / 3600));
    cell(9, kNbsp);
    cell(10, kNbsp);
    cell(11, kNbsp);
    out += "</tr>\r\n";
  }
  out += "</table>\r\n";
  AppendFooter(out);
  return out;
}

}  // namespace attendance
