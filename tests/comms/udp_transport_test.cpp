// The UDP transport against plain loopback sockets standing in for
// terminals.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "comms_plugin.h"
#include "platform/socket.h"
#include "platform/tick.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace {

using commstest::Comms;
namespace net = platform::net;

// A socket on a loopback address playing a terminal (or a stranger).
class Peer {
 public:
  explicit Peer(const uint8_t ip[4] = kMainIp) {
    socket_ = net::Socket::Open(net::Socket::Kind::kDatagram);
    EXPECT_TRUE(socket_.Valid());
    EXPECT_EQ(socket_.Bind(net::SockAddrV4::Make(ip, 0)), 0);
    EXPECT_EQ(socket_.LocalAddress(&address_), 0);
  }
  uint16_t port() const { return address_.port(); }

  // Waits up to a second for one datagram; empty when none came.
  std::vector<uint8_t> Receive(net::SockAddrV4* from = nullptr) {
    if (socket_.WaitReadable(1000) != 1) return {};
    std::vector<uint8_t> buf(2048);
    const int n = socket_.RecvFrom(buf, from);
    EXPECT_GE(n, 0);
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
  }
  void SendTo(const std::vector<uint8_t>& bytes, const net::SockAddrV4& to) {
    ASSERT_EQ(socket_.SendTo(bytes, to), static_cast<int>(bytes.size()));
  }

  static constexpr uint8_t kMainIp[4] = {127, 0, 0, 1};
  static constexpr uint8_t kOtherIp[4] = {127, 0, 0, 2};

 private:
  net::Socket socket_;
  net::SockAddrV4 address_;
};

std::vector<uint8_t> Packet(uint16_t code, uint16_t counter, std::vector<uint8_t> payload = {}) {
  std::vector<uint8_t> out(wire::kHeaderSize + payload.size());
  EXPECT_EQ(wire::BuildPacket(code, 0x1234, counter, payload, out), out.size());
  return out;
}

// A transport handle, closed when the test ends.
class Handle {
 public:
  Handle(const char* host, int32_t port) : h_(Comms().init(host, port, 0)) {}
  ~Handle() {
    if (h_ != nullptr) Comms().close(h_);
  }
  DEVORU_HANDLE get() const { return h_; }

  int32_t Send(const std::vector<uint8_t>& bytes) const {
    return Comms().send(h_, bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  int32_t Read(std::vector<uint8_t>* buf, int32_t timeout_ms) const {
    return Comms().read(h_, buf->data(), static_cast<int32_t>(buf->size()), timeout_ms);
  }

 private:
  DEVORU_HANDLE h_;
};

class CommsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Comms().module, nullptr) << platform::LastLibraryError();
    ASSERT_NE(Comms().init, nullptr);
    ASSERT_NE(Comms().read, nullptr);
  }

  // Opens a handle towards `peer` and learns the handle's own address by
  // sending it a first packet.
  void Connect(Peer& peer, std::unique_ptr<Handle>* handle, net::SockAddrV4* local) {
    *handle = std::make_unique<Handle>("127.0.0.1", peer.port());
    ASSERT_NE((*handle)->get(), nullptr);
    const auto hello = Packet(wire::CMD_CONNECT, 0);
    ASSERT_EQ((*handle)->Send(hello), static_cast<int32_t>(hello.size()));
    ASSERT_EQ(peer.Receive(local), hello);
  }

  Peer peer_;
  std::unique_ptr<Handle> handle_;
  net::SockAddrV4 local_;
};

TEST_F(CommsTest, ExportsTheContract) {
  EXPECT_STREQ(Comms().name(nullptr), "UDP");
  EXPECT_EQ(Comms().error(nullptr), 0);
  EXPECT_NE(Comms().init_ex, nullptr);
  EXPECT_NE(Comms().close, nullptr);
  EXPECT_NE(Comms().send, nullptr);
  EXPECT_NE(Comms().pre_read, nullptr);
  EXPECT_NE(Comms().terminal_read, nullptr);
  EXPECT_EQ(platform::FindSymbol(Comms().module, "DEVORU_FLUSH"), nullptr);
  EXPECT_EQ(platform::FindSymbol(Comms().module, "DEVORU_SENDTOMODEM"), nullptr);
}

TEST_F(CommsTest, RoundTrip) {
  Connect(peer_, &handle_, &local_);
  EXPECT_EQ(Comms().error(handle_->get()), 0);

  const auto reply = Packet(wire::CMD_ACK_OK, 0, {'V', 'e', 'r', 0});
  peer_.SendTo(reply, local_);
  std::vector<uint8_t> buf(1032, 0xEE);
  ASSERT_EQ(handle_->Read(&buf, 1000), static_cast<int32_t>(reply.size()));
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buf.begin()));
}

TEST_F(CommsTest, InitExClearsStatus) {
  int32_t status = 77;
  DEVORU_HANDLE h = Comms().init_ex("127.0.0.1", peer_.port(), 0, &status);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Comms().close(h), 1);
}

TEST_F(CommsTest, OpenFailuresGiveNull) {
  EXPECT_EQ(Comms().init("no-such-terminal.invalid", 4370, 0), nullptr);
  EXPECT_EQ(Comms().init(nullptr, 4370, 0), nullptr);
  EXPECT_EQ(Comms().init("127.0.0.1", 65536, 0), nullptr);
  EXPECT_EQ(Comms().init("127.0.0.1", -1, 0), nullptr);
}

TEST_F(CommsTest, ReadNeverWritesPastSize) {
  Connect(peer_, &handle_, &local_);
  // A datagram bigger than the buffer cannot be delivered whole: dropped.
  peer_.SendTo(Packet(wire::CMD_ACK_OK, 1, std::vector<uint8_t>(24, 0x41)), local_);
  const auto fits = Packet(wire::CMD_ACK_OK, 2, {1, 2, 3, 4});
  peer_.SendTo(fits, local_);

  std::vector<uint8_t> buf(fits.size() + 4, 0xEE);
  ASSERT_EQ(Comms().read(handle_->get(), buf.data(), static_cast<int32_t>(fits.size()), 1000),
            static_cast<int32_t>(fits.size()));
  EXPECT_TRUE(std::equal(fits.begin(), fits.end(), buf.begin()));
  for (size_t i = fits.size(); i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xEE) << i;
}

TEST_F(CommsTest, ReadWithoutBufferDiscards) {
  Connect(peer_, &handle_, &local_);
  const auto first = Packet(wire::CMD_ACK_OK, 1, {9, 9});
  peer_.SendTo(first, local_);
  ASSERT_EQ(Comms().read(handle_->get(), nullptr, 1032, 1000), static_cast<int32_t>(first.size()));

  const auto second = Packet(wire::CMD_ACK_OK, 2);
  peer_.SendTo(second, local_);
  std::vector<uint8_t> buf(16);
  ASSERT_EQ(Comms().read(handle_->get(), buf.data(), 0, 1000), static_cast<int32_t>(second.size()));

  // PREREAD takes what is queued and waits for nothing.
  const auto third = Packet(wire::CMD_ACK_OK, 3);
  peer_.SendTo(third, local_);
  platform::SleepMs(50);  // loopback delivery is immediate; this is slack
  EXPECT_EQ(Comms().pre_read(handle_->get()), static_cast<int32_t>(third.size()));
  EXPECT_EQ(Comms().pre_read(handle_->get()), 0);
}

TEST_F(CommsTest, ShortPacketIsDropped) {
  Connect(peer_, &handle_, &local_);
  peer_.SendTo({0xD0, 0x07, 0, 0, 0}, local_);
  const auto reply = Packet(wire::CMD_ACK_OK, 1);
  peer_.SendTo(reply, local_);
  std::vector<uint8_t> buf(1032);
  ASSERT_EQ(handle_->Read(&buf, 1000), static_cast<int32_t>(reply.size()));
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buf.begin()));
}

TEST_F(CommsTest, EventFromAnotherSenderIsDropped) {
  Connect(peer_, &handle_, &local_);
  Peer stranger(Peer::kOtherIp);
  Peer same_ip_other_port;
  stranger.SendTo(Packet(wire::kEventPacket, 1, {1, 0, 0, 0}), local_);
  same_ip_other_port.SendTo(Packet(wire::kEventPacket, 2, {2, 0, 0, 0}), local_);
  const auto own_event = Packet(wire::kEventPacket, 3, {3, 0, 0, 0});
  peer_.SendTo(own_event, local_);

  std::vector<uint8_t> buf(1032);
  ASSERT_EQ(handle_->Read(&buf, 1000), static_cast<int32_t>(own_event.size()));
  EXPECT_TRUE(std::equal(own_event.begin(), own_event.end(), buf.begin()));
}

TEST_F(CommsTest, ReplyFromAnySenderIsTaken) {
  Connect(peer_, &handle_, &local_);
  Peer stranger(Peer::kOtherIp);
  const auto reply = Packet(wire::CMD_ACK_OK, 1, {5});
  stranger.SendTo(reply, local_);
  std::vector<uint8_t> buf(1032);
  ASSERT_EQ(handle_->Read(&buf, 1000), static_cast<int32_t>(reply.size()));
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buf.begin()));
}

TEST_F(CommsTest, TerminalReadBlocksReadsUntilNextSend) {
  Connect(peer_, &handle_, &local_);
  const auto pending = Packet(wire::CMD_ACK_OK, 1);
  peer_.SendTo(pending, local_);
  ASSERT_EQ(Comms().terminal_read(handle_->get()), 1);

  std::vector<uint8_t> buf(1032);
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(handle_->Read(&buf, 5000), 0);
  EXPECT_EQ(handle_->Read(&buf, 5000), 0);
  EXPECT_LT(platform::TicksSince(start), 2500u);  // far below one time-out

  // A send allows reading again; the packet was kept for it.
  ASSERT_GT(handle_->Send(Packet(wire::CMD_OPTIONS_RRQ, 1)), 0);
  EXPECT_EQ(handle_->Read(&buf, 1000), static_cast<int32_t>(pending.size()));
}

TEST_F(CommsTest, TerminalReadEndsRunningRead) {
  Connect(peer_, &handle_, &local_);
  std::atomic<int32_t> result{-1};
  std::atomic<uint32_t> took{0};
  std::thread reader([&] {
    std::vector<uint8_t> buf(1032);
    const uint32_t start = platform::TickCount();
    result = handle_->Read(&buf, 8000);
    took = platform::TicksSince(start);
  });
  platform::SleepMs(50);
  Comms().terminal_read(handle_->get());
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(took.load(), 4000u);  // ended by the interrupt, not by its time-out
}

TEST_F(CommsTest, FirstReadAfterSendWaitsForItsTimeout) {
  Connect(peer_, &handle_, &local_);
  Comms().terminal_read(handle_->get());
  ASSERT_GT(handle_->Send(Packet(wire::CMD_GET_FREE_SIZES, 2)), 0);
  std::vector<uint8_t> buf(1032);
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(handle_->Read(&buf, 300), 0);
  EXPECT_GE(platform::TicksSince(start), 250u);
}

TEST_F(CommsTest, TerminalReadLeavesOtherHandlesAlone) {
  Peer other_peer;
  std::unique_ptr<Handle> other;
  net::SockAddrV4 other_local;
  Connect(peer_, &handle_, &local_);
  Connect(other_peer, &other, &other_local);

  std::atomic<int32_t> result{-1};
  std::thread reader([&] {
    std::vector<uint8_t> buf(1032);
    result = other->Read(&buf, 5000);
  });
  platform::SleepMs(50);
  Comms().terminal_read(handle_->get());
  platform::SleepMs(250);  // several read slices go by on the other handle
  const auto reply = Packet(wire::CMD_ACK_OK, 1);
  other_peer.SendTo(reply, other_local);
  reader.join();
  EXPECT_EQ(result.load(), static_cast<int32_t>(reply.size()));
}

TEST_F(CommsTest, SendProceedsWhileReadRuns) {
  Connect(peer_, &handle_, &local_);
  std::atomic<int32_t> result{-1};
  std::thread reader([&] {
    std::vector<uint8_t> buf(1032);
    result = handle_->Read(&buf, 3000);
  });
  platform::SleepMs(50);
  // If the send had to wait for the read, the read would time out first
  // and never see the answer.
  const auto command = Packet(wire::CMD_ENABLEDEVICE, 5, std::vector<uint8_t>(16, 0));
  ASSERT_EQ(handle_->Send(command), static_cast<int32_t>(command.size()));
  ASSERT_EQ(peer_.Receive(), command);
  const auto reply = Packet(wire::CMD_ACK_OK, 5);
  peer_.SendTo(reply, local_);
  reader.join();
  EXPECT_EQ(result.load(), static_cast<int32_t>(reply.size()));
}

// Whether this machine has a broadcast route on the loopback network; a
// plain socket is refused there, a broadcast one is not.
bool LoopbackBroadcastRefusedWithoutPermission() {
  net::Socket probe = net::Socket::Open(net::Socket::Kind::kDatagram);
  const uint8_t bcast[4] = {127, 255, 255, 255};
  const std::vector<uint8_t> bytes(12, 0);
  return probe.SendTo(bytes, net::SockAddrV4::Make(bcast, 4370)) == -net::kEAcces;
}

TEST_F(CommsTest, BroadcastOnlyOnPort65535) {
  if (!LoopbackBroadcastRefusedWithoutPermission()) GTEST_SKIP() << "no loopback broadcast route";
  const auto probe = Packet(wire::CMD_CONNECT, 0, std::vector<uint8_t>(8, 0));
  Handle search("127.255.255.255", 65535);
  ASSERT_NE(search.get(), nullptr);
  EXPECT_EQ(search.Send(probe), static_cast<int32_t>(probe.size()));

  // Without broadcast permission the system refuses, and the refusal comes
  // back as the negated socket error number.
  Handle plain("127.255.255.255", 4370);
  ASSERT_NE(plain.get(), nullptr);
  EXPECT_EQ(plain.Send(probe), -net::kEAcces);
}

TEST_F(CommsTest, NullAndEmptyArgumentsAreHarmless) {
  Connect(peer_, &handle_, &local_);
  EXPECT_EQ(Comms().send(handle_->get(), nullptr, 8), 0);
  const uint8_t one = 0;
  EXPECT_EQ(Comms().send(handle_->get(), &one, 0), 0);
  EXPECT_EQ(Comms().send(nullptr, &one, 1), 0);
  EXPECT_EQ(Comms().read(nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(Comms().terminal_read(nullptr), 0);
  EXPECT_EQ(Comms().close(nullptr), 0);
}

}  // namespace
