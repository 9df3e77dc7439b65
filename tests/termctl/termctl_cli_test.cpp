// termctl's command line: help, bad arguments, unreachable terminals and the
// built-in demo terminal.
#include <gtest/gtest.h>

#include <string>

#include "run_termctl.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

TEST(TermctlCli, ToolHelp) {
  const RunResult r = RunTermctl({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: termctl"), std::string::npos);
}

TEST(TermctlCli, EveryCommandHasHelp) {
  for (const char* c : {"info", "time", "options", "users", "logs", "oplog", "events", "search",
                        "enable", "disable", "restart", "unlock", "beep"}) {
    const RunResult r = RunTermctl({c, "--help"});
    EXPECT_EQ(r.status, 0) << c;
    EXPECT_NE(r.out.find("usage: termctl"), std::string::npos) << c;
  }
}

TEST(TermctlCli, UnknownCommandIsAUsageError) {
  const RunResult r = RunTermctl({"udp://127.0.0.1:9", "frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown command 'frobnicate'"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(TermctlCli, BadAddressesAndOptions) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"udp://127.0.0.1:99999", "info"}, "bad port"},
      {{"udp://", "info"}, "no host"},
      {{"ftp://host", "info"}, "unknown address scheme"},
      {{"usb://256", "info"}, "bad device number"},
      {{"usb://one", "info"}, "bad device number"},
      {{"usb://1", "info", "--usb-root"}, "needs a value"},
      {{"udp://127.0.0.1:9", "info", "--bogus"}, "unknown option --bogus"},
      {{"udp://127.0.0.1:9", "logs", "--format", "xml"}, "unknown --format"},
      {{"udp://127.0.0.1:9", "info", "--password", "abc"}, "--password"},
      {{"logs", "--format"}, "needs a value"},
  };
  for (const Case& c : cases) {
    const RunResult r = RunTermctl(c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

// A TCP port nobody listens on is refused at once: the connect fails fast
// and says which call failed.
TEST(TermctlCli, RefusedTcpConnectFailsAtOnce) {
  uint16_t port = 0;
  {
    termsim::Simulator sim;
    ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
    port = sim.tcp_port();
    sim.Stop();
  }
  const RunResult r = RunTermctl({"tcp://127.0.0.1:" + std::to_string(port), "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Q_Connect_NETEX failed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Q_LastError"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_LT(r.seconds, 20.0);
}

TEST(TermctlCli, UnreachableTerminalFailsWithinTheTimeOuts) {
  uint16_t port = 0;
  {
    // A port that was just free and is closed again.
    termsim::Simulator sim;
    ASSERT_TRUE(sim.StartUdp("127.0.0.1", 0));
    port = sim.udp_port();
    sim.Stop();
  }
  const RunResult r = RunTermctl({"udp://127.0.0.1:" + std::to_string(port), "info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Q_Connect_NET failed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Q_LastError"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_LT(r.seconds, 20.0);
}

TEST(TermctlCli, NoCommandShowsTheDemo) {
  const RunResult r = RunTermctl({});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("no terminal given; using the built-in simulator at udp://127.0.0.1:"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("Ver 6.60"), std::string::npos);
  EXPECT_NE(r.out.find("== termctl users"), std::string::npos);
  EXPECT_NE(r.out.find("== termctl logs"), std::string::npos);
}

// The built-in terminal has somebody punch every few seconds once a host
// listens: the event carries the punch, whose record joins the log.
TEST(TermctlCli, DemoPushesPunches) {
  const RunResult r = RunTermctl({"events", "--count", "1", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("verification"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("32"), std::string::npos) << r.out;  // the payload's length
}

TEST(TermctlCli, VersionIsTheProjects) {
  const RunResult r = RunTermctl({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("termctl ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find('.'), std::string::npos) << r.out;
}

TEST(TermctlCli, LogsClearNeedsConfirmation) {
  const RunResult r = RunTermctl({"logs", "--clear"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
}

TEST(TermctlCli, BuiltInSimulatorAnswersInfoAsJson) {
  const RunResult r = RunTermctl({"info", "--format", "json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(JsonField(lines[0], "firmware"), "Ver 6.60 Oct 26 2009");
  EXPECT_EQ(JsonField(lines[0], "users"), "36");
}

}  // namespace
}  // namespace termctltest
