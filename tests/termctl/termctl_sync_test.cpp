// termctl sync against simulators started in the test, into SQLite and into
// a real PostgreSQL server: every record exactly once, nothing lost when the
// database fails.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "run_termctl.h"
#include "sync_test_db.h"
#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

using PunchSet = std::set<std::tuple<std::string, std::string, int64_t>>;

std::string Stamp(uint32_t packed) {
  const termsim::DateTime t = termsim::UnpackTime(packed);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

// A terminal with its own serial number, users, punches and operations.
struct Terminal {
  explicit Terminal(const std::string& serial, uint32_t seed) {
    sim = std::make_unique<termsim::Simulator>(termsim::Profile::Ver660());
    sim->SetOption("~SerialNumber", serial);
    sim->SetUsers(termsim::GenerateUsers(12, seed));
    termsim::AttendanceGeneration g;
    g.users = 12;
    g.punches = 150;
    g.days = 20;
    g.seed = seed;
    sim->SetAttendanceLog(termsim::GenerateAttendance(g));
    termsim::OpLogGeneration o;
    o.count = 5;
    o.seed = seed;
    sim->SetOpLog(termsim::GenerateOpLog(o));
    started = sim->StartUdp("127.0.0.1", 0);
    address = "udp://127.0.0.1:" + std::to_string(sim->udp_port());
  }

  // What the terminal holds, as the database should have it.
  PunchSet Expected() const {
    PunchSet out;
    for (const termsim::AttendanceRecord& r : sim->AttendanceLog()) {
      out.emplace(std::to_string(r.user), Stamp(r.time), r.att_state);
    }
    return out;
  }

  std::unique_ptr<termsim::Simulator> sim;
  bool started = false;
  std::string address;
};

enum class Backend { kSqlite, kPostgres };

class TermctlSync : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    if (GetParam() == Backend::kSqlite) {
      db = MakeSqliteDb(name);
    } else {
      std::string error;
      db = MakePostgresDb(name, &error);
      // Not skipped: a missing server is a failure of the test set-up.
      ASSERT_NE(db, nullptr) << error;
    }
  }

  RunResult Sync(std::vector<std::string> args) {
    args.insert(args.begin(), "sync");
    args.push_back("--db");
    args.push_back(db->Url());
    return RunTermctl(args);
  }

  std::unique_ptr<TestDb> db;
};

TEST_P(TermctlSync, FirstRunStoresEverythingAndRepeatsAddNothing) {
  Terminal t("SYNC0001", 3);
  ASSERT_TRUE(t.started);
  const RunResult first = Sync({t.address});
  ASSERT_EQ(first.status, 0) << first.err;
  const PunchSet expected = t.Expected();
  EXPECT_EQ(db->Punches(), expected);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM users WHERE terminal = 'SYNC0001'"), 12);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM oplog"), 5);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM terminals"), 1);
  EXPECT_EQ(db->Number("SELECT version FROM schema_version"), 1);
  EXPECT_NE(first.out.find("serial SYNC0001"), std::string::npos) << first.out;

  // Again: nothing new; then three new punches arrive on the next run.
  const RunResult second = Sync({t.address});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(db->Punches(), expected);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM oplog"), 5);
  EXPECT_NE(second.out.find(" 0 new punches"), std::string::npos) << second.out;

  std::vector<termsim::AttendanceRecord> more;
  for (uint32_t i = 0; i < 3; ++i) {
    termsim::AttendanceRecord r;
    r.user = t.sim->Users()[i].pin2;
    r.verify_mode = 1;
    r.time = termsim::PackTime({2025, 3, 4, 9, static_cast<int>(i), 0});
    more.push_back(r);
  }
  t.sim->AppendAttendanceLog(more);
  const RunResult third = Sync({t.address});
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_EQ(db->Punches(), t.Expected());
  EXPECT_EQ(db->Punches().size(), expected.size() + 3);
  EXPECT_NE(third.out.find(" 3 new punches"), std::string::npos) << third.out;
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM sync_runs WHERE result = 'ok'"), 3);
}

TEST_P(TermctlSync, SeveralTerminalsAtOnceAndAnUnreachableOne) {
  Terminal a("SYNCA", 4), b("SYNCB", 5);
  ASSERT_TRUE(a.started && b.started);
  // Nothing answers there: the others are synced all the same.
  const RunResult r = Sync({a.address, "udp://127.0.0.1:9", b.address, "--jobs", "3"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("udp://127.0.0.1:9"), std::string::npos) << r.err;
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM terminals"), 2);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM punches WHERE terminal = 'SYNCA'"),
            static_cast<int64_t>(a.Expected().size()));
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM punches WHERE terminal = 'SYNCB'"),
            static_cast<int64_t>(b.Expected().size()));
}

TEST_P(TermctlSync, ClearAfterKeepsTheLogWhenTheDatabaseRefuses) {
  Terminal t("SYNCCLR", 6);
  ASSERT_TRUE(t.started);
  // The schema first, then a database that refuses every punch.
  ASSERT_EQ(Sync({t.address}).status, 0);
  ASSERT_TRUE(db->Exec("DELETE FROM punches"));
  ASSERT_TRUE(db->RefusePunches());
  // Two punches the terminal has not handed out yet.
  std::vector<termsim::AttendanceRecord> more(2);
  for (uint32_t i = 0; i < 2; ++i) {
    more[i].user = t.sim->Users()[i].pin2;
    more[i].time = termsim::PackTime({2025, 4, 5, 10, static_cast<int>(i), 0});
  }
  t.sim->AppendAttendanceLog(more);
  const size_t held = t.sim->AttendanceLog().size();
  const RunResult refused = Sync({t.address, "--clear-after", "--yes"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("punch of user"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("not cleared"), std::string::npos) << refused.err;
  EXPECT_EQ(t.sim->AttendanceLog().size(), held);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM punches"), 0);
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM sync_runs WHERE result LIKE 'failed%'"), 1);

  // Once the database takes them, the terminal's log goes, and the whole
  // log was read (the failed run's records were handed out already).
  ASSERT_TRUE(db->Exec("DROP TRIGGER refuse_punches" +
                       std::string(GetParam() == Backend::kPostgres ? " ON punches" : "")));
  const RunResult cleared = Sync({t.address, "--clear-after", "--yes"});
  ASSERT_EQ(cleared.status, 0) << cleared.err;
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM punches"), static_cast<int64_t>(held));
  EXPECT_TRUE(t.sim->AttendanceLog().empty());
}

TEST_P(TermctlSync, WatchStoresAPushedPunch) {
  Terminal t("SYNCWATCH", 7);
  ASSERT_TRUE(t.started);
  RunResult watched;
  std::thread watcher([&] { watched = Sync({t.address, "--watch", "--seconds", "4"}); });
  struct Joiner {
    std::thread& t;
    ~Joiner() {
      if (t.joinable()) t.join();
    }
  } joiner{watcher};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (t.sim->EventListeners(1) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(t.sim->EventListeners(1), 0u);
  termsim::AttendanceRecord punch;
  punch.user = t.sim->Users()[0].pin2;
  punch.att_state = 1;
  punch.time = termsim::PackTime({2025, 6, 7, 8, 9, 10});
  t.sim->AppendAttendanceLog({punch});
  t.sim->PushEvent(1, std::vector<uint8_t>(32, 0));
  watcher.join();
  ASSERT_EQ(watched.status, 0) << watched.err;
  EXPECT_EQ(db->Number("SELECT COUNT(*) FROM punches WHERE time = '2025-06-07 08:09:10'"), 1);
  EXPECT_NE(watched.out.find("1 new punches"), std::string::npos) << watched.out;
  // A later full sync adds nothing.
  ASSERT_EQ(Sync({t.address}).status, 0);
  EXPECT_EQ(db->Punches(), t.Expected());
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "sqlite" : "postgresql";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, TermctlSync, ::testing::Values(Backend::kSqlite), BackendName);
INSTANTIATE_TEST_SUITE_P(Postgres, TermctlSync, ::testing::Values(Backend::kPostgres),
                         BackendName);

// Arguments and databases that cannot be used: a message, an exit status,
// nothing written.
TEST(TermctlSyncErrors, BadDatabasesAndArguments) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"sync", "--db", "mysql://x"}, 2, "neither sqlite:PATH nor postgresql://"},
      {{"sync", "--db", "sqlite:"}, 2, "needs a file name"},
      {{"sync", "--db", "sqlite:/nonexistent/dir/x.db"}, 1, "/nonexistent/dir/x.db"},
      {{"sync", "--db", "postgresql:///nobody?host=/nonexistent&user=nobody"}, 1, "nonexistent"},
      {{"sync", "--clear-after"}, 2, "add --yes"},
      {{"sync", "--yes"}, 2, "--yes goes with --clear-after"},
      {{"sync", "--watch", "--clear-after", "--yes"}, 2, "does not go with --watch"},
      {{"sync", "--jobs", "0"}, 2, "--jobs takes"},
      {{"sync", "--seconds", "3"}, 2, "--seconds goes with --watch"},
      {{"sync", "udp://"}, 2, ""},
  };
  for (const Case& c : cases) {
    const RunResult r = RunTermctl(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args.back() << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

}  // namespace
}  // namespace termctltest
