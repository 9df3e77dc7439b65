// The simulator over TCP, seen on the raw wire: framed answers, frames cut
// any way, bad frames, UDP and TCP serving one terminal, and a host that
// reconnects keeping its session and its events.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sim_client.h"
#include "sim_tcp_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using simtest::Bytes;
using simtest::Frame;
using simtest::Packet;
using simtest::SimClient;
using simtest::SimTcpClient;

constexpr uint32_t kQuietMs = 200;
constexpr uint16_t kDeleteUser = wire::CMD_DELETE_USER;

std::vector<uint8_t> U32Bytes(uint32_t v) {
  std::vector<uint8_t> out(4);
  wire::ByteWriter(out).U32(v);
  return out;
}

class SimTcpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.StartTcp("127.0.0.1", 0)); }
  std::unique_ptr<SimTcpClient> Connected() {
    auto c = std::make_unique<SimTcpClient>(sim_.tcp_port());
    EXPECT_TRUE(c->connected()) << c->connect_result();
    return c;
  }
  termsim::Simulator sim_;
};

TEST_F(SimTcpTest, CommandIsAnsweredInAFrame) {
  auto c = Connected();
  const auto connect = c->Connect();
  ASSERT_TRUE(connect);
  EXPECT_EQ(connect->header.code, wire::CMD_ACK_OK);
  EXPECT_TRUE(connect->checksum_ok);
  EXPECT_EQ(c->last_frame_header(),
            (std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7D, 0x08, 0x00, 0x00, 0x00}));
  const auto a = c->Exchange(wire::kFirmwareVersion, 1);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(a->header.reply_counter, 1);
  EXPECT_EQ(std::string(a->payload.begin(), a->payload.end() - 1), "Ver 6.60 Oct 26 2009");
  EXPECT_EQ(sim_.TcpConnectionsAccepted(), 1u);
  EXPECT_EQ(c->pending_bytes(), 0u);
}

TEST_F(SimTcpTest, TwoFramesInOneWriteAreBothAnswered) {
  auto c = Connected();
  ASSERT_TRUE(c->Connect());
  auto bytes = Frame(Packet(wire::CMD_OPTIONS_WRQ, c->connection_id(), 1, Bytes("Volume=3")));
  const auto second = Frame(Packet(wire::CMD_OPTIONS_RRQ, c->connection_id(), 2, Bytes("Volume")));
  bytes.insert(bytes.end(), second.begin(), second.end());
  c->SendBytes(bytes);
  const auto a = c->Receive();
  const auto b = c->Receive();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->header.reply_counter, 1);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(b->header.reply_counter, 2);
  EXPECT_EQ(std::string(b->payload.begin(), b->payload.end() - 1), "Volume=3");
}

TEST_F(SimTcpTest, FrameTrickledByteByByteIsAnswered) {
  auto c = Connected();
  ASSERT_TRUE(c->Connect());
  const auto frame = Frame(Packet(wire::CMD_OPTIONS_WRQ, c->connection_id(), 1, Bytes("Volume=5")));
  for (const uint8_t byte : frame) {
    c->SendBytes({byte});
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto a = c->Receive();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_.Option("Volume"), "5");
}

TEST_F(SimTcpTest, BadFrameDropsTheConnection) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  auto bad_magic = Frame(Packet(wire::CMD_CONNECT, 0, 0));
  bad_magic[0] = 0x51;
  auto length = [](uint32_t n) {
    auto f = Frame(Packet(wire::CMD_CONNECT, 0, 0));
    wire::ByteWriter(std::span<uint8_t>(f).subspan(4, 4)).U32(n);
    return f;
  };
  const Case cases[] = {
      {"bad magic", bad_magic},
      {"garbage", Bytes("GET / HTTP/1.0\r\n\r\n", false)},
      {"length 7", length(7)},
      {"length 65545", length(65545)},
  };
  for (const Case& k : cases) {
    sim_.ClearReceived();
    auto c = Connected();
    c->SendBytes(k.bytes);
    EXPECT_LE(c->WaitClosed(), 0) << k.name;
    EXPECT_EQ(c->pending_bytes(), 0u) << k.name;  // nothing answered
    EXPECT_EQ(sim_.ReceivedCount(), 0u) << k.name;
  }
  // The terminal goes on serving others.
  auto c = Connected();
  EXPECT_TRUE(c->Connect());
}

TEST_F(SimTcpTest, WireSizeCountsTheFrame) {
  ASSERT_TRUE(sim_.StartUdp("127.0.0.1", 0));
  auto tcp = Connected();
  ASSERT_TRUE(tcp->Connect());
  SimClient udp(sim_.udp_port());
  ASSERT_TRUE(udp.Connect());
  tcp->Exchange(wire::CMD_OPTIONS_RRQ, 1, Bytes("~Platform"));
  const auto received = sim_.Received();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].wire_size, 16u);  // TCP: frame header and packet
  EXPECT_EQ(received[0].raw.size(), 8u);
  EXPECT_EQ(received[1].wire_size, 8u);  // UDP: the datagram
  EXPECT_EQ(received[2].wire_size, 8u + 8u + 10u);
  EXPECT_EQ(received[2].raw.size(), 18u);
}

TEST_F(SimTcpTest, UdpAndTcpServeOneTerminal) {
  std::vector<termsim::User> users(2);
  users[0].pin = 1;
  users[1].pin = 2;
  sim_.SetUsers(users);
  ASSERT_TRUE(sim_.StartUdp("127.0.0.1", 0));
  auto tcp = Connected();
  ASSERT_TRUE(tcp->Connect());
  SimClient udp(sim_.udp_port());
  ASSERT_TRUE(udp.Connect());

  // A user deleted over UDP is gone for the host on TCP.
  const std::vector<uint8_t> pin1 = {1, 0};
  const auto deleted = udp.Exchange(kDeleteUser, 1, pin1);
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->header.code, wire::CMD_ACK_OK);
  const auto again = tcp->Exchange(kDeleteUser, 1, pin1);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->header.code, wire::CMD_ACK_ERROR);
  EXPECT_FALSE(sim_.FindUser(1));
  EXPECT_TRUE(sim_.FindUser(2));

  // An option written over TCP is read over UDP.
  ASSERT_TRUE(tcp->Exchange(wire::CMD_OPTIONS_WRQ, 2, Bytes("Volume=7")));
  const auto read = udp.Exchange(wire::CMD_OPTIONS_RRQ, 2, Bytes("Volume"));
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read->payload.begin(), read->payload.end() - 1), "Volume=7");
  EXPECT_EQ(sim_.SessionCount(), 2u);
}

TEST_F(SimTcpTest, SendRawGoesFramedToTheLatestConnection) {
  auto c = Connected();
  ASSERT_TRUE(c->Connect());
  const auto event = Packet(wire::kEventPacket, termsim::kEventDoor, 9, {1, 2, 3});
  ASSERT_TRUE(sim_.SendRaw(event));
  const auto a = c->Receive();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->raw, event);
}

TEST_F(SimTcpTest, SessionAndEventsFollowAReconnect) {
  termsim::EventSettings settings;
  settings.resend_ms = 100;
  settings.max_resends = 50;
  sim_.SetEventSettings(settings);
  uint16_t id = 0;
  {
    auto first = Connected();
    ASSERT_TRUE(first->Connect());
    id = first->connection_id();
    const auto reg = first->Exchange(wire::kEventPacket, 1, U32Bytes(0xFFFF));
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->header.code, wire::CMD_ACK_OK);
    EXPECT_EQ(first->WaitClosed(50), 1);
  }  // the host's connection is gone
  // Pushed while the host is away: it waits for its resends.
  const uint16_t counter = sim_.PushEvent(termsim::kEventAlarm, {4, 5});

  auto second = Connected();
  second->set_connection_id(id);
  const auto a = second->Exchange(wire::CMD_ENABLEDEVICE, 2);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);  // the same session, on the new connection
  EXPECT_EQ(sim_.SessionCount(), 1u);
  const auto resent = second->Receive(3000);
  ASSERT_TRUE(resent);
  EXPECT_EQ(resent->header.code, wire::kEventPacket);
  EXPECT_EQ(resent->header.reply_counter, counter);
  second->Send(wire::CMD_ACK_OK, counter);
  // A new event goes straight to the new connection.
  const uint16_t next = sim_.PushEvent(termsim::kEventDoor, {6});
  std::optional<simtest::Answer> pushed;
  do {
    pushed = second->Receive(2000);  // a resend of the first may still be on its way
  } while (pushed && pushed->header.reply_counter != next);
  ASSERT_TRUE(pushed);
  EXPECT_EQ(pushed->header.connection_id, termsim::kEventDoor);
  second->Send(wire::CMD_ACK_OK, next);
  for (int i = 0; i < 100 && sim_.EventCounts().acknowledged < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(sim_.EventCounts().acknowledged, 2u);
  EXPECT_EQ(sim_.EventListeners(termsim::kEventDoor), 1u);
}

// Several hosts at once, each on its own thread and connection.
TEST_F(SimTcpTest, ConnectionsAreServedSideBySide) {
  constexpr int kHosts = 4;
  constexpr int kCommands = 40;
  std::atomic<int> answered{0};
  std::vector<std::thread> hosts;
  for (int h = 0; h < kHosts; ++h) {
    hosts.emplace_back([&, h] {
      SimTcpClient c(sim_.tcp_port());
      if (!c.connected() || !c.Connect()) return;
      const std::string name = "Host" + std::to_string(h);
      for (int i = 1; i <= kCommands; ++i) {
        const auto counter = static_cast<uint16_t>(i);
        const auto w = c.Exchange(wire::CMD_OPTIONS_WRQ, counter,
                                  Bytes(name + "=" + std::to_string(i)));
        if (w && w->header.code == wire::CMD_ACK_OK && w->header.reply_counter == counter) {
          ++answered;
        }
      }
    });
  }
  for (auto& t : hosts) t.join();
  EXPECT_EQ(answered.load(), kHosts * kCommands);
  for (int h = 0; h < kHosts; ++h) {
    EXPECT_EQ(sim_.Option("Host" + std::to_string(h)), std::to_string(kCommands));
  }
  EXPECT_EQ(sim_.TcpConnectionsAccepted(), static_cast<size_t>(kHosts));
}

TEST(SimTcpStart, BothEndpointsStartAndStopInEitherOrder) {
  termsim::Simulator sim;
  ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
  EXPECT_FALSE(sim.StartTcp("127.0.0.1", 0));  // already listening
  ASSERT_TRUE(sim.StartUdp("127.0.0.1", 0));
  EXPECT_NE(sim.tcp_port(), 0);
  sim.Stop();
  ASSERT_TRUE(sim.StartUdp("127.0.0.1", 0));
  SimClient udp(sim.udp_port());
  EXPECT_TRUE(udp.Connect());
  ASSERT_TRUE(sim.StartTcp("127.0.0.1", 0));
  SimTcpClient tcp(sim.tcp_port());
  ASSERT_TRUE(tcp.connected());
  EXPECT_TRUE(tcp.Connect());
}

}  // namespace
