// The attendance tables read off a colour-screen terminal and the reports
// computed from them, through the library over a real link to termsim.
#include "attendance_e2e_fixture.h"

namespace attendance_e2e {
namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST_F(AttendanceE2E, SavedTablesAreWhatTheTerminalHolds) {
  DEVAPI_HANDLE h = Connect();
  ASSERT_NE(h, nullptr);
  const ReportFiles f(dir);
  const termsim::AttendanceTables held = sim->GetAttendanceTables();
  ASSERT_EQ(Q_SSR_ReadAttRule(h), 1);
  // Reading the departments after the rule leaves the rule as it was read.
  ASSERT_EQ(Q_SSR_ReadDPT(h), 1);
  ASSERT_EQ(Q_ReadLog(h, 0), 1);
  ASSERT_EQ(Q_SSR_SaveDate(h, f.rule.c_str(), 3), 1);
  EXPECT_EQ(ReadFile(f.rule), *held.rule);
  EXPECT_EQ(ReadFile(f.rule).size(), 136u);
  ASSERT_EQ(Q_SSR_SaveDate(h, f.departments.c_str(), 4), 1);
  EXPECT_EQ(ReadFile(f.departments), *held.departments);
  ASSERT_EQ(Q_SSR_ReadTurn(h), 1);
  ASSERT_EQ(Q_SSR_SaveDate(h, f.slots.c_str(), 5), 1);
  EXPECT_EQ(ReadFile(f.slots), *held.slots);
}

TEST_F(AttendanceE2E, TableReadFaults) {
  DEVAPI_HANDLE h = Connect();
  ASSERT_NE(h, nullptr);
  const ReportFiles f(dir);
  // A table of several chunks, one lost in the first attempt.
  std::vector<termsim::TimeSlot> many;
  for (uint16_t n = 1; n <= 200; ++n) many.push_back({n, "S" + std::to_string(n), 8, 0, 17, 0});
  termsim::AttendanceTables tables = sim->GetAttendanceTables();
  tables.slots = termsim::EncodeTimeSlots(many);
  sim->SetAttendanceTables(tables);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].lose = {1};
  sim->SetBulkFaults(faults);
  ASSERT_EQ(Q_SSR_ReadTurn(h), 1);
  ASSERT_EQ(Q_SSR_SaveDate(h, f.slots.c_str(), 5), 1);
  EXPECT_EQ(ReadFile(f.slots), *tables.slots);

  // A terminal without departments refuses: 0, and nothing is held.
  ASSERT_EQ(Q_SSR_ReadDPT(h), 1);
  tables.departments.reset();
  sim->SetAttendanceTables(tables);
  EXPECT_EQ(Q_SSR_ReadDPT(h), 0);
  EXPECT_EQ(Q_SSR_SaveDate(h, f.departments.c_str(), 4), 0);
  EXPECT_FALSE(fs::exists(f.departments));

  // A byte count above what arrived keeps only what arrived.
  Bytes overstated(4 + 30);
  wire::ByteWriter w(overstated);
  w.U32(4096);  // announced
  w.Bytes(std::span<const uint8_t>(*tables.slots).first(30));
  faults.transfers[0] = {};
  faults.transfers[0].data = overstated;
  sim->SetBulkFaults(faults);
  ASSERT_EQ(Q_SSR_ReadTurn(h), 1);
  ASSERT_EQ(Q_SSR_SaveDate(h, f.slots.c_str(), 5), 1);
  EXPECT_EQ(ReadFile(f.slots), Bytes(tables.slots->begin(), tables.slots->begin() + 30));

  // No users: 0, and no file is touched.
  sim->SetUsers({});
  EXPECT_EQ(Report(h, f, 2), 0);
  EXPECT_FALSE(fs::exists(f.work + "AttDay.dat"));
  EXPECT_FALSE(fs::exists(f.html));

  // A terminal that does not answer.
  auto* s = static_cast<devapi::DeviceSession*>(h);
  s->cmd_timeout_ms = s->data_timeout_ms = 300;
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  EXPECT_EQ(Q_SSR_ReadAttRule(h), -2);
  EXPECT_EQ(Q_SSR_SaveDate(h, f.rule.c_str(), 3), 0);
  sim->SetFaults({});
}

// Rows of the data file's users over 05-01..05-03: Ada 3 days x 1 slot, Bo
// 3 x 2, the night owl 3 x 1, the user without a department 3 x 1, the one
// whose second slot is missing 3 x 1; the user without slots none.
constexpr size_t kRows = 18;
constexpr size_t kUsersWithRows = 5;
// Punches in the users' ranges (the unknown PIN, time 0, 06-15 and the
// night owl's 04-30 check-in lie outside).
constexpr size_t kExamined = 18;

TEST_F(AttendanceE2E, ThreeReportsOverTheDataFile) {
  DEVAPI_HANDLE h = Connect();
  ASSERT_NE(h, nullptr);
  const ReportFiles f(dir);
  SaveAll(h, f);
  for (const int type : {1, 2, 3}) {
    ASSERT_EQ(Report(h, f, type), 1) << type;
    const std::string page = Text(ReadFile(f.html));
    EXPECT_EQ(page.rfind("<html>\r\n<head>\r\n", 0), 0u) << type;
    EXPECT_EQ(page.substr(page.size() - 18), "</body>\r\n</html>\r\n") << type;
    if (type == 1) {
      // Users with punches in the range: all but the one without slots and
      // the unknown PIN.
      EXPECT_EQ(Count(page, "<table border=1 width=102%"), 5u);
      EXPECT_NE(page.find("Bo &amp; &lt;Co&gt;"), std::string::npos);
    }
    if (type == 2) {
      EXPECT_EQ(Count(page, "<tr>\r\n<td width=8%>"), kRows);
    }
    if (type == 3) {
      EXPECT_EQ(Count(page, "<tr>\r\n<td width=8%>"), kUsersWithRows + 1);  // and the headings
    }
  }
  const Bytes periods = f.Output("AttAbnormite.dat");
  const Bytes days = f.Output("AttDay.dat");
  const Bytes notes = f.Output("RecAbnormite.dat");
  ASSERT_EQ(periods.size(), kRows * 60);
  ASSERT_EQ(days.size(), kUsersWithRows * 104);
  EXPECT_EQ(notes.size(), kExamined * 16);
  EXPECT_TRUE(fs::exists(f.work + "attexception.dat"));
  EXPECT_EQ(f.Output("attexception.dat").size(), 0u);
  // Each summary is the sum of its user's rows.
  for (size_t d = 0; d < kUsersWithRows; ++d) {
    const uint32_t uid = U32(days, d * 104);
    int64_t scheduled = 0, late = 0, worked = 0, absent = 0;
    for (size_t p = 0; p < kRows; ++p) {
      if (U32(periods, p * 60) != uid) continue;
      scheduled += U32(periods, p * 60 + 24) - U32(periods, p * 60 + 20);
      late += static_cast<int32_t>(U32(periods, p * 60 + 44));
      worked += static_cast<int32_t>(U32(periods, p * 60 + 56));
      absent += periods[p * 60 + 13];
    }
    EXPECT_EQ(U32(days, d * 104 + 8), scheduled) << uid;
    EXPECT_EQ(U32(days, d * 104 + 24), late) << uid;
    EXPECT_EQ(U32(days, d * 104 + 92), worked) << uid;
    EXPECT_EQ(U32(days, d * 104 + 44), absent) << uid;
  }
}

TEST_F(AttendanceE2E, UsersFilesAndArguments) {
  DEVAPI_HANDLE h = Connect();
  ASSERT_NE(h, nullptr);
  const ReportFiles f(dir);
  SaveAll(h, f);
  // One user by ID text.
  ASSERT_EQ(Report(h, f, 3, "12"), 1);
  Bytes days = f.Output("AttDay.dat");
  ASSERT_EQ(days.size(), 104u);
  EXPECT_EQ(U32(days, 0), 2u);
  ASSERT_EQ(Report(h, f, 3, "nobody"), 1);
  EXPECT_EQ(f.Output("AttDay.dat").size(), 0u);
  // Every user again, also after the host walked the user table.
  int32_t pin = 0, privilege = 0, enabled = 0, card = 0, group = 0, tz[4] = {};
  char id[25] = {}, name[25] = {}, password[9] = {};
  while (SSR_Q_GetUserInfo(h, &pin, id, name, &privilege, &enabled, password, &card, &group,
                           tz) == 1) {
  }
  ASSERT_EQ(Report(h, f, 3), 1);
  EXPECT_EQ(f.Output("AttDay.dat").size(), kUsersWithRows * 104);
  // A prefix that is not a directory names the files.
  const std::string out = (dir / "out").string();
  ASSERT_EQ(Report(h, f, 2, "", {2024, 5, 1, 0, 0, 0}, {2024, 5, 3, 0, 0, 0}, nullptr,
                   out.c_str()),
            1);
  EXPECT_EQ(ReadFile(dir / "outAttDay.dat").size(), kUsersWithRows * 104);
  // Another type writes the record files and no page.
  const std::string other = (dir / "other.html").string();
  ASSERT_EQ(Report(h, f, 4, "", {2024, 5, 1, 0, 0, 0}, {2024, 5, 3, 0, 0, 0}, other.c_str()), 1);
  EXPECT_FALSE(fs::exists(other));
  // Forty days show 31 in the punch list; 04-31 is no day.
  ASSERT_EQ(Report(h, f, 1, "", {2024, 4, 20, 0, 0, 0}, {2024, 5, 29, 0, 0, 0}), 1);
  const std::string list = Text(ReadFile(f.html));
  EXPECT_EQ(Count(list, "<td width=6% height=1 align=center>\r\n<table"), 31u * 5);
  ASSERT_EQ(Report(h, f, 2, "", {2024, 4, 29, 0, 0, 0}, {2024, 5, 2, 0, 0, 0}), 1);
  EXPECT_EQ(Text(ReadFile(f.html)).find("<td width=8%>04-31"), std::string::npos);
  EXPECT_NE(Text(ReadFile(f.html)).find("<td width=8%>04-30"), std::string::npos);

  // Bad moments and outputs naming inputs: 4, nothing touched.
  const Bytes users = ReadFile(f.users);
  fs::remove(f.html);
  EXPECT_EQ(Report(h, f, 2, "", {2024, 13, 1, 0, 0, 0}), 4);
  EXPECT_EQ(Report(h, f, 2, "", {2024, 5, 1, 25, 0, 0}), 4);
  EXPECT_EQ(Report(h, f, 2, "", {2060, 5, 1, 0, 0, 0}), 4);
  EXPECT_EQ(Report(h, f, 2, "", {2024, 5, 1, 0, 0, 0}, {2024, 5, 3, 0, 0, 0}, f.users.c_str()), 4);
  EXPECT_EQ(ReadFile(f.users), users);
  EXPECT_FALSE(fs::exists(f.html));
  // An output that cannot be written.
  EXPECT_EQ(Report(h, f, 2, "", {2024, 5, 1, 0, 0, 0}, {2024, 5, 3, 0, 0, 0}, nullptr,
                   "/nonexistent-dir/x/"),
            -2);
  EXPECT_EQ(Report(h, f, 2, "", {2024, 5, 1, 0, 0, 0}, {2024, 5, 3, 0, 0, 0},
                   (dir / "no" / "page.html").string().c_str()),
            -2);
  EXPECT_EQ(Q_SSR_OutPutHtml(nullptr, "", "", "", "", "", 2024, 5, 1, 0, 0, 0, 2024, 5, 1, 0, 0, 0,
                             "", "", "", 2, ""),
            -1);
}

}  // namespace
}  // namespace attendance_e2e
