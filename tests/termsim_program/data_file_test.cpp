// The data-file reader: sections, what they replace, and messages that name
// the file and line of a bad input.
#include "termsim/data_file.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "termsim/attendance.h"
#include "termsim/simulator.h"

namespace termsimtest {
namespace {

// A data file with the given text, removed at the end of the test.
class DataFile {
 public:
  explicit DataFile(const std::string& text) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = (std::filesystem::temp_directory_path() /
             (std::string("termsim_data_") + info->name() + ".data"))
                .string();
    std::ofstream(path_) << text;
  }
  ~DataFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(DataFileTest, ReadsEverySection) {
  const DataFile file(
      "# a comment before any section\n"
      "[options]\n"
      "~Platform = ZEM560_TFT\n"
      "DeviceID=9\n"
      "\n"
      "[users]\n"
      "pin=1\tpin2=11\tname=Ann\n"
      "# a comment among users\n"
      "pin=2\tid=B-2\tname=Bo\r\n"
      "[attendance]\n"
      "11,11,1,0,2024-02-03 08:00:00\n"
      "2,B-2,0,1,2024-02-03 17:00:00,5,Night\n"
      "[oplog]\n"
      "1,1,4,2024-02-01 09:00:00,2,0,0,0\n"
      "[templates]\n"
      "pin=1\tfinger=3\tdata=0102\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(file.path(), &data, &error)) << error;

  ASSERT_EQ(data.options.size(), 2u);
  EXPECT_EQ(data.options[0], std::make_pair(std::string("~Platform"), std::string("ZEM560_TFT")));
  ASSERT_TRUE(data.users.has_value());
  ASSERT_EQ(data.users->size(), 2u);
  EXPECT_EQ((*data.users)[0].pin2, 11u);
  EXPECT_EQ((*data.users)[1].id_text, "B-2");
  EXPECT_EQ((*data.users)[1].name, "Bo");
  ASSERT_TRUE(data.attendance.has_value());
  ASSERT_EQ(data.attendance->size(), 2u);
  EXPECT_EQ((*data.attendance)[1].user_id, "B-2");
  EXPECT_EQ((*data.attendance)[1].work_code, 5u);
  EXPECT_EQ((*data.attendance)[1].time, termsim::PackTime({2024, 2, 3, 17, 0, 0}));
  ASSERT_TRUE(data.operations.has_value());
  ASSERT_EQ(data.operations->size(), 1u);
  EXPECT_EQ((*data.operations)[0].operation, 4);
  EXPECT_EQ((*data.operations)[0].params[0], 2u);
  ASSERT_TRUE(data.templates.has_value());
  ASSERT_EQ(data.templates->size(), 1u);
  EXPECT_EQ((*data.templates)[0].finger, 3);
  EXPECT_EQ((*data.templates)[0].bytes, (std::vector<uint8_t>{1, 2}));

  // The options go into the profile, the rest into the terminal.
  termsim::Profile profile = termsim::Profile::Ver660();
  termsim::ApplyDataOptions(data, &profile);
  EXPECT_EQ(profile.options["~Platform"], "ZEM560_TFT");
  EXPECT_EQ(profile.options["~DeviceName"], "B3-C");  // untouched
  termsim::Simulator sim(profile);
  termsim::ApplyData(data, sim);
  EXPECT_EQ(sim.Users().size(), 2u);
  EXPECT_EQ(sim.AttendanceLog(), *data.attendance);
  EXPECT_EQ(sim.OpLog(), *data.operations);
  EXPECT_EQ(sim.Templates(), *data.templates);
  // The storage counters report what the terminal now holds.
  EXPECT_EQ(sim.StorageWord(4), 2u);
  EXPECT_EQ(sim.StorageWord(6), 1u);
  EXPECT_EQ(sim.StorageWord(8), 2u);
  EXPECT_EQ(sim.StorageWord(10), 1u);
}

TEST(DataFileTest, LeftOutSectionsKeepWhatTheTerminalHeldAndEmptyOnesClearIt) {
  const DataFile file("[users]\n[oplog]\n# nothing\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(file.path(), &data, &error)) << error;
  termsim::Simulator sim(termsim::Profile::Ver660());
  sim.SetUsers(termsim::GenerateUsers(3, 1));
  sim.SetOpLog(termsim::GenerateOpLog({}));
  termsim::AttendanceRecord punch;
  punch.user = 5;
  punch.time = termsim::PackTime({2024, 1, 2, 8, 0, 0});
  sim.SetAttendanceLog({punch});
  termsim::ApplyData(data, sim);
  EXPECT_TRUE(sim.Users().empty());
  EXPECT_TRUE(sim.OpLog().empty());
  EXPECT_EQ(sim.AttendanceLog().size(), 1u);
}

TEST(DataFileTest, UsersWithTheSamePinCountOnce) {
  const DataFile file("[users]\npin=7\tname=Old\npin=7\tname=New\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(file.path(), &data, &error)) << error;
  termsim::Simulator sim(termsim::Profile::Ver660());
  termsim::ApplyData(data, sim);
  ASSERT_EQ(sim.Users().size(), 1u);
  EXPECT_EQ(sim.Users()[0].name, "New");
  EXPECT_EQ(sim.StorageWord(4), 1u);
}

TEST(DataFileTest, ErrorsNameTheFileAndLine) {
  struct Case {
    std::string text;
    std::string where;   // after the file name
    std::string reason;  // part of the message
  };
  const Case cases[] = {
      {"DeviceID=1\n", ":1: ", "before the first [section]"},
      {"\n[settings]\n", ":2: ", "unknown section [settings]"},
      {"[options\n", ":1: ", "unknown section"},
      {"[options]\n# fine\nDeviceID\n", ":3: ", "NAME=VALUE"},
      {"[options]\n=5\n", ":2: ", "NAME=VALUE"},
      {"[users]\npin=1\n\npin=2\tcolour=red\n", ":4: ", "bad field \"colour=red\""},
      {"[users]\nname=NoPin\n", ":2: ", "pin must be 1-65534"},
      {"[attendance]\n1,1,0,0,2024-01-01 08:00:00\n1,1,0,0,yesterday\n", ":3: ", "bad record"},
      {"[attendance]\nop,1,1,0,2024-01-01 08:00:00\n", ":2: ", "bad record"},
      {"[oplog]\n1,1,300,2024-01-01 08:00:00\n", ":2: ", "bad record"},
      {"[templates]\n\npin=1\tdata=xyz\n", ":3: ", "bad field"},
      {"[templates]\nfinger=1\tdata=00\n", ":2: ", "no pin"},
  };
  for (const Case& c : cases) {
    const DataFile file(c.text);
    termsim::TerminalData data;
    std::string error;
    EXPECT_FALSE(termsim::ReadDataFile(file.path(), &data, &error)) << c.text;
    EXPECT_EQ(error.rfind(file.path() + c.where, 0), 0u) << c.text << " -> " << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(DataFileTest, MissingFileIsNamed) {
  termsim::TerminalData data;
  std::string error;
  EXPECT_FALSE(termsim::ReadDataFile("/nonexistent/terminal.data", &data, &error));
  EXPECT_EQ(error, "/nonexistent/terminal.data: cannot be read");
}

TEST(DataFileTest, TheShippedExampleReads) {
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(TERMSIM_EXAMPLE_DATA, &data, &error)) << error;
  EXPECT_EQ(data.users->size(), 4u);
  EXPECT_EQ(data.attendance->size(), 6u);
  EXPECT_EQ(data.operations->size(), 2u);
  EXPECT_EQ(data.templates->size(), 3u);
}

TEST(DataFileTest, AttendanceSectionsBecomeTheTerminalsTables) {
  const DataFile file(
      "[attrule]\n"
      "title=Office\n"
      "workday_min=480\n"
      "ot_status_mode=1\n"
      "[departments]\n"
      "number=2\tname=R&D\n"
      "[timeslots]\n"
      "number=7\tname=Night\tstart=22:30\tend=255:05\n"
      "[users]\n"
      "pin=1\tid=1\tname=Ann\tslots=7,0,3,65535\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(file.path(), &data, &error)) << error;
  termsim::Simulator sim(termsim::Profile::Tft());
  termsim::ApplyData(data, sim);
  const termsim::AttendanceTables t = sim.GetAttendanceTables();
  ASSERT_TRUE(t.rule && t.departments && t.slots);
  ASSERT_EQ(t.rule->size(), 136u);
  EXPECT_EQ(std::string(t.rule->begin(), t.rule->begin() + 6), "Office");
  EXPECT_EQ((*t.rule)[96] | (*t.rule)[97] << 8, 480);
  EXPECT_EQ((*t.rule)[102], 1);
  ASSERT_EQ(t.departments->size(), 36u);
  EXPECT_EQ((*t.departments)[0], 2);
  EXPECT_EQ(std::string(t.departments->begin() + 4, t.departments->begin() + 7), "R&D");
  ASSERT_EQ(t.slots->size(), 20u);
  EXPECT_EQ((*t.slots)[0], 7);
  EXPECT_EQ((*t.slots)[12], 30);   // start minute
  EXPECT_EQ((*t.slots)[13], 22);   // start hour
  EXPECT_EQ((*t.slots)[17], 255);  // end hour
  // The user's four slot words lie at offset 40 of its 72-byte record.
  const auto users = sim.UserTableBytes();
  ASSERT_EQ(users.size(), 4u + 72u);
  const uint8_t words[8] = {7, 0, 0, 0, 3, 0, 0xFF, 0xFF};
  EXPECT_TRUE(std::equal(words, words + 8, users.begin() + 4 + 40));

  const DataFile bad("[timeslots]\nnumber=1\tname=X\tstart=9\tend=18:00\n");
  EXPECT_FALSE(termsim::ReadDataFile(bad.path(), &data, &error));
  EXPECT_NE(error.find(":2:"), std::string::npos) << error;
}

}  // namespace
}  // namespace termsimtest
