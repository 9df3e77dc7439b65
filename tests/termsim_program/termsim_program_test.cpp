// The termsim program end to end: its command line, and the terminal it
// plays as termctl sees it over loopback UDP.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_termctl.h"
#include "sim_client.h"
#include "sim_tcp_client.h"
#include "termsim_process.h"
#include "wire/codes.h"

namespace termsimtest {
namespace {

using termctltest::CsvFields;
using termctltest::JsonField;
using termctltest::Lines;
using termctltest::RunResult;
using termctltest::RunTermctl;

// A running termsim on a free loopback port.
struct RunningTermsim {
  explicit RunningTermsim(std::vector<std::string> args)
      : process([&] {
          args.insert(args.end(), {"--udp", "127.0.0.1:0", "--no-search"});
          return args;
        }()) {
    port = process.WaitListening();
  }
  RunResult Termctl(std::vector<std::string> args) const {
    args.insert(args.begin(), "udp://127.0.0.1:" + std::to_string(port));
    return RunTermctl(args);
  }
  TermsimProcess process;
  uint16_t port = 0;
};

TEST(TermsimProgram, HelpDocumentsProfilesDataFilesAndFaults) {
  TermsimProcess p({"--help"});
  ASSERT_EQ(p.WaitExit(), 0);
  const std::string& help = p.out();
  for (const char* text : {"usage: termsim",
                           "PROFILES",
                           "old",
                           "ver660",
                           "tft",
                           "base = old|ver660|tft",
                           "option.NAME",
                           "pin_width",
                           "option_probe",
                           "refused_commands",
                           "DATA FILES",
                           "[templates]",
                           "FAULTS",
                           "drop[=N]",
                           "duplicate",
                           "late_ms",
                           "corrupt",
                           "stale",
                           "retry",
                           "silent",
                           "drop_ratio",
                           "seed",
                           "--demo",
                           "--data FILE",
                           "--tcp ADDR:PORT",
                           "max_packet",
                           "tcp_close",
                           "tcp_reset",
                           "tcp_reset_data",
                           "tcp_split",
                           "tcp_coalesce",
                           "tcp_bad_magic",
                           "tcp_oversize",
                           "tcp_refuse",
                           "--usb DIR",
                           "usb_bad_mark",
                           "usb_long_length",
                           "usb_zero_code",
                           "usb_torn",
                           "usb_chunk_ms",
                           "short_reply=CMD:N",
                           "unanswered=CMD",
                           "event_every=MS",
                           "prepare_no_data",
                           "piecewise_count=N",
                           "empty_blocks"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

TEST(TermsimProgram, BadArgumentsExitTwoWithAMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown argument \"--bogus\""},
      {{"--udp"}, "--udp needs a value"},
      {{"--udp", "localhost"}, "bad --udp value"},
      {{"--udp", "127.0.0.1:70000"}, "bad --udp value"},
      {{"--tcp", "127.0.0.1"}, "bad --tcp value"},
      {{"--tcp", "127.0.0.1:65536"}, "bad --tcp value"},
      {{"--fault", "tcp_split=x"}, "bad value for tcp_split"},
      {{"--fault", "tcp_refuse=2"}, "bad value for tcp_refuse"},
      {{"--fault", "usb_torn=x"}, "bad value for usb_torn"},
      {{"--fault", "usb_chunk_ms=-5"}, "bad value for usb_chunk_ms"},
      {{"--usb"}, "--usb needs a value"},
      {{"--profile", "no-such-terminal"}, "bad --profile"},
      {{"--set", "pin_width=wide"}, "bad --set"},
      {{"--users", "12"}, "bad --users value"},
      {{"--data", "/nonexistent.data"}, "/nonexistent.data: cannot be read"},
      {{"--fault", "explode"}, "unknown fault \"explode\""},
      {{"--fault", "drop=-1"}, "bad value for drop"},
      {{"--fault", "drop_ratio=2"}, "bad value for drop_ratio"},
      {{"--fault", "silent=maybe"}, "bad value for silent"},
      {{"--fault", "short_reply=201"}, "bad value for short_reply"},
      {{"--fault", "short_reply=0:4"}, "bad value for short_reply"},
      {{"--fault", "unanswered=70000"}, "bad value for unanswered"},
      {{"--fault", "empty_blocks=yes"}, "bad value for empty_blocks"},
      {{"--log", "generate=oops"}, "bad --log"},
  };
  for (const Case& c : cases) {
    TermsimProcess p(c.args);
    EXPECT_EQ(p.WaitExit(), 2) << c.args[0];
    EXPECT_NE(p.err().find(c.message), std::string::npos) << c.args[0] << ": " << p.err();
    EXPECT_EQ(p.out().find("listening"), std::string::npos) << c.args[0];
  }
}

TEST(TermsimProgram, DataFileServesItsUsersLogsAndTemplates) {
  RunningTermsim sim({"--profile", "ver660", "--data", TERMSIM_EXAMPLE_DATA});
  ASSERT_NE(sim.port, 0) << sim.process.err();

  const RunResult info = sim.Termctl({"info", "--format", "json"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(JsonField(info.out, "device_name"), "Front door");
  EXPECT_EQ(JsonField(info.out, "serial_number"), "DEMO0000000042");
  EXPECT_EQ(JsonField(info.out, "users"), "4");
  EXPECT_EQ(JsonField(info.out, "fingerprints"), "3");
  EXPECT_EQ(JsonField(info.out, "attendance_records"), "6");
  EXPECT_EQ(JsonField(info.out, "operation_records"), "2");

  const RunResult users = sim.Termctl({"users", "--format", "csv"});
  ASSERT_EQ(users.status, 0) << users.err;
  const auto rows = Lines(users.out);
  ASSERT_EQ(rows.size(), 5u) << users.out;
  EXPECT_EQ(CsvFields(rows[1])[1], "1001");
  EXPECT_EQ(CsvFields(rows[1])[2], "Ada");
  EXPECT_EQ(CsvFields(rows[4])[2], "Dana");

  const RunResult logs = sim.Termctl({"logs", "--format", "csv"});
  ASSERT_EQ(logs.status, 0) << logs.err;
  const auto punches = Lines(logs.out);
  ASSERT_EQ(punches.size(), 7u) << logs.out;
  EXPECT_EQ(punches[1], "1001,2024-05-06 08:01:12,1,0,0");
  EXPECT_EQ(punches[3], "1003,2024-05-06 08:29:05,4,0,7");

  const RunResult ops = sim.Termctl({"oplog", "--format", "csv"});
  ASSERT_EQ(ops.status, 0) << ops.err;
  ASSERT_EQ(Lines(ops.out).size(), 3u) << ops.out;
  EXPECT_EQ(CsvFields(Lines(ops.out)[2])[1], "6");
}

TEST(TermsimProgram, BadDataLineIsNamed) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "termsim_program_bad.data").string();
  std::ofstream(path) << "[users]\npin=1\tname=Ann\n[attendance]\n1,1,0,0,2024-02-30 25:00:00\n";
  TermsimProcess p({"--data", path});
  EXPECT_EQ(p.WaitExit(), 2);
  EXPECT_NE(p.err().find(path + ":4: bad record"), std::string::npos) << p.err();
  std::filesystem::remove(path);
}

TEST(TermsimProgram, DemoServesTheDataTermctlHasBuiltIn) {
  RunningTermsim sim({"--demo"});
  ASSERT_NE(sim.port, 0) << sim.process.err();
  const RunResult served = sim.Termctl({"logs", "--format", "csv"});
  ASSERT_EQ(served.status, 0) << served.err;
  const RunResult built_in = RunTermctl({"logs", "--format", "csv"});
  ASSERT_EQ(built_in.status, 0) << built_in.err;
  EXPECT_EQ(Lines(served.out).size(), 1401u);
  EXPECT_EQ(served.out, built_in.out);
  const RunResult users = sim.Termctl({"users", "--format", "csv"});
  EXPECT_EQ(users.out, RunTermctl({"users", "--format", "csv"}).out);
  EXPECT_EQ(Lines(users.out).size(), 37u);
}

TEST(TermsimProgram, CountedFaultsStillServe) {
  // A duplicated and a late reply: the library takes the one it waits for.
  RunningTermsim sim({"--demo", "--fault", "duplicate=1", "--fault", "late=1", "--fault",
                      "late_ms=50", "--fault", "seed=9"});
  ASSERT_NE(sim.port, 0) << sim.process.err();
  const RunResult r = sim.Termctl({"time"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "2024-03-01 09:15:00\n");
}

TEST(TermsimProgram, ShortReplyFaultMakesTheClockUnreadable) {
  // Half a packed time: the library reports no time rather than a made-up one.
  RunningTermsim sim({"--demo", "--fault", "short_reply=201:2"});
  ASSERT_NE(sim.port, 0) << sim.process.err();
  const RunResult r = sim.Termctl({"time"});
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("2024-03-01"), std::string::npos) << r.out;
}

TEST(TermsimProgram, SilentTerminalMakesTermctlFailClearly) {
  RunningTermsim sim({"--fault", "silent"});
  ASSERT_NE(sim.port, 0) << sim.process.err();
  const RunResult r = sim.Termctl({"info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot connect"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Q_Connect_NET failed"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(TermsimProgram, TcpAlonePrintsItsPortAndAnswers) {
  TermsimProcess p({"--tcp", "127.0.0.1:0", "--no-search"});
  const uint16_t port = p.WaitListening(10000, "tcp");
  ASSERT_NE(port, 0) << p.err();
  EXPECT_EQ(p.out().find("listening on udp"), std::string::npos) << p.out();
  EXPECT_NE(p.out().find("termsim: listening on tcp 127.0.0.1:" + std::to_string(port) + "\n"),
            std::string::npos)
      << p.out();
  simtest::SimTcpClient client(port);
  ASSERT_TRUE(client.connected()) << client.connect_result();
  const auto a = client.Connect();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(p.Stop(), 0);
}

TEST(TermsimProgram, UdpAndTcpTogetherServeOneTerminal) {
  TermsimProcess p({"--udp", "127.0.0.1:0", "--tcp", "127.0.0.1:0", "--no-search", "--fault",
                    "tcp_bad_magic=1"});
  const uint16_t udp_port = p.WaitListening(10000, "udp");
  const uint16_t tcp_port = p.WaitListening(10000, "tcp");
  ASSERT_NE(udp_port, 0) << p.err();
  ASSERT_NE(tcp_port, 0) << p.err();
  simtest::SimTcpClient tcp(tcp_port);
  ASSERT_TRUE(tcp.Connect());
  // The stream fault from the command line: the first frame's magic is off.
  EXPECT_EQ(tcp.last_frame_header()[3], 0x7E);
  ASSERT_TRUE(tcp.Exchange(wire::CMD_OPTIONS_WRQ, 1, simtest::Bytes("Volume=6")));
  EXPECT_EQ(tcp.last_frame_header()[3], 0x7D);
  simtest::SimClient udp(udp_port);
  ASSERT_TRUE(udp.Connect());
  const auto read = udp.Exchange(wire::CMD_OPTIONS_RRQ, 1, simtest::Bytes("Volume"));
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read->payload.begin(), read->payload.end() - 1), "Volume=6");
  EXPECT_EQ(p.Stop(), 0);
}

TEST(TermsimProgram, UsbServesADriveDirectory) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("termkit_program_usb_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  TermsimProcess p({"--usb", dir.string(), "--users", "20,3", "--fault", "usb_torn=1"});
  ASSERT_TRUE(p.WaitOutput("termsim: serving usb " + (dir / "dummy").string() + "\n")) << p.err();
  EXPECT_EQ(p.out().find("listening on"), std::string::npos) << p.out();
  EXPECT_EQ(std::filesystem::file_size(dir / "dummy"), 1536u);
  const RunResult users =
      RunTermctl({"usb://1", "users", "--format", "csv", "--usb-root", dir.string()});
  EXPECT_EQ(users.status, 0) << users.err;
  EXPECT_EQ(Lines(users.out).size(), 21u) << users.out;  // a header and the users
  EXPECT_EQ(p.Stop(), 0);

  // A drive file that cannot be served ends the program at once.
  TermsimProcess missing({"--usb", (dir / "no" / "such").string()});
  EXPECT_EQ(missing.WaitExit(), 1);
  EXPECT_NE(missing.err().find("cannot serve usb"), std::string::npos) << missing.err();
  std::filesystem::remove_all(dir);
}

TEST(TermsimProgram, StopsOnSigterm) {
  RunningTermsim sim({});
  ASSERT_NE(sim.port, 0) << sim.process.err();
  EXPECT_EQ(sim.process.Stop(), 0);
}

}  // namespace
}  // namespace termsimtest
