// The TCP transport, loaded by name, against a raw TCP peer on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame_bytes.h"
#include "platform/socket.h"
#include "platform/tick.h"
#include "tcp_peer.h"
#include "tcplink_plugin.h"

namespace {

using namespace tcplinktest;
namespace net = platform::net;

constexpr int32_t kEngineBuffer = 65544;

// A transport handle, closed when the test ends.
class Handle {
 public:
  explicit Handle(uint16_t port, const char* host = "127.0.0.1")
      : h_(Tcplink().init(host, port, 0)) {}
  ~Handle() {
    if (h_ != nullptr) Tcplink().close(h_);
  }
  DEVORU_HANDLE get() const { return h_; }
  // DEVORU_CLOSE now rather than at the end of the test.
  int32_t Close() {
    const int32_t r = Tcplink().close(h_);
    h_ = nullptr;
    return r;
  }

  int32_t Send(const std::vector<uint8_t>& bytes) const {
    return Tcplink().send(h_, bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  int32_t Read(std::vector<uint8_t>* buf, int32_t timeout_ms) const {
    return Tcplink().read(h_, buf->data(), static_cast<int32_t>(buf->size()), timeout_ms);
  }
  // A read into a fresh engine-sized buffer; the packet, or empty with the
  // result in `*result`.
  std::vector<uint8_t> ReadPacket(int32_t timeout_ms, int32_t* result = nullptr) const {
    std::vector<uint8_t> buf(kEngineBuffer);
    const int32_t n = Read(&buf, timeout_ms);
    if (result != nullptr) *result = n;
    buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buf;
  }

 private:
  DEVORU_HANDLE h_;
};

class TcpLinkBase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Tcplink().module, nullptr) << platform::LastLibraryError();
    ASSERT_NE(Tcplink().init, nullptr);
    ASSERT_NE(Tcplink().read, nullptr);
  }

  // Opens a handle to the peer and accepts its connection.
  void Open() {
    handle_ = std::make_unique<Handle>(peer_.port());
    ASSERT_NE(handle_->get(), nullptr);
    conn_ = peer_.Accept();
    ASSERT_TRUE(conn_.Valid());
  }

  TcpPeer peer_;
  std::unique_ptr<Handle> handle_;
  PeerConnection conn_;
};

using TcpLink = TcpLinkBase;
using TcpLinkThreads = TcpLinkBase;

const std::vector<uint8_t> kReply = Packet(2000, 1, {'o', 'k', 0, 0});

TEST_F(TcpLink, ExportsTheContract) {
  EXPECT_STREQ(Tcplink().name(nullptr), "TCP");
  EXPECT_NE(Tcplink().init_ex, nullptr);
  EXPECT_NE(Tcplink().close, nullptr);
  EXPECT_NE(Tcplink().send, nullptr);
  EXPECT_NE(Tcplink().pre_read, nullptr);
  EXPECT_NE(Tcplink().terminal_read, nullptr);
  EXPECT_NE(Tcplink().error, nullptr);
  EXPECT_EQ(platform::FindSymbol(Tcplink().module, "DEVORU_FLUSH"), nullptr);
  EXPECT_EQ(platform::FindSymbol(Tcplink().module, "DEVORU_SENDTOMODEM"), nullptr);
}

TEST_F(TcpLink, EightBytePacketGoesOutAsSixteenByteFrame) {
  Open();
  const auto packet = Packet(1000, 0);
  ASSERT_EQ(packet.size(), 8u);
  EXPECT_EQ(handle_->Send(packet), 16);
  const auto bytes = conn_.ReadExact(16, 2000);
  const std::vector<uint8_t> header = {0x50, 0x50, 0x82, 0x7D, 0x08, 0x00, 0x00, 0x00};
  ASSERT_EQ(bytes.size(), 16u);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(packet.begin(), packet.end(), bytes.begin() + 8));
  EXPECT_TRUE(conn_.Silent(50));
}

TEST_F(TcpLink, LargestPacketsBothWays) {
  Open();
  std::vector<uint8_t> big(66552, 0x3C);
  EXPECT_EQ(handle_->Send(big), 66560);
  EXPECT_EQ(conn_.ReadFrame(5000), big);
  // Over the frame buffer: refused, nothing sent.
  big.push_back(0);
  EXPECT_EQ(handle_->Send(big), 0);
  EXPECT_TRUE(conn_.Silent(50));

  const std::vector<uint8_t> reply(kEngineBuffer, 0x5A);
  ASSERT_TRUE(conn_.Write(Framed(reply)));
  EXPECT_EQ(handle_->ReadPacket(5000), reply);
}

TEST_F(TcpLink, TwoFramesInOneSegment) {
  Open();
  const auto second = Packet(2000, 2, std::vector<uint8_t>(40, 7));
  ASSERT_TRUE(conn_.Write(Concat({Framed(kReply), Framed(second)})));
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
  EXPECT_EQ(handle_->ReadPacket(1000), second);
}

TEST_F(TcpLink, FrameTrickledAcrossTwoReads) {
  Open();
  const auto frame = Framed(kReply);
  const size_t half = 6;  // inside the header: the hardest place to stop
  for (size_t i = 0; i < half; ++i) {
    ASSERT_TRUE(conn_.Write({frame[i]}));
    platform::SleepMs(2);
  }
  int32_t result = -1;
  EXPECT_TRUE(handle_->ReadPacket(100, &result).empty());
  EXPECT_EQ(result, 0);
  for (size_t i = half; i < frame.size(); ++i) {
    ASSERT_TRUE(conn_.Write({frame[i]}));
    platform::SleepMs(2);
  }
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

// What a hostile terminal may put before a good frame; the good frame must
// still come through intact.
struct BadInputCase {
  const char* name;
  std::vector<uint8_t> before;
};

class TcpLinkBadInput : public TcpLinkBase, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(TcpLinkBadInput, NextFrameIntact) {
  Open();
  ASSERT_TRUE(conn_.Write(Concat({GetParam().before, Framed(kReply)})));
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpLinkBadInput,
    ::testing::Values(BadInputCase{"BadMagic", {0x50, 0x50, 0x82, 0x7E, 8, 0, 0, 0, 1, 2}},
                      BadInputCase{"NoMagicAtAll", std::vector<uint8_t>(5000, 0x50)},
                      BadInputCase{"Length0", FrameHeader(0)},
                      BadInputCase{"Length7", FrameHeader(7)},
                      BadInputCase{"Length65545", FrameHeader(65545)},
                      BadInputCase{"Length4GiB", FrameHeader(0xFFFFFFFFu)},
                      BadInputCase{"Length1MiB", FrameHeader(0x00100000u)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TcpLink, EveryShortLengthIsSkipped) {
  Open();
  std::vector<std::vector<uint8_t>> parts;
  for (uint32_t length = 0; length < 8; ++length) parts.push_back(FrameHeader(length));
  parts.push_back(Framed(kReply));
  ASSERT_TRUE(conn_.Write(Concat(parts)));
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

TEST_F(TcpLink, FrameLargerThanTheBufferIsDropped) {
  Open();
  const auto big = Packet(2000, 1, std::vector<uint8_t>(100, 0x41));
  ASSERT_TRUE(conn_.Write(Concat({Framed(big), Framed(kReply)})));
  std::vector<uint8_t> buf(64, 0xEE);
  // The caller offers 32 bytes; nothing beyond them is written.
  EXPECT_EQ(Tcplink().read(handle_->get(), buf.data(), 32, 1000), 0);
  for (uint8_t b : buf) EXPECT_EQ(b, 0xEE);
  EXPECT_EQ(Tcplink().read(handle_->get(), buf.data(), 32, 1000),
            static_cast<int32_t>(kReply.size()));
  EXPECT_TRUE(std::equal(kReply.begin(), kReply.end(), buf.begin()));
  for (size_t i = kReply.size(); i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xEE) << i;
}

TEST_F(TcpLink, PreReadDropsAQueuedFrame) {
  Open();
  ASSERT_TRUE(conn_.Write(Concat({Framed(Packet(2000, 9)), Framed(kReply)})));
  platform::SleepMs(50);  // loopback delivery is immediate; this is slack
  EXPECT_EQ(Tcplink().pre_read(handle_->get()), 0);
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
  // Nothing queued: it waits for nothing.
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(Tcplink().pre_read(handle_->get()), 0);
  EXPECT_LT(platform::TicksSince(start), 500u);
}

TEST_F(TcpLink, ReadWaitsForItsTimeOutWhenNothingComes) {
  Open();
  const uint32_t start = platform::TickCount();
  int32_t result = -1;
  handle_->ReadPacket(200, &result);
  EXPECT_EQ(result, 0);
  EXPECT_GE(platform::TicksSince(start), 150u);
}

TEST_F(TcpLink, PeerCloseGivesReconnectedAfterANewConnection) {
  Open();
  conn_.Close();
  int32_t result = 0;
  handle_->ReadPacket(3000, &result);
  EXPECT_EQ(result, DEVORU_RECONNECTED);
  PeerConnection second = peer_.Accept();
  ASSERT_TRUE(second.Valid());
  // The command goes out again over the new connection and is answered.
  const auto command = Packet(11, 5, {'~', 'x', 0});
  EXPECT_EQ(handle_->Send(command), static_cast<int32_t>(command.size() + 8));
  EXPECT_EQ(second.ReadFrame(2000), command);
  ASSERT_TRUE(second.Write(Framed(kReply)));
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

TEST_F(TcpLink, HalfAFrameThenCloseIsForgotten) {
  Open();
  const auto frame = Framed(Packet(2000, 3, std::vector<uint8_t>(50, 1)));
  ASSERT_TRUE(conn_.Write(std::vector<uint8_t>(frame.begin(), frame.begin() + 30)));
  conn_.Close();
  int32_t result = 0;
  handle_->ReadPacket(3000, &result);
  EXPECT_EQ(result, DEVORU_RECONNECTED);
  PeerConnection second = peer_.Accept();
  ASSERT_TRUE(second.Valid());
  ASSERT_TRUE(second.Write(Framed(kReply)));
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

TEST_F(TcpLink, PeerResetGivesReconnected) {
  Open();
  conn_.Reset();
  int32_t result = 0;
  handle_->ReadPacket(3000, &result);
  EXPECT_EQ(result, DEVORU_RECONNECTED);
  EXPECT_TRUE(peer_.Accept().Valid());
}

TEST_F(TcpLink, SendOnAResetLineReconnectsAndAsksForTheResend) {
  Open();
  conn_.Reset();
  platform::SleepMs(50);  // the reset has arrived
  const auto command = Packet(11, 6);
  // The first send after a reset may still be taken by the system; by the
  // second the loss is known.
  int32_t result = handle_->Send(command);
  if (result > 0) result = handle_->Send(command);
  EXPECT_EQ(result, DEVORU_RECONNECTED);
  PeerConnection second = peer_.Accept();
  ASSERT_TRUE(second.Valid());
  EXPECT_EQ(handle_->Send(command), static_cast<int32_t>(command.size() + 8));
  EXPECT_EQ(second.ReadFrame(2000), command);
}

TEST_F(TcpLink, FifthUnansweredSendGoesOutOnANewConnection) {
  Open();
  for (uint16_t i = 0; i < 4; ++i) {
    const auto command = Packet(11, i);
    ASSERT_EQ(handle_->Send(command), 16);
    ASSERT_EQ(conn_.ReadFrame(2000), command);
  }
  const auto fifth = Packet(11, 4);
  EXPECT_EQ(handle_->Send(fifth), 16);  // its byte count, not −309
  PeerConnection second = peer_.Accept();
  ASSERT_TRUE(second.Valid());
  EXPECT_EQ(second.ReadFrame(2000), fifth);
  // The old connection got nothing more, and is closed.
  EXPECT_TRUE(conn_.ReadExact(1, 1000).empty());
}

TEST_F(TcpLink, AnAnswerResetsTheUnansweredCount) {
  Open();
  for (uint16_t i = 0; i < 12; ++i) {
    const auto command = Packet(11, i);
    ASSERT_EQ(handle_->Send(command), 16);
    ASSERT_EQ(conn_.ReadFrame(2000), command);
    if (i % 3 == 2) {
      ASSERT_TRUE(conn_.Write(Framed(kReply)));
      ASSERT_EQ(handle_->ReadPacket(1000), kReply);
    }
  }
  EXPECT_FALSE(peer_.Accept(100).Valid());  // never a second connection
}

TEST_F(TcpLink, ReconnectLimitAndSpacing) {
  Open();
  peer_.StopListening();
  conn_.Close();
  // Every attempt is refused: five of them, at least a second apart, then
  // the line is given up and the refusal reported.
  const uint32_t start = platform::TickCount();
  int32_t result = 0;
  handle_->ReadPacket(20000, &result);
  const uint32_t took = platform::TicksSince(start);
  EXPECT_EQ(result, -net::kEConnRefused);
  EXPECT_GE(took, 3900u);   // four spacings
  EXPECT_LT(took, 15000u);  // and not the whole time-out

  // Given up: reads and sends answer the error at once.
  const uint32_t after = platform::TickCount();
  handle_->ReadPacket(5000, &result);
  EXPECT_EQ(result, -net::kEConnRefused);
  EXPECT_EQ(handle_->Send(Packet(11, 1)), -net::kEConnRefused);
  EXPECT_LT(platform::TicksSince(after), 1000u);
}

TEST_F(TcpLink, SendsDuringTheSpacingAnswerTheLastErrorAndASuccessResetsTheCount) {
  Open();
  const uint16_t port = peer_.port();
  peer_.StopListening();
  conn_.Close();
  int32_t result = 0;
  handle_->ReadPacket(300, &result);  // one refused attempt, then its time ends
  EXPECT_EQ(result, 0);
  // Within the spacing no attempt is made: the refusal at once.
  EXPECT_EQ(handle_->Send(Packet(11, 1)), -net::kEConnRefused);

  // The terminal listens again: the next attempt after the spacing repairs
  // the line, and the send goes out on it.
  TcpPeer again(port);
  platform::SleepMs(1000);
  const auto command = Packet(11, 2);
  EXPECT_EQ(handle_->Send(command), 16);
  PeerConnection second = again.Accept();
  ASSERT_TRUE(second.Valid());
  EXPECT_EQ(second.ReadFrame(2000), command);

  // The count of failures started over: four more refusals do not give up.
  again.StopListening();
  second.Close();
  handle_->ReadPacket(3200, &result);  // attempts at about 0, 1, 2, 3 s
  EXPECT_EQ(result, 0);
}

TEST_F(TcpLink, TerminalReadBlocksReadsUntilTheNextSend) {
  Open();
  ASSERT_TRUE(conn_.Write(Framed(kReply)));
  EXPECT_EQ(Tcplink().terminal_read(handle_->get()), 1);
  const uint32_t start = platform::TickCount();
  int32_t result = -1;
  handle_->ReadPacket(5000, &result);
  EXPECT_EQ(result, 0);
  handle_->ReadPacket(5000, &result);
  EXPECT_EQ(result, 0);
  EXPECT_LT(platform::TicksSince(start), 2500u);  // far below one time-out
  // A send allows reading again; the frame was kept for it.
  ASSERT_GT(handle_->Send(Packet(11, 1)), 0);
  EXPECT_EQ(handle_->ReadPacket(1000), kReply);
}

TEST_F(TcpLink, RefusedConnectGivesNullAndItsErrorOnce) {
  Tcplink().error(nullptr);  // whatever an earlier test left
  EXPECT_EQ(Tcplink().init("127.0.0.1", ClosedPort(), 0), nullptr);
  EXPECT_EQ(Tcplink().error(nullptr), -net::kEConnRefused);
  EXPECT_EQ(Tcplink().error(nullptr), 0);
}

TEST_F(TcpLink, ErrorOfAHandleIsZero) {
  Open();
  EXPECT_EQ(Tcplink().error(handle_->get()), 0);
  conn_.Reset();
  int32_t result = 0;
  handle_->ReadPacket(2000, &result);
  EXPECT_EQ(Tcplink().error(handle_->get()), 0);
  // A successful open leaves the open error alone.
  EXPECT_EQ(Tcplink().init("127.0.0.1", ClosedPort(), 0), nullptr);
  Handle other(peer_.port());
  ASSERT_NE(other.get(), nullptr);
  EXPECT_EQ(Tcplink().error(nullptr), -net::kEConnRefused);
}

TEST_F(TcpLink, InitExIgnoresItsStatus) {
  int32_t status = 77;
  DEVORU_HANDLE h = Tcplink().init_ex("localhost", peer_.port(), 5, &status);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(status, 77);
  EXPECT_TRUE(peer_.Accept().Valid());
  EXPECT_EQ(Tcplink().close(h), 1);
}

TEST_F(TcpLink, NullAndOutOfRangeArguments) {
  Open();
  const uint8_t byte = 0;
  uint8_t buf[16];
  struct Call {
    const char* what;
    int64_t result;
  };
  const Call calls[] = {
      {"init null host", reinterpret_cast<intptr_t>(Tcplink().init(nullptr, peer_.port(), 0))},
      {"init port -1", reinterpret_cast<intptr_t>(Tcplink().init("127.0.0.1", -1, 0))},
      {"init port 65536", reinterpret_cast<intptr_t>(Tcplink().init("127.0.0.1", 65536, 0))},
      {"init unknown host",
       reinterpret_cast<intptr_t>(Tcplink().init("no-such-terminal.invalid", 4370, 0))},
      {"send null handle", Tcplink().send(nullptr, &byte, 1)},
      {"send null bytes", Tcplink().send(handle_->get(), nullptr, 8)},
      {"send length 0", Tcplink().send(handle_->get(), &byte, 0)},
      {"send length -5", Tcplink().send(handle_->get(), &byte, -5)},
      {"read null handle", Tcplink().read(nullptr, buf, 16, 0)},
      {"read size -1", Tcplink().read(handle_->get(), buf, -1, 0)},
      {"read null buffer", Tcplink().read(handle_->get(), nullptr, 16, 0)},
      {"read time-out -1", Tcplink().read(handle_->get(), buf, 16, -1)},
      {"preread null", Tcplink().pre_read(nullptr)},
      {"terminalread null", Tcplink().terminal_read(nullptr)},
      {"close null", Tcplink().close(nullptr)},
  };
  for (const Call& c : calls) EXPECT_EQ(c.result, 0) << c.what;
  EXPECT_TRUE(conn_.Silent(50));
  // The handle still works.
  EXPECT_EQ(handle_->Send(Packet(11, 1)), 16);
  EXPECT_EQ(conn_.ReadFrame(1000), Packet(11, 1));
}

// ---------------------------------------------------------------------------
// Threads against each other

TEST_F(TcpLinkThreads, TerminalReadEndsARunningReadOtherHandlesUntouched) {
  Open();
  TcpPeer other_peer;
  Handle other(other_peer.port());
  ASSERT_NE(other.get(), nullptr);
  PeerConnection other_conn = other_peer.Accept();
  ASSERT_TRUE(other_conn.Valid());

  std::atomic<int32_t> result{-1};
  std::atomic<uint32_t> took{0};
  std::atomic<int32_t> other_result{-1};
  std::thread reader([&] {
    const uint32_t start = platform::TickCount();
    int32_t r = 0;
    handle_->ReadPacket(8000, &r);
    result = r;
    took = platform::TicksSince(start);
  });
  std::thread other_reader([&] {
    int32_t r = 0;
    other.ReadPacket(5000, &r);
    other_result = r;
  });
  platform::SleepMs(50);
  Tcplink().terminal_read(handle_->get());
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(took.load(), 4000u);  // ended by the interrupt, not by its time-out

  platform::SleepMs(100);
  ASSERT_TRUE(other_conn.Write(Framed(kReply)));
  other_reader.join();
  EXPECT_EQ(other_result.load(), static_cast<int32_t>(kReply.size()));
}

TEST_F(TcpLinkThreads, SendGoesOutWhileAReadRuns) {
  Open();
  std::atomic<int32_t> result{-1};
  std::thread reader([&] {
    int32_t r = 0;
    handle_->ReadPacket(3000, &r);
    result = r;
  });
  platform::SleepMs(50);
  const auto command = Packet(1, 5, std::vector<uint8_t>(16, 0));
  const uint32_t start = platform::TickCount();
  ASSERT_EQ(handle_->Send(command), static_cast<int32_t>(command.size() + 8));
  EXPECT_LT(platform::TicksSince(start), 1500u);  // not after the read's time-out
  ASSERT_EQ(conn_.ReadFrame(1000), command);
  ASSERT_TRUE(conn_.Write(Framed(kReply)));
  reader.join();
  EXPECT_EQ(result.load(), static_cast<int32_t>(kReply.size()));
}

TEST_F(TcpLinkThreads, ManySendsAgainstAReadingThread) {
  Open();
  std::atomic<bool> stop{false};
  std::atomic<int> replies{0};
  std::thread reader([&] {
    while (!stop.load()) {
      int32_t r = 0;
      handle_->ReadPacket(200, &r);
      if (r > 0) ++replies;
    }
  });
  std::thread echo([&] {
    for (int i = 0; i < 40; ++i) {
      const auto frame = conn_.ReadFrame(3000);
      if (frame.empty()) break;
      conn_.Write(Framed(kReply));
    }
  });
  for (uint16_t i = 0; i < 40; ++i) ASSERT_EQ(handle_->Send(Packet(11, i)), 16);
  echo.join();
  for (int i = 0; i < 100 && replies.load() < 40; ++i) platform::SleepMs(20);
  stop = true;
  reader.join();
  EXPECT_EQ(replies.load(), 40);
}

TEST_F(TcpLinkThreads, TricklingPeerDoesNotHoldAReadPastItsTimeOut) {
  Open();
  std::atomic<bool> stop{false};
  std::thread trickle([&] {
    // A frame header that announces a long packet, then one byte at a time.
    conn_.Write(FrameHeader(60000));
    for (int i = 0; i < 200 && !stop.load(); ++i) {
      conn_.Write({0x11});
      platform::SleepMs(10);
    }
  });
  for (int round = 0; round < 3; ++round) {
    const uint32_t start = platform::TickCount();
    int32_t result = -1;
    handle_->ReadPacket(300, &result);
    EXPECT_EQ(result, 0);
    EXPECT_LT(platform::TicksSince(start), 1000u) << round;
  }
  stop = true;
  trickle.join();
}

TEST_F(TcpLinkThreads, EndlessGarbageDoesNotHoldAReadPastItsTimeOut) {
  Open();
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    const std::vector<uint8_t> junk(4096, 0x50);
    for (int i = 0; i < 2000 && !stop.load(); ++i) conn_.Write(junk);
  });
  const uint32_t start = platform::TickCount();
  int32_t result = -1;
  handle_->ReadPacket(300, &result);
  EXPECT_EQ(result, 0);
  EXPECT_LT(platform::TicksSince(start), 1500u);
  stop = true;
  handle_->Close();  // the flood ends once nobody reads
  flood.join();
}

TEST_F(TcpLinkThreads, TerminalReadThenCloseIsPrompt) {
  Open();
  DEVORU_HANDLE h = handle_->get();
  std::atomic<int32_t> result{-1};
  std::thread reader([&] {
    uint8_t buf[64];
    result = Tcplink().read(h, buf, sizeof(buf), 10000);
  });
  platform::SleepMs(50);
  const uint32_t start = platform::TickCount();
  Tcplink().terminal_read(h);
  reader.join();
  EXPECT_EQ(handle_->Close(), 1);
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(platform::TicksSince(start), 2000u);
}

// A listener whose queue is full drops connection requests, so a connect
// to it stays pending: the way to make a reconnect that does not finish.
TEST_F(TcpLinkThreads, ReconnectInsideAReadIsCutShortAndTheNextSendReconnects) {
  TcpPeer tight(0, 0);
  handle_ = std::make_unique<Handle>(tight.port());
  ASSERT_NE(handle_->get(), nullptr);
  PeerConnection first = tight.Accept();
  ASSERT_TRUE(first.Valid());
  // Fill the queue with connections nobody accepts.
  std::vector<net::Socket> fillers;
  bool full = false;
  for (int i = 0; i < 16 && !full; ++i) {
    fillers.push_back(net::Socket::Open(net::Socket::Kind::kStream));
    const int rc = fillers.back().Connect(tight.address(), 100);
    if (rc == -net::kETimedOut) full = true;
    else if (rc != 0) break;
  }
  if (!full) GTEST_SKIP() << "kernel refuses on a full queue";

  first.Close();
  std::atomic<int32_t> result{-1};
  std::atomic<uint32_t> took{0};
  std::thread reader([&] {
    const uint32_t start = platform::TickCount();
    int32_t r = 0;
    handle_->ReadPacket(3000, &r);
    result = r;
    took = platform::TicksSince(start);
  });
  platform::SleepMs(300);  // the read is inside its reconnect by now
  Tcplink().terminal_read(handle_->get());
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(took.load(), 2500u);

  // Room in the queue again: the next send reconnects before it sends.
  for (int i = 0; i < 16; ++i) {
    PeerConnection c = tight.Accept(100);
    if (!c.Valid()) break;
  }
  fillers.clear();
  std::thread acceptor([&] {
    // Connections of the fillers may still come through first; the frame
    // arrives on the one the plug-in made.
    for (int i = 0; i < 20; ++i) {
      PeerConnection c = tight.Accept(3000);
      if (!c.Valid()) return;
      const auto frame = c.ReadFrame(300);
      if (!frame.empty()) {
        EXPECT_EQ(frame, Packet(11, 3));
        return;
      }
    }
  });
  EXPECT_EQ(handle_->Send(Packet(11, 3)), 16);
  acceptor.join();
}

}  // namespace
