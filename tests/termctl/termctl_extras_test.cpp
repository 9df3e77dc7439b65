// termctl workcodes, bells and shortkeys against a simulator started in the
// test: what it prints is what the terminal holds, its writes reach it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "run_termctl.h"
#include "termsim/extras.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

class TermctlExtras : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    ASSERT_TRUE(sim->StartUdp("127.0.0.1", 0));
    address = "udp://127.0.0.1:" + std::to_string(sim->udp_port());
  }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), address);
    return RunTermctl(args);
  }
  std::unique_ptr<termsim::Simulator> sim;
  std::string address;
};

TEST_F(TermctlExtras, WorkCodesInBothForms) {
  Start(termsim::Profile::Ver660());
  EXPECT_EQ(Run({"workcodes", "set", "5", "1234"}).status, 0);
  EXPECT_EQ(sim->Extras().work_codes.at(5), 1234u);
  const RunResult got = Run({"workcodes", "get", "5", "--format", "json"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(JsonField(Lines(got.out).at(0), "code"), "1234");
  EXPECT_EQ(Run({"workcodes", "delete", "5"}).status, 0);
  EXPECT_EQ(Run({"workcodes", "delete", "5"}).status, 1);
  EXPECT_EQ(Run({"workcodes", "get", "70000"}).status, 2);

  Start(termsim::Profile::Tft());
  EXPECT_EQ(Run({"workcodes", "set", "42", "Site visit"}).status, 0);
  const RunResult text = Run({"workcodes", "get", "42", "--format", "csv"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(CsvFields(Lines(text.out).at(1)).at(1), "Site visit");
  EXPECT_EQ(Run({"workcodes", "clear"}).status, 0);
  EXPECT_TRUE(sim->Extras().text_work_codes.empty());
}

TEST_F(TermctlExtras, BellsAndShortKeys) {
  Start(termsim::Profile::Tft());
  EXPECT_EQ(Run({"bells", "set", "2", "07:45"}).status, 0);
  EXPECT_EQ(Run({"bells", "set", "1", "24:00"}).status, 2);  // checked before sending
  EXPECT_EQ(sim->CountReceived(10016), 1u);
  const RunResult bells = Run({"bells", "--format", "csv"});
  ASSERT_EQ(bells.status, 0) << bells.err;
  const auto lines = Lines(bells.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(CsvFields(lines[1]).at(2), "07:45");

  EXPECT_EQ(Run({"shortkeys", "set", "1", "--state", "2", "--times", "8:0;12:30;"}).status, 0);
  EXPECT_EQ(Run({"shortkeys", "set", "2", "--state", "2"}).status, 2);  // same state
  const RunResult key = Run({"shortkeys", "1", "--format", "json"});
  ASSERT_EQ(key.status, 0) << key.err;
  EXPECT_EQ(JsonField(Lines(key.out).at(0), "times"), "08:00;12:30;00:00;00:00;00:00;00:00;00:00;");
  EXPECT_EQ(JsonField(Lines(key.out).at(0), "auto"), "1");
  EXPECT_EQ(Run({"shortkeys", "9"}).status, 1);
}

}  // namespace
}  // namespace termctltest
