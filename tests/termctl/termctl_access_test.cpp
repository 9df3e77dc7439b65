// termctl timezones, holidays and faces against simulators started in the
// test: what it prints is what the terminal holds, and faces move between
// two terminals through a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "run_termctl.h"
#include "termsim/access.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

class TermctlAccess : public ::testing::Test {
 protected:
  std::string Start(std::unique_ptr<termsim::Simulator>& sim, termsim::Profile profile) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    EXPECT_TRUE(sim->StartUdp("127.0.0.1", 0));
    return "udp://127.0.0.1:" + std::to_string(sim->udp_port());
  }
  std::unique_ptr<termsim::Simulator> sim, other;
};

TEST_F(TermctlAccess, TimeZonesAndHolidays) {
  const std::string address = Start(sim, termsim::Profile::Ver660());
  const std::string week =
      "00:00-00:00,08:00-18:00,08:00-18:00,08:00-18:00,08:00-18:00,08:00-12:30,00:00-00:00";
  EXPECT_EQ(RunTermctl({address, "timezones", "set", "3", week}).status, 0);
  EXPECT_EQ(sim->GetAccessData().zones.at(3)[4], 8);
  EXPECT_EQ(RunTermctl({address, "timezones", "set", "3", "08:00-24:00"}).status, 2);
  const RunResult one = RunTermctl({address, "timezones", "3", "--format", "json"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(JsonField(Lines(one.out).at(0), "fri"), "08:00-12:30");
  const RunResult all = RunTermctl({address, "timezones", "--format", "csv"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(Lines(all.out).size(), 2u);  // the header and zone 3

  EXPECT_EQ(RunTermctl({address, "holidays", "set", "0101010212251226"}).status, 0);
  EXPECT_EQ(RunTermctl({address, "holidays", "set", "1301"}).status, 2);
  const RunResult days = RunTermctl({address, "holidays", "--format", "csv"});
  ASSERT_EQ(days.status, 0) << days.err;
  const auto lines = Lines(days.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(CsvFields(lines[2]).at(1), "12-25");
}

TEST_F(TermctlAccess, FacesMoveBetweenTerminals) {
  termsim::User ann;
  ann.pin = 3;
  ann.id_text = "ann";
  const std::string from = Start(sim, termsim::Profile::Tft());
  const std::string to = Start(other, termsim::Profile::Tft());
  sim->SetUsers({ann});
  ann.pin = 9;  // another PIN over there
  other->SetUsers({ann});
  std::vector<uint8_t> record(termsim::kFaceRecordBytes, 0x41);
  sim->SetFaces({{3, 0, record}, {3, 1, record}});

  const std::string file = ::testing::TempDir() + "termctl_faces.bin";
  const RunResult saved = RunTermctl({from, "faces", "ann", "--save", file});
  ASSERT_EQ(saved.status, 0) << saved.err;
  const RunResult loaded = RunTermctl({to, "faces", "ann", "--load", file});
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  const auto faces = other->Faces();
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(faces[0].pin, 9);
  EXPECT_EQ(faces[1].index, 1);
  EXPECT_EQ(RunTermctl({from, "faces", "ann", "--delete"}).status, 0);
  EXPECT_TRUE(sim->Faces().empty());
  EXPECT_EQ(RunTermctl({from, "faces", "ann", "--save", file}).status, 1);  // none left
  EXPECT_EQ(RunTermctl({from, "faces", "ann"}).status, 2);
  std::remove(file.c_str());
}

}  // namespace
}  // namespace termctltest
