// The extras sections of a data file reach the simulator's tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "termsim/data_file.h"
#include "termsim/extras.h"
#include "termsim/simulator.h"

namespace {

std::string WriteFile(const std::string& text) {
  const std::string path = ::testing::TempDir() + "extras_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                           ".data";
  std::ofstream(path) << text;
  return path;
}

TEST(ExtrasDataFile, SectionsFillTheirTables) {
  const std::string path = WriteFile(
      "[workcodes]\nindex=1\tcode=101\ncode=A17\tname=Lunch\n"
      "[shortkeys]\nnumber=1\tfunction=1\tstate=2\ttimes=8:0;12:30;\tauto=1\tvalues=1,2,3,4\n"
      "[bells]\nnumber=3\ttime=07:45\tkind=1\n"
      "[tipcodes]\nnumber=5\tname=Tip\tvalue=9\n"
      "[laborgroups]\nnumber=6\tname=Group\n"
      "[laborcodes]\nnumber=7\tsecond=8\tname=Weld\n"
      "[attstates]\nstate=3\tvalue=100\n"
      "[voices]\nindex=4\tfile=ring.wav\tenabled=0\n"
      "[statemap]\nkey=2\tvalue=77\n");
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(path, &data, &error)) << error;
  termsim::Simulator sim;
  termsim::ApplyData(data, sim);
  const termsim::ExtrasData x = sim.Extras();
  EXPECT_EQ(x.work_codes.at(1), 101u);
  ASSERT_EQ(x.text_work_codes.size(), 1u);
  EXPECT_EQ(x.text_work_codes[0].code, "A17");
  EXPECT_EQ(x.text_work_codes[0].id, 1u);
  EXPECT_EQ(x.short_keys.at(1).times[1], 1230);
  EXPECT_EQ(x.short_keys.at(1).values[3], 4u);
  EXPECT_EQ(x.short_keys.at(1).auto_switch, 1);
  EXPECT_EQ((x.bells.at({3, 1}).time), 745u);
  EXPECT_EQ(x.tip_codes.at(5).value, 9u);
  EXPECT_EQ(x.labor_groups.at(6).name, "Group");
  EXPECT_EQ((x.labor_codes.at({7, 8})), "Weld");
  EXPECT_EQ(x.states.at(3).value, 100);
  EXPECT_FALSE(x.voices.at(4).enabled);
  EXPECT_EQ(x.state_map.at(2), 77);
  std::remove(path.c_str());
}

TEST(ExtrasDataFile, BadLinesNameTheirForm) {
  const char* bad[] = {"[bells]\nnumber=1\ttime=24:00\n", "[attstates]\nstate=8\tvalue=1\n",
                       "[voices]\nindex=1\tfile=\n", "[shortkeys]\nnumber=1\tfunction=1\n",
                       "[statemap]\nkey=70000\tvalue=1\n"};
  for (const char* text : bad) {
    const std::string path = WriteFile(text);
    termsim::TerminalData data;
    std::string error;
    EXPECT_FALSE(termsim::ReadDataFile(path, &data, &error)) << text;
    EXPECT_NE(error.find("want "), std::string::npos) << error;
    std::remove(path.c_str());
  }
}

TEST(ExtrasDataFile, TheExampleFileHoldsBellsAndKeys) {
  termsim::TerminalData data;
  std::string error;
  ASSERT_TRUE(termsim::ReadDataFile(TERMSIM_EXAMPLE_DATA, &data, &error)) << error;
  termsim::Simulator sim;
  termsim::ApplyData(data, sim);
  EXPECT_EQ(sim.Extras().bells.size(), 2u);
  EXPECT_EQ(sim.Extras().short_keys.at(1).times[1], 800);
}

}  // namespace
