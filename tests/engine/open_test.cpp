// Opening connections through loaded plug-ins: binding, sizing, handshake
// and the open's error codes.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "connection/connect_handshake.h"
#include "devwire.h"
#include "fake_terminal.h"
#include "connection/transport_binding.h"
#include "wire/codes.h"

namespace enginetest {
namespace {

class OpenTest : public ::testing::Test {
 protected:
  void SetUp() override { DEVWIRE_LASTERROR(nullptr); }

  DEVWIRE_HANDLE Open(const char* plugin, int32_t password = 0,
                      DEVWIRE_EVENT_CALLBACK callback = nullptr, int32_t* limit = nullptr) {
    if (!InstallInPlugin(plugin)) ADD_FAILURE() << "cannot load " << plugin;
    return DEVWIRE_INIT(plugin, "10.0.0.9", 4370, 0, callback, nullptr, password, limit);
  }

  FakeTerminal term;
};

TEST_F(OpenTest, ConnectPacketAndHandle) {
  DEVWIRE_HANDLE h = Open("engtest_full.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), 0);
  ASSERT_FALSE(term.commands.empty());
  EXPECT_EQ(term.commands[0].raw, (std::vector<uint8_t>{0xE8, 0x03, 0x17, 0xFC, 0, 0, 0, 0}));
  EXPECT_EQ(term.read_timeouts.front(), 3000) << "UDP connect time-out";
  DEVWIRE_CLOSE(h);
  EXPECT_EQ(term.commands.back().code, wire::CMD_EXIT);
  EXPECT_EQ(term.closes, 1);
}

TEST_F(OpenTest, PluginWithoutReadIsRefused) {
  EXPECT_EQ(Open("engtest_noread.dll"), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_NO_ENTRY_POINT);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), 0) << "read once, then cleared";
  EXPECT_EQ(term.opens, 0);
}

TEST_F(OpenTest, PluginWithoutTerminalReadOrErrorIsAccepted) {
  DEVWIRE_HANDLE h = Open("engtest_bare.dll");
  ASSERT_NE(h, nullptr);
  uint16_t code = 60;
  DEVWIRE_SENDCMD(h, &code, nullptr, 0, 0, 100);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(DEVWIRE_LASTERROR(h), 0);
  DEVWIRE_CLOSE(h);
  EXPECT_EQ(term.terminal_reads, 0);
}

TEST_F(OpenTest, PluginWithoutNameGetsTheSerialSizing) {
  DEVWIRE_HANDLE h = Open("engtest_noname.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(term.read_timeouts.front(), 5000);
  EXPECT_EQ(SetBuffLen(h, 1 << 20), 1032);
  DEVWIRE_CLOSE(h);
}

TEST_F(OpenTest, TcpFitsAWholeBlock) {
  term.name = "TCP";
  DEVWIRE_HANDLE h = Open("engtest_full.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_GE(term.read_timeouts.front(), 1500);
  EXPECT_LT(term.read_timeouts.front(), 2500);
  EXPECT_EQ(SetBuffLen(h, 1 << 20), 65544);
  std::vector<uint8_t> data(65536, 1);
  uint16_t code = 8;
  DEVWIRE_SENDCMD(h, &code, data.data(), 0, static_cast<int32_t>(data.size()), 100);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  DEVWIRE_CLOSE(h);
}

TEST_F(OpenTest, MissingPluginFile) {
  EXPECT_EQ(DEVWIRE_INIT("no_such_plugin.dll", "x", 1, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_LOAD_PLUGIN);
  EXPECT_EQ(DEVWIRE_INIT(nullptr, nullptr, 1, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_LOAD_PLUGIN);
}

TEST_F(OpenTest, TransportThatCannotOpen) {
  term.open_fails = true;
  EXPECT_EQ(Open("engtest_full.dll"), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_TRANSPORT_OPEN);
  EXPECT_EQ(term.closes, 0);
}

TEST_F(OpenTest, AuthenticationAccepted) {
  term.password = 135790;
  DEVWIRE_HANDLE h = Open("engtest_full.dll", 135790);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(term.Count(wire::CMD_AUTH), 1u);
  const auto auth = term.Sent(wire::CMD_AUTH)[0];
  EXPECT_EQ(auth.connection_id, term.session_id);
  EXPECT_EQ(auth.counter, 1);
  EXPECT_EQ(auth.payload.size(), 4u);
  DEVWIRE_CLOSE(h);
}

TEST_F(OpenTest, AuthenticationRefused) {
  term.password = 135790;
  EXPECT_EQ(Open("engtest_full.dll", 24680), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_AUTH_REFUSED);
  EXPECT_EQ(term.closes, 1);
}

TEST_F(OpenTest, OtherConnectReply) {
  term.on_command = [](FakeTerminal& t, const Command& c) { t.Answer(c, wire::CMD_ACK_ERROR); };
  EXPECT_EQ(Open("engtest_full.dll"), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_CONNECT_REFUSED);
}

TEST_F(OpenTest, NoReplyAtAll) {
  term.on_command = [](FakeTerminal&, const Command&) {};
  EXPECT_EQ(Open("engtest_full.dll"), nullptr);
  EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_NO_REPLY);
  EXPECT_EQ(term.Count(wire::CMD_CONNECT), 2u) << "two attempts, one try";
  EXPECT_EQ(term.closes, 1);
}

TEST_F(OpenTest, PeerLimitRefusal) {
  struct Case {
    std::string name;
    std::string text;
    int32_t limit;
  };
  const Case cases[] = {
      {"P4P", "~MaxP2PConnCnt=3", 3},   {"P4P", "Other=1\n~MaxP2PConnCnt=12\nMore=2", 12},
      {"P4P", "x~MaxP2PConnCnt=5", -1}, {"P4P", "", -1},
      {"UDP", "~MaxP2PConnCnt=3", 99},  // only a peer-to-peer line reports its limit
  };
  for (const Case& c : cases) {
    term.name = c.name;
    term.on_command = [&](FakeTerminal& t, const Command& cmd) {
      t.Answer(cmd, wire::kPeerRefused, std::vector<uint8_t>(c.text.begin(), c.text.end()));
    };
    int32_t limit = 99;
    EXPECT_EQ(Open("engtest_full.dll", 0, nullptr, &limit), nullptr);
    EXPECT_EQ(DEVWIRE_LASTERROR(nullptr), DEVWIRE_E_PEER_LIMIT) << c.text;
    EXPECT_EQ(limit, c.limit) << c.text;
  }
}

TEST(PeerLimitTest, ParsesOnlyWhatArrived) {
  auto parse = [](std::string s) {
    return devwire::ParsePeerLimit(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  };
  EXPECT_EQ(parse("~MaxP2PConnCnt=7"), 7);
  EXPECT_EQ(parse("~MaxP2PConnCnt"), -1);
  EXPECT_EQ(parse("~MaxP2PConnCnt:7"), -1);
  EXPECT_EQ(parse("~MaxP2PConnCnt=99999999999999"), 2147483647);
  EXPECT_EQ(parse(std::string("A=1\0\n~MaxP2PConnCnt=7", 21)), -1) << "text ends at its NUL";
  // A key cut off at the end of the bytes: nothing read beyond them.
  const std::string cut = "~MaxP2PConn";
  EXPECT_EQ(parse(cut), -1);
}

TEST(SizingTest, ByTransportName) {
  struct Case {
    const char* name;
    size_t buffer;
    int32_t length;
    int32_t timeout;
    bool from_open;
  };
  const Case cases[] = {
      {"TCP", 65544, 65544, 0, true},        {"TCPX", 65544, 65544, 0, true},
      {"UDP", 1032, 1032, 3000, false},      {"P4P", 65544, 65544, 3000, false},
      {"USBDIRECT", 3096, 512, 5000, false}, {"USBDISK", 1032, 1032, 5000, false},
      {"RS232", 1032, 1032, 5000, false},    {"USBDisk", 1032, 1032, 5000, false},
      {"", 1032, 1032, 5000, false},         {"TC", 1032, 1032, 5000, false},
  };
  for (const Case& c : cases) {
    const auto s = devwire::SizingForName(c.name);
    EXPECT_EQ(s.buffer_size, c.buffer) << c.name;
    EXPECT_EQ(s.receive_length, c.length) << c.name;
    EXPECT_EQ(s.connect_timeout_ms, c.timeout) << c.name;
    EXPECT_EQ(s.timeout_from_open, c.from_open) << c.name;
  }
  EXPECT_EQ(devwire::ConnectTimeoutAfterOpen(0), 1510);
  EXPECT_EQ(devwire::ConnectTimeoutAfterOpen(25), 1525);
}

}  // namespace
}  // namespace enginetest
