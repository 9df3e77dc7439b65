// The faces and access-control sections of a data file, and the validity
// field of user lines, reach the simulator.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "termsim/data_file.h"
#include "termsim/simulator.h"

namespace {

std::string WriteFile(const std::string& text) {
  const std::string path = ::testing::TempDir() + "access_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                           ".data";
  std::ofstream(path) << text;
  return path;
}

TEST(AccessDataFile, SectionsFillTheTerminal) {
  const std::string path = WriteFile(
      "[users]\npin=3\tname=Ann\tvalid=1,2,2020-01-01 00:00:00,2030-12-31 23:59:59\n"
      "[faces]\npin=3\tindex=2\tdata=0a0b0c\tversion=8\n"
      "[timezones]\nzone=4\ttext=08001700" "00000000" "00000000" "00000000" "00000000"
      "00000000" "00002359\n"
      "[groups]\ngroup=5\tzones=1,2,0\nfixed=3,0,0\tflag=1\tnumber=5\tgroup=6\n"
      "[holidays]\nnumber=30\tdates=12251226\tzone=7\n"
      "[locks]\nunlock=1:2\ncombination=2\tgroups=3,0,5,0,0\n"
      "[messages]\nnumber=9\ttext=Hello\ttag=1\tstart=2024-03-05 08:30:00\tusers=3,4\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(path, &data, &error)) << error;
  termsim::Simulator sim;
  termsim::ApplyData(data, sim);
  const auto valid = sim.ValidityPeriods();
  ASSERT_EQ(valid.count(3), 1u);
  EXPECT_EQ(valid.at(3).start, 642816000u);
  EXPECT_EQ(valid.at(3).value2, 2u);
  const auto faces = sim.Faces();
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_EQ(faces[0].record.size(), termsim::kFaceRecordBytes);
  EXPECT_EQ(faces[0].record[0], 3);  // the template length
  EXPECT_EQ(faces[0].record[4], 2);
  EXPECT_EQ(faces[0].record[6], 8);
  EXPECT_EQ(faces[0].record[18], 0x0c);
  const auto access = sim.GetAccessData();
  EXPECT_EQ(access.zones.at(4)[2], 17);
  EXPECT_EQ(access.zones.at(4)[27], 59);
  EXPECT_EQ(access.groups.at(5).zones[1], 2u);
  EXPECT_EQ(access.groups.at(6).fixed_byte, 0x85);
  EXPECT_EQ(access.holidays.at(30).zone, 7);
  EXPECT_EQ(access.unlock_groups, "1:2");
  EXPECT_EQ(access.combinations.at(2)[2], 5);
  EXPECT_EQ(access.messages.at(9).content, "Hello");
  EXPECT_EQ(access.messages.at(9).start, termsim::PackTime({2024, 3, 5, 8, 30, 0}));
  EXPECT_EQ(access.links.size(), 2u);
  std::remove(path.c_str());
}

TEST(AccessDataFile, ValidityPeriodsSurviveAUserFile) {
  termsim::User user;
  std::string error;
  ASSERT_TRUE(termsim::ParseUserLine("pin=7\tvalid=5,6,2021-02-03 04:05:06,2022-01-01 00:00:00",
                                     &user, &error)) << error;
  const std::string path = ::testing::TempDir() + "access_users.txt";
  ASSERT_TRUE(termsim::SaveUsers(path, {user}, &error)) << error;
  std::vector<termsim::User> back;
  ASSERT_TRUE(termsim::LoadUsers(path, &back, &error)) << error;
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].valid, user.valid);
  std::remove(path.c_str());
}

TEST(AccessDataFile, BadLinesNameTheirForm) {
  const char* bad[] = {"[timezones]\nzone=51\ttext=" "00000000000000000000000000000000000000000000000000000000\n",
                       "[timezones]\nzone=1\ttext=0800\n",
                       "[holidays]\nnumber=100\tdates=01010101\n",
                       "[locks]\ncombination=11\tgroups=1,0,0,0,0\n",
                       "[groups]\ngroup=1\tnumber=128\n",
                       "[faces]\npin=0\tindex=1\tdata=00\n",
                       "[messages]\nnumber=1\ttext=x\tstart=2024-13-01 00:00:00\n"};
  for (const char* text : bad) {
    const std::string path = WriteFile(text);
    termsim::TerminalData data;
    std::string error;
    EXPECT_FALSE(termsim::ReadDataFile(path, &data, &error)) << text;
    EXPECT_NE(error.find("want "), std::string::npos) << error;
    std::remove(path.c_str());
  }
}

TEST(AccessDataFile, TheExampleFileHoldsAccessData) {
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(TERMSIM_EXAMPLE_DATA, &data, &error)) << error;
  termsim::Simulator sim;
  termsim::ApplyData(data, sim);
  EXPECT_EQ(sim.GetAccessData().zones.at(1)[4], 8);
  EXPECT_EQ(sim.GetAccessData().links.size(), 2u);
}

}  // namespace
