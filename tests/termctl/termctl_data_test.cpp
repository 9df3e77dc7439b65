// termctl against a simulator started in the test: what it prints parses
// back to what the terminal holds, and its writes reach the terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "run_termctl.h"
#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

std::string Stamp(uint32_t packed) {
  const termsim::DateTime t = termsim::UnpackTime(packed);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

class TermctlData : public ::testing::Test {
 protected:
  void SetUp() override {
    sim = std::make_unique<termsim::Simulator>(termsim::Profile::Ver660());
    sim->SetUsers(termsim::GenerateUsers(25, 11));
    termsim::AttendanceGeneration g;
    g.users = 25;
    g.punches = 300;
    g.days = 40;
    g.seed = 5;
    sim->SetAttendanceLog(termsim::GenerateAttendance(g));
    termsim::OpLogGeneration o;
    o.count = 7;
    sim->SetOpLog(termsim::GenerateOpLog(o));
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

// The same terminal over TCP gives the same users and punches as over UDP.
TEST_F(TermctlData, TcpListsWhatUdpLists) {
  ASSERT_TRUE(sim->StartTcp("127.0.0.1", 0));
  const std::string tcp = "tcp://127.0.0.1:" + std::to_string(sim->tcp_port());
  for (const char* command : {"users", "logs"}) {
    const RunResult over_udp = Run({command, "--format", "csv"});
    const RunResult over_tcp = RunTermctl({tcp, command, "--format", "csv"});
    ASSERT_EQ(over_udp.status, 0) << over_udp.err;
    ASSERT_EQ(over_tcp.status, 0) << over_tcp.err;
    EXPECT_EQ(over_tcp.out, over_udp.out) << command;
    EXPECT_GT(Lines(over_tcp.out).size(), 20u) << command;
  }
  EXPECT_GE(sim->TcpConnectionsAccepted(), 2u);
}

// And over USB, with the drive named on the command line.
TEST_F(TermctlData, UsbListsWhatUdpLists) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("termkit_termctl_usb_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(sim->StartUsb(dir.string()));
  for (const char* command : {"users", "logs"}) {
    const RunResult over_udp = Run({command, "--format", "csv"});
    const RunResult over_usb =
        RunTermctl({"usb://1", command, "--format", "csv", "--usb-root", dir.string()});
    ASSERT_EQ(over_usb.status, 0) << over_usb.err;
    EXPECT_EQ(over_usb.out, over_udp.out) << command;
  }
  const RunResult info = RunTermctl({"usb://", "info", "--usb-root", "/nonexistent",
                                     "--usb-root", dir.string()});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Ver 6.60"), std::string::npos) << info.out;
  // Nothing holding the file: a failed connect that says where it looked.
  const RunResult none = RunTermctl({"usb://1", "info", "--usb-root", "/nonexistent"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("dummy"), std::string::npos) << none.err;
  sim->Stop();
  std::filesystem::remove_all(dir);
}

TEST_F(TermctlData, UsersCsvParsesBackToTheUserTable) {
  const RunResult r = Run({"users", "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  const auto users = sim->Users();
  ASSERT_EQ(lines.size(), users.size() + 1);
  const auto head = CsvFields(lines[0]);
  ASSERT_GE(head.size(), 3u);
  EXPECT_EQ(head[0], "pin");
  EXPECT_EQ(head[1], "pin2");
  EXPECT_EQ(head[2], "name");
  for (size_t i = 0; i < users.size(); ++i) {
    const auto f = CsvFields(lines[i + 1]);
    ASSERT_EQ(f.size(), head.size()) << lines[i + 1];
    EXPECT_EQ(f[0], std::to_string(users[i].pin));
    EXPECT_EQ(f[1], std::to_string(users[i].pin2));
    // This terminal keeps 8 characters of a name.
    EXPECT_EQ(f[2], users[i].name.substr(0, 8));
  }
}

TEST_F(TermctlData, UsersJsonHasOneObjectPerUser) {
  const RunResult r = Run({"users", "--format", "json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  const auto users = sim->Users();
  ASSERT_EQ(lines.size(), users.size());
  for (size_t i = 0; i < users.size(); ++i) {
    EXPECT_EQ(JsonField(lines[i], "pin"), std::to_string(users[i].pin));
    EXPECT_EQ(JsonField(lines[i], "name"), users[i].name.substr(0, 8));
  }
}

TEST_F(TermctlData, LogsCsvAndJsonParseBackToTheAttendanceLog) {
  const auto log = sim->AttendanceLog();
  const RunResult csv = Run({"logs", "--format", "csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto lines = Lines(csv.out);
  ASSERT_EQ(lines.size(), log.size() + 1);
  EXPECT_EQ(lines[0], "user,time,verify_mode,state,work_code");
  for (size_t i = 0; i < log.size(); ++i) {
    const auto f = CsvFields(lines[i + 1]);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0], std::to_string(log[i].user));
    EXPECT_EQ(f[1], Stamp(log[i].time));
    EXPECT_EQ(f[2], std::to_string(log[i].verify_mode));
    EXPECT_EQ(f[3], std::to_string(log[i].att_state));
  }
  const RunResult json = Run({"logs", "--format", "json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto objects = Lines(json.out);
  ASSERT_EQ(objects.size(), log.size());
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(JsonField(objects[i], "user"), std::to_string(log[i].user));
    EXPECT_EQ(JsonField(objects[i], "time"), Stamp(log[i].time));
  }
}

TEST_F(TermctlData, LogsSinceKeepsLaterRecords) {
  const auto log = sim->AttendanceLog();
  const uint32_t since = termsim::PackTime({2024, 1, 20, 0, 0, 0});
  size_t expected = 0;
  for (const auto& rec : log) expected += rec.time >= since ? 1 : 0;
  const RunResult r = Run({"logs", "--since", "2024-01-20", "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), expected + 1);
}

TEST_F(TermctlData, LogsClearWithConfirmationEmptiesTheLog) {
  const RunResult r = Run({"logs", "--clear", "--yes", "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(sim->AttendanceLog().empty());
}

TEST_F(TermctlData, OpLogCsvHasEveryRecord) {
  const auto ops = sim->OpLog();
  const RunResult r = Run({"oplog", "--format", "csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), ops.size() + 1);
  for (size_t i = 0; i < ops.size(); ++i) {
    const auto f = CsvFields(lines[i + 1]);
    ASSERT_GE(f.size(), 3u);
    EXPECT_EQ(f[1], std::to_string(ops[i].operation));
    EXPECT_EQ(f[2], Stamp(ops[i].time));
  }
}

TEST_F(TermctlData, TimeSetReachesTheClock) {
  const RunResult r = Run({"time", "set", "2025-06-07", "08:09:10"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(sim->ClockPacked(), termsim::PackTime({2025, 6, 7, 8, 9, 10}));
  const RunResult get = Run({"time"});
  EXPECT_EQ(get.out, "2025-06-07 08:09:10\n");
}

TEST_F(TermctlData, OptionsSetAndGet) {
  ASSERT_EQ(Run({"options", "set", "DeviceID=7"}).status, 0);
  EXPECT_EQ(sim->Option("DeviceID"), "7");
  const RunResult r = Run({"options", "get", "~SerialNumber"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "3512009110023\n");
}

TEST_F(TermctlData, UsersAddShowAndDelete) {
  ASSERT_EQ(Run({"users", "add", "100", "--name", "Zoe", "--pin2", "4242"}).status, 0);
  const auto added = sim->FindUser(100);
  ASSERT_TRUE(added.has_value());
  EXPECT_EQ(added->name, "Zoe");
  EXPECT_EQ(added->pin2, 4242u);
  const RunResult show = Run({"users", "show", "100", "--format", "json"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(JsonField(show.out, "pin2"), "4242");
}

TEST_F(TermctlData, UsersDeleteRemovesTheUser) {
  ASSERT_TRUE(sim->FindUser(5).has_value());
  const RunResult deleted = Run({"users", "delete", "5"});
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_FALSE(sim->FindUser(5).has_value());
  const RunResult missing = Run({"users", "show", "5"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no user with PIN 5"), std::string::npos) << missing.err;
}

TEST_F(TermctlData, ControlCommandsReachTheTerminal) {
  ASSERT_EQ(Run({"disable"}).status, 0);
  EXPECT_FALSE(sim->DeviceEnabled());
  ASSERT_EQ(Run({"enable"}).status, 0);
  EXPECT_TRUE(sim->DeviceEnabled());
  EXPECT_EQ(Run({"beep"}).status, 0);
  EXPECT_EQ(Run({"unlock", "--seconds", "3"}).status, 0);
  EXPECT_EQ(Run({"restart"}).status, 0);
  EXPECT_EQ(sim->RestartCount(), 1);
}

TEST_F(TermctlData, RefusedCallIsNamedOnStderr) {
  sim->SetCommandRefused(201, true);  // the clock read
  const RunResult r = Run({"time"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Q_GetTime failed: result"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Q_LastError"), std::string::npos) << r.err;
}

TEST_F(TermctlData, EventsPrintsPushedEventsAsJson) {
  auto run = std::async(std::launch::async, [&] {
    return Run({"events", "--count", "1", "--json"});
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sim->EventListeners(termsim::kEventDoor) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(sim->EventListeners(termsim::kEventDoor), 0u);
  sim->PushEvent(termsim::kEventDoor, {0x01, 0x02});
  const RunResult r = run.get();
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  EXPECT_EQ(JsonField(lines[0], "kind"), "4");
  EXPECT_EQ(JsonField(lines[0], "name"), "door");
  EXPECT_EQ(JsonField(lines[0], "payload"), "0102");
}

}  // namespace
}  // namespace termctltest
