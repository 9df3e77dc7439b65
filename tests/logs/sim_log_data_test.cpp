// The simulator's log data sets: generation and log files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termsim {
namespace {

namespace fs = std::filesystem;

TEST(LogGeneration, IsSeededSortedAndInRange) {
  const AttendanceGeneration g{25, 500, 10, 42, 0};
  const auto a = GenerateAttendance(g);
  EXPECT_EQ(a, GenerateAttendance(g));
  EXPECT_NE(a, GenerateAttendance({25, 500, 10, 43, 0}));
  ASSERT_EQ(a.size(), 500u);
  const uint32_t first = PackTime({2024, 1, 1, 7, 0, 0});
  const uint32_t last = PackTime({2024, 1, 10, 19, 0, 0});
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_GE(a[i].user, 1u);
    EXPECT_LE(a[i].user, 25u);
    EXPECT_EQ(a[i].user_id, std::to_string(a[i].user));
    EXPECT_LE(a[i].verify_mode, 3);
    EXPECT_LE(a[i].att_state, 5);
    EXPECT_GE(a[i].time, first);
    EXPECT_LT(a[i].time, last);
    if (i > 0) {
      EXPECT_LE(a[i - 1].time, a[i].time);
    }
  }
  const auto ops = GenerateOpLog({3, 50, 5, 1, 0});
  EXPECT_EQ(ops, GenerateOpLog({3, 50, 5, 1, 0}));
  EXPECT_EQ(ops.size(), 50u);
}

TEST(LogGeneration, DaysFollowTheCalendar) {
  // 2024-02-28 plus two days is 1 March (a leap year).
  const auto a = GenerateAttendance({1, 200, 3, 1, PackTime({2024, 2, 28, 0, 0, 0})});
  bool saw_march = false;
  for (const auto& r : a) {
    const DateTime t = UnpackTime(r.time);
    EXPECT_TRUE((t.month == 2 && (t.day == 28 || t.day == 29)) || (t.month == 3 && t.day == 1));
    saw_march |= t.month == 3;
  }
  EXPECT_TRUE(saw_march);
}

TEST(LogFile, RoundTripsBothLogs) {
  const fs::path path = fs::temp_directory_path() / "termkit_sim_logs_roundtrip.txt";
  LogData data;
  data.attendance = GenerateAttendance({5, 30, 2, 9, 0});
  data.attendance[0].reserved = 513;
  data.operations = GenerateOpLog({2, 10, 2, 9, 0});
  std::string error;
  ASSERT_TRUE(SaveLogFile(path.string(), data, &error)) << error;
  LogData back;
  ASSERT_TRUE(LoadLogFile(path.string(), &back, &error)) << error;
  EXPECT_EQ(back.attendance, data.attendance);
  EXPECT_EQ(back.operations, data.operations);
  fs::remove(path);
}

TEST(LogFile, ShortLinesAndBadLines) {
  const fs::path path = fs::temp_directory_path() / "termkit_sim_logs_lines.txt";
  std::ofstream(path) << "# comment\n\natt,5,0005,1,2,2024-03-04 05:06:07\n"
                         "op,1,boss,7,2024-03-04 05:06:08,12\n";
  LogData data;
  std::string error;
  ASSERT_TRUE(LoadLogFile(path.string(), &data, &error)) << error;
  ASSERT_EQ(data.attendance.size(), 1u);
  AttendanceRecord want;
  want.user = 5;
  want.user_id = "0005";
  want.verify_mode = 1;
  want.att_state = 2;
  want.time = PackTime({2024, 3, 4, 5, 6, 7});
  EXPECT_EQ(data.attendance[0], want);
  ASSERT_EQ(data.operations.size(), 1u);
  EXPECT_EQ(data.operations[0].params[0], 12u);
  EXPECT_EQ(data.operations[0].admin_id, "boss");

  for (const char* bad : {"att,5,x,1,2,2024-13-04 05:06:07", "att,5,x,1,2",
                          "att,x,x,1,2,2024-01-01", "op,1,a,300,2024-01-01", "what,1"}) {
    std::ofstream(path) << bad << "\n";
    EXPECT_FALSE(LoadLogFile(path.string(), &data, &error)) << bad;
    EXPECT_NE(error.find(":1:"), std::string::npos) << error;
  }
  fs::remove(path);
  EXPECT_FALSE(LoadLogFile(path.string(), &data, &error));
}

TEST(LogSettings, ApplyToASimulator) {
  Simulator sim;
  std::string error;
  ASSERT_TRUE(ApplyLogSetting("generate=10,100,3,5", sim, &error)) << error;
  EXPECT_EQ(sim.AttendanceLog(), GenerateAttendance({10, 100, 3, 5, 0}));
  ASSERT_TRUE(ApplyLogSetting("generate=10,100,3,5,2025-06-01", sim, &error)) << error;
  EXPECT_EQ(UnpackTime(sim.AttendanceLog()[0].time).month, 6);
  ASSERT_TRUE(ApplyLogSetting("generate_oplog=20,3,5", sim, &error)) << error;
  EXPECT_EQ(sim.OpLog().size(), 20u);
  EXPECT_TRUE(ApplyLogSetting("attlog_layout=text61", sim, &error));
  EXPECT_TRUE(ApplyLogSetting("oplog_layout=text60", sim, &error));
  for (const char* bad :
       {"generate=1,2,3", "generate_oplog=1,2", "attlog_layout=odd", "oplog_layout=text40",
        "file=/nonexistent/logs.txt", "nothing", "colour=blue"}) {
    EXPECT_FALSE(ApplyLogSetting(bad, sim, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace termsim
