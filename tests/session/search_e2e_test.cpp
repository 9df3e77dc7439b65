// Q_SearchDevice: argument checks, and terminals answering on loopback.
#include <cstring>
#include <string>
#include <vector>

#include "session_fixture.h"

namespace session_test {
namespace {

constexpr char kLinePrefix[] = "no=0\tstatus=1\tpolicy=1\tcategory=1\t";

TEST(SearchDevice, BadArguments) {
  char result[256] = "untouched";
  EXPECT_EQ(Q_SearchDevice(nullptr, "127.0.0.1", result, sizeof result), 4);
  EXPECT_EQ(Q_SearchDevice("UDP", nullptr, result, sizeof result), 4);
  EXPECT_EQ(Q_SearchDevice("UDP", "127.0.0.1", nullptr, 256), 4);
  EXPECT_EQ(Q_SearchDevice("UDP", "127.0.0.1", result, 0), 4);
  EXPECT_EQ(Q_SearchDevice("UDP", "127.0.0.1", result, -5), 4);
  EXPECT_STREQ(result, "untouched");
}

TEST(SearchDevice, OnlyUdpKinds) {
  char result[256] = "untouched";
  for (const char* kind : {"RS232", "RS485", "SerialPort", "udp", "ETH", "", "USB"}) {
    EXPECT_EQ(Q_SearchDevice(kind, "127.0.0.1", result, sizeof result), -100) << kind;
  }
  EXPECT_STREQ(result, "untouched");
}

// Each test answers on a loopback address of its own, on the search port.
TEST(SearchDevice, OneTerminal) {
  termsim::Simulator sim(termsim::Profile::Ver660());
  ASSERT_TRUE(sim.StartUdp("127.0.0.61", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  char result[4096];
  std::memset(result, 'x', sizeof result);
  EXPECT_EQ(Q_SearchDevice("UDP", "127.0.0.61", result, sizeof result), 1);
  EXPECT_EQ(std::string(result),
            std::string(kLinePrefix) +
                "name=B3-C\tport=4370\tisfromPSRV=0\tmac=00:17:61:06:60:01\ttcpip=127.0.0.61"
                "\tsn=3512009110023");
  EXPECT_EQ(sim.SearchProbeCount(), 1u);
}

TEST(SearchDevice, MacAndIpOnly) {
  termsim::Profile p = termsim::Profile::Ver660();
  p.search_answer = "G00:11:22:33:44:55/10.0.0.5";
  termsim::Simulator sim(p);
  ASSERT_TRUE(sim.StartUdp("127.0.0.62", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  char result[4096];
  EXPECT_EQ(Q_SearchDevice("Eth", "127.0.0.62", result, sizeof result), 1);
  EXPECT_EQ(std::string(result),
            std::string(kLinePrefix) +
                "name=null\tport=4370\tisfromPSRV=0\tmac=00:11:22:33:44:55\ttcpip=10.0.0.5"
                "\tsn=null");
}

// The loopback broadcast address and the real search port are shared with
// other test programs' terminals (ctest keeps such tests of one run apart
// with a resource lock): the lines of these two terminals must be there,
// numbered in order with any others, separated by CR LF.
TEST(SearchDeviceBroadcast, TwoTerminalsGiveTwoLines) {
  termsim::Simulator a(termsim::Profile::Ver660());
  termsim::Simulator b(termsim::Profile::Tft());
  ASSERT_TRUE(a.StartUdp("127.0.0.63", 0));
  ASSERT_TRUE(b.StartUdp("127.0.0.64", 0));
  ASSERT_TRUE(a.StartSearchResponder("127.255.255.255"));
  ASSERT_TRUE(b.StartSearchResponder("127.255.255.255"));
  char result[4096];
  EXPECT_EQ(Q_SearchDevice("Ethernet", "127.255.255.255", result, sizeof result), 1);
  const std::string text = result;
  std::vector<std::string> lines;
  for (size_t at = 0;;) {
    const size_t crlf = text.find("\r\n", at);
    lines.push_back(text.substr(at, crlf == std::string::npos ? std::string::npos : crlf - at));
    if (crlf == std::string::npos) break;
    at = crlf + 2;
  }
  ASSERT_GE(lines.size(), 2u) << text;
  const std::string tail = "\tstatus=1\tpolicy=1\tcategory=1\t";
  const std::string line_a =
      tail +
      "name=B3-C\tport=4370\tisfromPSRV=0\tmac=00:17:61:06:60:01\ttcpip=127.0.0.63"
      "\tsn=3512009110023";
  const std::string line_b =
      tail +
      "name=iFace302\tport=4370\tisfromPSRV=0\tmac=00:17:61:0F:AC:E1\ttcpip=127.0.0.64"
      "\tsn=OGT2011060012";
  int mine = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string number = "no=" + std::to_string(i);
    ASSERT_EQ(lines[i].substr(0, number.size()), number) << text;
    const std::string rest = lines[i].substr(number.size());
    if (rest == line_a || rest == line_b) ++mine;
  }
  EXPECT_EQ(mine, 2) << text;
  EXPECT_GE(a.SearchProbeCount(), 1u);  // other programs may search too
  EXPECT_GE(b.SearchProbeCount(), 1u);
}

TEST(SearchDevice, NobodyAnswers) {
  char result[256];
  std::memset(result, 'x', sizeof result);
  EXPECT_EQ(Q_SearchDevice("UDP", "127.0.0.65", result, sizeof result), 0);
  EXPECT_STREQ(result, "");
}

TEST(SearchDevice, SmallBufferIsNeverOverrun) {
  termsim::Simulator sim(termsim::Profile::Ver660());
  ASSERT_TRUE(sim.StartUdp("127.0.0.66", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  char result[64];
  std::memset(result, 'x', sizeof result);
  const int32_t found = Q_SearchDevice("UDP", "127.0.0.66", result, 32);
  EXPECT_NE(found, 1);  // the line does not fit 32 bytes
  EXPECT_LT(std::strlen(result), 32u);
  for (size_t i = 32; i < sizeof result; ++i) ASSERT_EQ(result[i], 'x') << i;
}

}  // namespace
}  // namespace session_test
