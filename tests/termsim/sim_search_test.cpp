// The terminal answers device searches on its search port.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "platform/socket.h"
#include "termsim/simulator.h"

namespace {

namespace net = platform::net;

// Each test listens on its own loopback address, so tests may run side by
// side.
class SimSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    socket_ = net::Socket::Open(net::Socket::Kind::kDatagram);
    ASSERT_TRUE(socket_.Valid());
    ASSERT_EQ(socket_.Bind(net::SockAddrV4::Loopback(0)), 0);
  }

  void Probe(const std::string& address, const std::string& text) {
    net::SockAddrV4 to;
    ASSERT_EQ(net::ResolveHostV4(address.c_str(), termsim::kSearchPort, &to), 0);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    ASSERT_EQ(socket_.SendTo(bytes, to), static_cast<int>(bytes.size()));
  }

  std::optional<std::string> Answer(uint32_t timeout_ms = 1000) {
    if (socket_.WaitReadable(timeout_ms) != 1) return std::nullopt;
    std::vector<uint8_t> buffer(8192);
    net::SockAddrV4 from;
    const int n = socket_.RecvFrom(buffer, &from);
    if (n < 0) return std::nullopt;
    EXPECT_EQ(from.port(), termsim::kSearchPort);  // answered from the search port
    return std::string(buffer.begin(), buffer.begin() + n);
  }

  net::Socket socket_;
};

TEST_F(SimSearchTest, ProbeGetsMacIpNameAndSerial) {
  termsim::Simulator sim(termsim::Profile::Ver660());
  ASSERT_TRUE(sim.StartUdp("127.0.0.41", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  Probe("127.0.0.41", "X");
  EXPECT_EQ(Answer(), "G00:17:61:06:60:01/127.0.0.41/B3-C/3512009110023");
  EXPECT_EQ(sim.SearchProbeCount(), 1u);

  // The name is read when the probe comes.
  sim.SetOption("~DeviceName", "Gate");
  Probe("127.0.0.41", "X");
  EXPECT_EQ(Answer(), "G00:17:61:06:60:01/127.0.0.41/Gate/3512009110023");
  // Search traffic is not terminal protocol: nothing was logged.
  EXPECT_EQ(sim.ReceivedCount(), 0u);
}

TEST_F(SimSearchTest, OtherDatagramsGetNoAnswer) {
  termsim::Simulator sim;
  ASSERT_TRUE(sim.StartUdp("127.0.0.42", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  Probe("127.0.0.42", "G00:11/1.2.3.4");
  Probe("127.0.0.42", "hello");
  EXPECT_FALSE(Answer(200));
  EXPECT_EQ(sim.SearchProbeCount(), 0u);
}

TEST_F(SimSearchTest, ProfileChoosesWhatIsReported) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.search_ip = "192.168.1.201";
  profile.mac = "00:AA:BB:CC:DD:EE";
  termsim::Simulator sim(profile);
  ASSERT_TRUE(sim.StartUdp("127.0.0.43", 0));
  ASSERT_TRUE(sim.StartSearchResponder());
  Probe("127.0.0.43", "X");
  EXPECT_EQ(Answer(), "G00:AA:BB:CC:DD:EE/192.168.1.201/B3-C/3512009110023");

  profile.search_answer = "W(null)/0.0.0.0";
  termsim::Simulator odd(profile);
  ASSERT_TRUE(odd.StartUdp("127.0.0.44", 0));
  ASSERT_TRUE(odd.StartSearchResponder());
  Probe("127.0.0.44", "X");
  EXPECT_EQ(Answer(), "W(null)/0.0.0.0");
}

TEST_F(SimSearchTest, SeveralTerminalsShareABroadcastAddress) {
  termsim::Simulator a(termsim::Profile::Ver660());
  termsim::Simulator b(termsim::Profile::Tft());
  ASSERT_TRUE(a.StartUdp("127.0.0.45", 0));
  ASSERT_TRUE(b.StartUdp("127.0.0.46", 0));
  // A port of its own keeps this test apart from other searches on the
  // loopback broadcast address.
  const auto port = static_cast<uint16_t>(std::random_device()() % 10000 + 50000);
  ASSERT_TRUE(a.StartSearchResponder("127.255.255.255", port));
  ASSERT_TRUE(b.StartSearchResponder("127.255.255.255", port));
  ASSERT_EQ(socket_.SetBroadcast(true), 0);
  net::SockAddrV4 to;
  ASSERT_EQ(net::ResolveHostV4("127.255.255.255", port, &to), 0);
  ASSERT_EQ(socket_.SendTo(std::vector<uint8_t>{'X'}, to), 1);
  std::set<std::string> answers;
  for (int i = 0; i < 2; ++i) {
    if (socket_.WaitReadable(1000) != 1) break;
    std::vector<uint8_t> buffer(512);
    const int n = socket_.RecvFrom(buffer, nullptr);
    ASSERT_GT(n, 0);
    answers.insert(std::string(buffer.begin(), buffer.begin() + n));
  }
  EXPECT_EQ(answers,
            (std::set<std::string>{"G00:17:61:06:60:01/127.0.0.45/B3-C/3512009110023",
                                   "G00:17:61:0F:AC:E1/127.0.0.46/iFace302/OGT2011060012"}));
}

TEST_F(SimSearchTest, NeedsAnAddress) {
  termsim::Simulator sim;
  EXPECT_FALSE(sim.StartSearchResponder());  // not listening anywhere yet
}

}  // namespace
