// DEVWIRE_BROADCAST over the UDP plug-in against simulated terminals that
// answer on the loopback network.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"

namespace {

// Short searches: the search ends this long after the last answer.
constexpr int32_t kTimeLimitMs = 600;

std::string Line(int no, const std::string& name, const std::string& mac, const std::string& ip,
                 const std::string& sn) {
  return "no=" + std::to_string(no) + "\tstatus=1\tpolicy=1\tcategory=1\tname=" + name +
         "\tport=4370\tisfromPSRV=0\tmac=" + mac + "\ttcpip=" + ip + "\tsn=" + sn;
}

// A terminal listening on `address`, answering searches there.
std::unique_ptr<termsim::Simulator> Terminal(const termsim::Profile& profile,
                                             const std::string& address,
                                             const std::string& search_address = "") {
  auto sim = std::make_unique<termsim::Simulator>(profile);
  EXPECT_TRUE(sim->StartUdp(address, 0));
  EXPECT_TRUE(sim->StartSearchResponder(search_address));
  return sim;
}

struct Search {
  int32_t result = 0;
  std::string text;
};

Search SearchFor(const char* address, int32_t size = 4096, int32_t limit = kTimeLimitMs,
                 const char* plugin = "comms.dll") {
  std::vector<char> buffer(static_cast<size_t>(size), 'Z');
  Search s;
  s.result = DEVWIRE_BROADCAST(plugin, address, "X", 1, buffer.data(), size, limit);
  // The buffer is always terminated, and zeroed beyond the text.
  EXPECT_EQ(buffer.back(), '\0');
  s.text = buffer.data();
  for (size_t i = s.text.size(); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\0');
  return s;
}

TEST(SearchE2ETest, OneTerminalGivesItsLine) {
  auto sim = Terminal(termsim::Profile::Ver660(), "127.0.0.51");
  const Search s = SearchFor("127.0.0.51");
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(s.text, Line(0, "B3-C", "00:17:61:06:60:01", "127.0.0.51", "3512009110023"));
  EXPECT_EQ(sim->SearchProbeCount(), 1u);
}

TEST(SearchE2ETest, TerminalWithoutNameAndSerial) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.options.erase("~DeviceName");
  profile.options.erase("~SerialNumber");
  auto sim = Terminal(profile, "127.0.0.52");
  const Search s = SearchFor("127.0.0.52");
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(s.text, Line(0, "null", "00:17:61:06:60:01", "127.0.0.52", "null"));
}

TEST(SearchE2ETest, MalformedAnswerGivesNoLine) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.search_answer = "G(null)/127.0.0.53/F7/SN";
  auto sim = Terminal(profile, "127.0.0.53");
  const Search s = SearchFor("127.0.0.53");
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(s.text, "");
}

// The result lines, split at CR LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// A line without its running number.
std::string Unnumbered(const std::string& line) { return line.substr(line.find('\t')); }

// Searches that reach two terminals use the loopback broadcast address and
// the real search port, where other test programs' terminals may answer too
// (ctest keeps such tests of one run apart): the lines of these two
// terminals must be there, numbered in order with any others.
TEST(SearchBroadcastTest, TwoTerminalsGiveTwoLines) {
  auto a = Terminal(termsim::Profile::Ver660(), "127.0.0.54", "127.255.255.255");
  auto b = Terminal(termsim::Profile::Tft(), "127.0.0.55", "127.255.255.255");
  const std::string line_a = Line(0, "B3-C", "00:17:61:06:60:01", "127.0.0.54", "3512009110023");
  const std::string line_b =
      Line(0, "iFace302", "00:17:61:0F:AC:E1", "127.0.0.55", "OGT2011060012");

  const Search s = SearchFor("127.255.255.255");
  EXPECT_EQ(s.result, 1);
  const std::vector<std::string> lines = Lines(s.text);
  ASSERT_GE(lines.size(), 2u) << s.text;
  int mine = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, lines[i].find('\t')), "no=" + std::to_string(i));
    const std::string rest = Unnumbered(lines[i]);
    if (rest == Unnumbered(line_a) || rest == Unnumbered(line_b)) ++mine;
  }
  EXPECT_EQ(mine, 2) << s.text;
  EXPECT_GE(a->SearchProbeCount(), 1u);  // other programs may search too
  EXPECT_GE(b->SearchProbeCount(), 1u);

  // Room for one line, with some to spare for another terminal's longer
  // one, but never for two: the rest are left out.
  const size_t longest = std::max(line_a.size(), line_b.size());
  const Search cut = SearchFor("127.255.255.255", static_cast<int32_t>(longest + 40));
  EXPECT_EQ(cut.result, 1);
  EXPECT_EQ(Lines(cut.text).size(), 1u) << cut.text;

  // Room for not even one line.
  const Search none = SearchFor("127.255.255.255", 50);
  EXPECT_EQ(none.result, -15104);
  EXPECT_EQ(none.text, "");
}

TEST(SearchE2ETest, NoAnswerGivesNothing) {
  const Search s = SearchFor("127.0.0.56", 4096, 1000);
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(s.text, "");
}

TEST(SearchE2ETest, Failures) {
  std::vector<char> buffer(64, 'Z');
  EXPECT_EQ(DEVWIRE_BROADCAST("nosuch.dll", "127.0.0.57", "X", 1, buffer.data(), 64, 100), -1);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(DEVWIRE_BROADCAST(nullptr, "127.0.0.57", "X", 1, buffer.data(), 64, 100), -1);
  EXPECT_EQ(DEVWIRE_BROADCAST("comms.dll", "no.such.host.invalid", "X", 1, buffer.data(), 64, 100),
            -1);
  EXPECT_EQ(DEVWIRE_BROADCAST("comms.dll", nullptr, "X", 1, buffer.data(), 64, 100), -1);
  EXPECT_EQ(DEVWIRE_BROADCAST("comms.dll", "127.0.0.57", nullptr, 0, buffer.data(), 64, 100), -2);
  EXPECT_EQ(DEVWIRE_BROADCAST("comms.dll", "127.0.0.57", "X", 1, nullptr, 64, 100), -15104);
  EXPECT_EQ(DEVWIRE_BROADCAST("comms.dll", "127.0.0.57", "X", 1, buffer.data(), 0, 100), -15104);
}

// Run with TERMKIT_SEARCH_ADDRESS set (ctest does): the probe goes there,
// whatever address the caller gives.
TEST(SearchOverrideTest, EnvironmentRedirectsTheProbe) {
  const char* forced = std::getenv("TERMKIT_SEARCH_ADDRESS");
  if (forced == nullptr) GTEST_SKIP() << "TERMKIT_SEARCH_ADDRESS is not set";
  auto sim = Terminal(termsim::Profile::Tft(), forced);
  const Search s = SearchFor("127.0.0.99");
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(s.text, Line(0, "iFace302", "00:17:61:0F:AC:E1", forced, "OGT2011060012"));
}

}  // namespace
