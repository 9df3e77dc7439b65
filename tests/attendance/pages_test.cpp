// The three pages and the record files, byte for byte, for two users over
// two days; the pages' texts against the converter's GB2312.
#include <cstring>

#include "attendance/page_texts.h"
#include "attendance/report_pages.h"
#include "attendance_inputs_builder.h"
#include "page_text_table.h"

namespace attendance_test {
namespace {

TEST(PageTexts, EachIsItsGb2312) {
  for (const auto& [bytes, utf8] : attendance::text::kAllTexts) {
    EXPECT_EQ(std::string(bytes), ToGb2312(utf8)) << utf8;
  }
  EXPECT_EQ(attendance::text::kExceptions, "\xBF\xBC\xC7\xDA\xD2\xEC\xB3\xA3");
  EXPECT_EQ(std::size(attendance::text::kAllTexts), 27u);
}

// Ada (ID "12", group 1) works slot 1, 09:00-18:00: late and early on
// 05-01, absent on 05-02. Bo (no department) works a midnight slot whose
// number's low byte names no slot.
class Pages : public testing::Test {
 protected:
  void SetUp() override {
    in.rule.title = "Main";
    in.rule.workday_min = 480;
    in.rule.attend_unit = 2;
    in.rule.late_unit = 1;
    in.rule.early_unit = 0;
    in.rule.absent_unit = 3;
    in.slots = {{1, "Day", 9, 0, 18, 0}, {261, "Mid", 0, 0, 8, 0}};
    in.departments = {{1, "Office"}};
    in.AddUser(1, "12", "Ada & <Co>", 1, {1, 0, 0, 0});
    in.AddUser(2, "12345", "Bo", 9, {261, 0, 0, 0});
    in.AddPunch(1, T(2024, 5, 1, 17, 59), 1);
    in.AddPunch(1, T(2024, 5, 1, 9, 10), 0);
    in.AddPunch(2, T(2024, 5, 1, 0, 5), 0);
    in.AddPunch(2, T(2024, 5, 2, 0, 0), 0);
    files = std::make_unique<Files>(in);
    tables = std::make_unique<attendance::InputTables>(files->punches, files->users,
                                                       files->departments, files->slots);
    rule = attendance::PrepareAttendance(files->rule);
    for (const uint16_t pin : {1, 2}) {
      attendance::CalculateUser(rule, *tables, pin, d1, d2, records);
    }
  }

  static std::string Header(const std::string& title, const std::string& heading) {
    return "<html>\r\n<head>\r\n<meta http-equiv=Content-Type content=text/html; "
           "charset=gb2312>\r\n<title>" + title + "</title>\r\n</head>\r\n<body>\r\n"
           "<p align=center>" + heading + "</p>\r\n";
  }
  static std::string DateLine() {
    return "<p align=left>Main</p>\r\n<p align=left>日期:05-01&nbsp;至&nbsp;05-02</p>\r\n";
  }
  static constexpr const char* kFooter = "</body>\r\n</html>\r\n";

  Inputs in;
  std::unique_ptr<Files> files;
  std::unique_ptr<attendance::InputTables> tables;
  attendance::AttendanceRule rule;
  attendance::RecordFiles records;
  const uint32_t d1 = T(2024, 5, 1), d2 = T(2024, 5, 2);
};

TEST_F(Pages, PunchList) {
  const std::string label = "工号";
  std::string want = Header(label, "流水纪录") + "<p align=left>" + label + ":</p>\r\n<p>　</p>\r\n";
  const auto headings = [](int from, int to) {
    std::string h;
    for (int d = from; d <= to; ++d) {
      char b[8];
      std::snprintf(b, sizeof b, "%02d", d);
      h += std::string("<td width=6% height=32 align=center>") + b + "</td>";
    }
    return h;
  };
  const auto cell = [](std::vector<std::string> times) {
    std::string c = "<td width=6% height=1 align=center>\r\n"
                    "<table border=0 cellpadding=0 cellspacing=0 width=59%>\r\n";
    for (const auto& t : times) c += "<tr>\r\n<td width=100% align=left>" + t + "</td>\r\n</tr>\r\n";
    if (times.empty()) c += "<tr>\r\n<td width=100% align=left>&nbsp;</td>\r\n</tr>\r\n";
    return c + "</table>\r\n</td>\r\n";
  };
  const auto table = [&](const std::string& id, const std::string& name,
                         const std::string& dept, const std::string& cells) {
    return "<table border=1 width=102% height=1 cellspacing=1 cellpadding=0>\r\n<tr>\r\n"
           "<td width=100% height=32 align=center colspan=16>\r\n<p align = left>" +
           label + ":" + id + "&nbsp;&nbsp;" + label + ":" + name +
           "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;" + label + ":" + dept +
           "</p>\r\n</td>\r\n</tr>\r\n<tr>\r\n" + headings(1, 16) + "</tr>\r\n<tr>\r\n" + cells +
           "</tr>\r\n<tr>\r\n" + headings(17, 31) +
           "<td width=6% height=32 align=center>&nbsp;</td></tr>\r\n<tr>\r\n"
           "<td width=6% height=1 align=center>\r\n<p align=left>&nbsp;</p>\r\n</td>\r\n</tr>\r\n"
           "</table>\r\n<p>　</p>\r\n";
  };
  want += table("12", "Ada &amp; &lt;Co&gt;", "Office", cell({"09:10", "17:59"}) + cell({}));
  want += table("12345", "Bo", "&nbsp", cell({"00:05"}) + cell({"00:00"}));
  want += kFooter;
  ExpectSameBytes(ToGb2312(want),
                  attendance::WritePunchReport(*tables, true, ToGb2312(label), d1, d2));
  EXPECT_EQ(attendance::WritePunchReport(*tables, false, "x", d1, d2), "");
}

TEST_F(Pages, Exceptions) {
  std::string want = Header("考勤异常", "考勤异常") + DateLine() + "<table border=1 width=98%>\r\n<tr>\r\n";
  for (const char* h : {"日期", "工号", "姓名", "部门", "班次"}) {
    want += std::string(" <td width=8% rowspan=2>") + h + "</td>\r\n";
  }
  want += " <td width=11%>上班时间</td>\r\n <td width=11%>签到时间</td>\r\n"
          " <td width=12% rowspan=2>异常</td>\r\n <td width=8% rowspan=2>工作时长</td>\r\n"
          " <td width=3% rowspan=2>加班 </td>\r\n <td width=7% rowspan=2>请假</td>\r\n"
          " <td width=9% rowspan=2>其它</td>\r\n</tr>\r\n"
          "<tr>\r\n <td width=11%>上班时间</td>\r\n <td width=11%>签到时间</td>\r\n</tr>\r\n";
  const auto row = [](const std::string& date, const std::string& badge, const std::string& name,
                      const std::string& dept, const std::string& slot, const std::string& times,
                      const std::string& punches, const std::string& exception,
                      const std::string& hours) {
    return "<tr>\r\n<td width=8%>" + date + "</td>\r\n<td width=8%>" + badge +
           "</td>\r\n<td width=8%>" + name + "</td>\r\n<td width=8%>" + dept +
           "</td>\r\n<td width=8%>" + slot + "</td>\r\n<td width=11%>" + times +
           "</td>\r\n<td width=11%>" + punches + "</td>\r\n<td width=12%>" + exception +
           "<td width=8%>" + hours + "</td>\r\n<td width=7%>　</td>\r\n<td width=7%>　</td>\r\n"
           "<td width=9%>　</td>\r\n</tr>\r\n";
  };
  const std::string ada = "Ada &amp; &lt;Co&gt;";
  want += row("05-01", "00012", ada, "Office", "Day", "09:00\r\n<p>18:00", "09:10\r\n<p>17:59",
              "迟到(10分钟)\r\n<p>早退(60次)</td>\r\n", "8");
  want += row("05-02", "00012", ada, "Office", "Day", "09:00\r\n<p>18:00",
              "&nbsp\r\n<p>&nbsp\r\n", "旷工</td>\r\n", "0");
  want += row("05-01", "12345", "Bo", "&nbsp", "未设定", "&nbsp\r\n<p>08:00",
              "00:05\r\n<p>&nbsp\r\n", "迟到(5分钟)\r\n<p>&nbsp</td>\r\n", "0");
  want += row("05-02", "12345", "Bo", "&nbsp", "未设定", "&nbsp\r\n<p>08:00",
              "&nbsp\r\n<p>&nbsp\r\n", "&nbsp\r\n<p>&nbsp</td>\r\n", "0");
  want += std::string("</table>\r\n") + kFooter;
  ExpectSameBytes(ToGb2312(want),
                  attendance::WriteExceptionReport(rule, *tables, records.periods, d1, d2));
}

TEST_F(Pages, Statistics) {
  std::string want = Header("考勤统计", "考勤统计") + DateLine() + "<table border=1 width=100%>\r\n<tr>\r\n";
  const std::pair<const char*, const char*> heads[] = {
      {"8", "工号"}, {"8", "姓名"}, {"8", "部门"}, {"8", "应到"}, {"8", "实到"}, {"8", "迟到"},
      {"8", "早退"}, {"8", "旷工"}, {"9", "工作时长"}, {"8", "请假"}, {"9", "加班"}, {"9", "其它"}};
  for (const auto& [w, h] : heads) want += std::string("<td width=") + w + "%>" + h + "</td>\r\n";
  want += "</tr>\r\n";
  const auto row = [](std::vector<std::string> cells) {
    std::string r = "<tr>\r\n";
    for (size_t i = 0; i < cells.size(); ++i) {
      r += (i < 10 ? "<td width=8%>" : "<td width=9%>") + cells[i] + "</td>\r\n";
    }
    return r + "</tr>\r\n";
  };
  want += row({"00012", "Ada &amp; &lt;Co&gt;", "Office", "18(小时)", "9(小时)", "10(分钟)",
               "1(次)", "0(天)", "8", "&nbsp", "&nbsp", "&nbsp"});
  want += row({"12345", "Bo", "&nbsp", "16(小时)", "16(小时)", "5(分钟)", "0(次)", "0(天)", "0",
               "&nbsp", "&nbsp", "&nbsp"});
  want += std::string("</table>\r\n") + kFooter;
  ExpectSameBytes(ToGb2312(want),
                  attendance::WriteStatisticsReport(rule, *tables, records.days, d1, d2));
}

TEST_F(Pages, RecordFilesByteExact) {
  ASSERT_EQ(records.periods.size(), 4u * 60);
  Bytes period(60, 0);
  wire::ByteWriter w(period);
  for (const uint32_t v : {1u, 0u}) w.U32(v);
  for (const uint8_t b : {1, 0, 0, 0, 0, 0, 1, 1}) w.U8(b);  // slot, -, -, noin, noout, absent
  for (const uint32_t v : {T(2024, 5, 1), T(2024, 5, 1, 9, 0), T(2024, 5, 1, 18, 0),
                           T(2024, 5, 1, 9, 10), T(2024, 5, 1, 17, 59), 0u, 0x3F800000u, 600u,
                           60u, 0u, 31740u}) {
    w.U32(v);
  }
  EXPECT_EQ(Bytes(records.periods.begin(), records.periods.begin() + 60), period);
  EXPECT_EQ(records.periods[40], 0x00);
  EXPECT_EQ(records.periods[43], 0x3F);

  ASSERT_EQ(records.days.size(), 2u * 104);
  Bytes day(104, 0);
  wire::ByteWriter d(day);
  for (const uint32_t v : {1u, 57600u, 64800u, 28800u, 32400u, 1u, 600u, 1u, 60u, 28800u, 32400u,
                           1u, 0u, 0u}) {
    d.U32(v);
  }
  d.Bytes(Bytes(16, 0));
  d.U16(1);  // missing check-in (the absent day)
  d.U16(1);
  d.Bytes(Bytes(16, 0));
  d.U32(31740);
  for (const uint16_t v : {4, 1, 1, 1}) d.U16(v);
  EXPECT_EQ(Bytes(records.days.begin(), records.days.begin() + 104), day);

  ASSERT_EQ(records.punches.size(), 4u * 16);
  const auto notes = Notes(records);
  EXPECT_EQ(notes[0].time, T(2024, 5, 1, 9, 10));
  EXPECT_EQ(notes[0].newtype, 'I');
  EXPECT_EQ(notes[1].newtype, 'O');
}

}  // namespace
}  // namespace attendance_test

namespace attendance_test {
namespace {

struct Built {
  attendance::RecordFiles records;
  std::string pages[3];
};

Built Build(const Files& f, uint32_t d1, uint32_t d2) {
  const attendance::InputTables tables(f.punches, f.users, f.departments, f.slots);
  const auto rule = attendance::PrepareAttendance(f.rule);
  Built b;
  for (size_t i = 0; i < tables.user_count(); ++i) {
    attendance::CalculateUser(rule, tables, attendance::ReadUser(tables.UserRecord(i)).pin, d1, d2,
                              b.records);
  }
  b.pages[0] = attendance::WritePunchReport(tables, true, "L", d1, d2);
  b.pages[1] = attendance::WriteExceptionReport(rule, tables, b.records.periods, d1, d2);
  b.pages[2] = attendance::WriteStatisticsReport(rule, tables, b.records.days, d1, d2);
  return b;
}

TEST(BrokenInputs, BoundedAndDeterministic) {
  Inputs in;
  in.rule.workday_min = 480;
  in.rule.late_unit = 9;  // no such unit: counts as 0
  in.rule.early_unit = 200;
  in.slots = {{1, "Day", 9, 0, 18, 0}, {2, "Long", 250, 0, 255, 255}, {3, "Late", 20, 0, 21, 0}};
  const std::string full24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
  in.AddUser(1, full24, full24, 1, {1, 3, 0, 0});  // unterminated texts
  in.AddUser(2, "2", "Hours", 1, {2, 0, 0, 0});
  in.AddUser(3, "3", "Unordered", 1, {3, 1, 0, 0});
  in.AddUser(0, "0", "Nobody", 1, {1, 0, 0, 0});
  in.AddPunch(1, T(2024, 5, 1, 9, 10), 0);
  in.AddPunch(1, 0, 0);                       // no time
  in.AddPunch(1, 1924790400u, 0);             // the no-time mark
  in.AddPunch(1, 0xFFFFFFFFu, 1);
  in.AddPunch(2, T(2024, 5, 3, 8, 0), 0);
  in.AddPunch(3, T(2024, 5, 1, 9, 10), 0);
  in.AddPunch(3, T(2024, 5, 1, 20, 5), 0);
  in.AddPunch(0, T(2024, 5, 1, 9, 0), 0);
  Files f(in);
  f.rule.resize(100);                   // a short rule
  f.users.push_back(0x01);              // partial records everywhere
  f.punches.insert(f.punches.end(), 39, 0x02);
  f.slots.insert(f.slots.end(), 7, 0x03);
  f.departments.push_back(0x01);
  const Built a = Build(f, T(2024, 5, 1), T(2024, 5, 2));
  const Built b = Build(f, T(2024, 5, 1), T(2024, 5, 2));
  EXPECT_EQ(a.records.periods, b.records.periods);
  for (int t = 0; t < 3; ++t) EXPECT_EQ(a.pages[t], b.pages[t]) << t;
  // Only user 1's real punch is examined; the no-time ones are not.
  const auto notes = Notes(a.records);
  EXPECT_EQ(std::count_if(notes.begin(), notes.end(), [](const Note& n) { return n.uid == 1; }),
            1);
  // Texts end at their field's end; the unknown unit shows counts.
  EXPECT_NE(a.pages[1].find("<td width=8%>" + full24 + "</td>"), std::string::npos);
  EXPECT_NE(a.pages[1].find("\xB3\xD9\xB5\xBD(600\xB4\xCE)"), std::string::npos);  // late(600 times)
  EXPECT_EQ(a.pages[0].find("Nobody"), std::string::npos);

  // Empty inputs: empty records, pages with no rows.
  const Files none(Inputs{});
  const Built e = Build(none, T(2024, 5, 1), T(2024, 5, 2));
  EXPECT_TRUE(e.records.periods.empty() && e.records.days.empty());
  EXPECT_EQ(e.pages[2].find("<tr>\r\n<td width=8%>" "0"), std::string::npos);
  // An end before the start: no days.
  for (const auto& [from, to] : {std::pair{T(2024, 5, 2), T(2024, 5, 1)},
                                 std::pair{T(2024, 5, 1, 12, 0), T(2024, 5, 1, 11, 0)}}) {
    const Built backwards = Build(f, from, to);
    EXPECT_TRUE(backwards.records.periods.empty());
    EXPECT_EQ(backwards.pages[0].find("<td width=6% height=1 align=center>\r\n<table"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace attendance_test
