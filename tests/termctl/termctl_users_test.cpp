// termctl's user commands across sessions, and on colour-screen terminals
// that name users by ID text.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "run_termctl.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

class TermctlUsers : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile, std::vector<termsim::User> users) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    sim->SetUsers(std::move(users));
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

// Each termctl run is a session of its own: the user written by one is
// found by its PIN2 and deleted by the next.
TEST_F(TermctlUsers, UserWrittenInOneSessionIsDeletedByPin2InTheNext) {
  Start(termsim::Profile::Ver660(), termsim::GenerateUsers(10, 3));
  ASSERT_EQ(Run({"users", "add", "100", "--name", "Zoe", "--pin2", "4242"}).status, 0);
  ASSERT_TRUE(sim->FindUser(100).has_value());
  const RunResult deleted = Run({"users", "delete", "100"});
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "user 100 deleted\n");
  EXPECT_FALSE(sim->FindUser(100).has_value());
  EXPECT_EQ(sim->Users().size(), 10u);
}

TEST_F(TermctlUsers, ColourScreenUsersAreListedByIdText) {
  std::vector<termsim::User> users = termsim::GenerateUsers(6, 8);
  users[2].id_text = "EMP-0003";
  Start(termsim::Profile::Tft(), users);
  const RunResult r = Run({"users", "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), users.size() + 1);
  const auto head = CsvFields(lines[0]);
  ASSERT_GE(head.size(), 3u);
  EXPECT_EQ(head[1], "id");
  EXPECT_EQ(head[2], "name");
  for (size_t i = 0; i < users.size(); ++i) {
    const auto f = CsvFields(lines[i + 1]);
    EXPECT_EQ(f[0], std::to_string(users[i].pin));
    EXPECT_EQ(f[1], users[i].id_text);
    // Colour-screen terminals keep 24 characters of a name.
    EXPECT_EQ(f[2], users[i].name);
  }
  const RunResult show = Run({"users", "show", "EMP-0003", "--format", "json"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(JsonField(show.out, "pin"), "3");
  EXPECT_EQ(JsonField(show.out, "name"), users[2].name);
}

TEST_F(TermctlUsers, ColourScreenUsersAreWrittenAndDeletedByIdText) {
  Start(termsim::Profile::Tft(), termsim::GenerateUsers(4, 2));
  const RunResult added = Run({"users", "add", "A-17", "--name", "Marguerite Delacroix-Ode",
                               "--pin-password", "12345678", "--card", "991"});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "user A-17 written\n");
  const auto users = sim->Users();
  ASSERT_EQ(users.size(), 5u);
  const auto written = std::find_if(users.begin(), users.end(),
                                    [](const termsim::User& u) { return u.id_text == "A-17"; });
  ASSERT_NE(written, users.end());
  EXPECT_EQ(written->name, "Marguerite Delacroix-Ode");
  EXPECT_EQ(written->password, "12345678");
  EXPECT_EQ(written->card, 991u);

  const RunResult show = Run({"users", "show", "A-17", "--format", "json"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(JsonField(show.out, "name"), "Marguerite Delacroix-Ode");
  EXPECT_EQ(JsonField(show.out, "card"), "991");

  const RunResult deleted = Run({"users", "delete", "A-17"});
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(sim->Users().size(), 4u);
  const RunResult missing = Run({"users", "show", "A-17"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no user with ID \"A-17\""), std::string::npos) << missing.err;
}

TEST_F(TermctlUsers, ColourScreenArgumentsAreChecked) {
  Start(termsim::Profile::Tft(), {});
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"users", "add", "A-1", "--name", "N", "--pin2", "5"}, "--pin2"},
      {{"users", "add", "A-1", "--name", std::string(25, 'n')}, "at most 24"},
      {{"users", "show", std::string(25, '9')}, "1-24 characters"},
      {{"users", "delete"}, "needs one user ID"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.args[1];
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_TRUE(sim->Users().empty());
}

}  // namespace
}  // namespace termctltest
