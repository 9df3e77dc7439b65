// The USB transport over a drive file in memory: what it writes, which
// blocks it takes for answers, how it polls, and how it fails.
#include "usb_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fake_drive.h"
#include "platform/tick.h"

namespace {

using usblink::UsbTransport;
using usblinktest::FakeDrive;

std::vector<uint8_t> Packet(size_t length, uint8_t seed) {
  std::vector<uint8_t> p(length);
  for (size_t i = 0; i < length; ++i) p[i] = static_cast<uint8_t>(seed + i);
  p[0] = 0xD0;  // code 2000
  p[1] = 0x07;
  return p;
}

std::vector<uint8_t> Block(const std::vector<uint8_t>& packet) {
  std::vector<uint8_t> b(usblink::kBlockArea);
  usblink::EncodeBlock(1, packet, b);
  return b;
}

class UsbTransportTest : public ::testing::Test {
 protected:
  UsbTransportTest()
      : state(std::make_shared<FakeDrive::State>()),
        transport(std::make_unique<FakeDrive>(state), 0x101) {}

  void Put(std::vector<uint8_t> bytes) {
    std::lock_guard lock(FakeDrive::mu());
    state->bytes = std::move(bytes);
  }
  std::vector<uint8_t> Bytes() {
    std::lock_guard lock(FakeDrive::mu());
    return state->bytes;
  }
  template <typename F>
  void With(F&& f) {
    std::lock_guard lock(FakeDrive::mu());
    f(*state);
  }

  std::shared_ptr<FakeDrive::State> state;
  UsbTransport transport;
};

TEST_F(UsbTransportTest, SendReadsThenWritesOneBlockAndFlushes) {
  const auto packet = Packet(100, 3);
  EXPECT_EQ(transport.Send(packet), 1);
  const auto bytes = Bytes();
  EXPECT_EQ(bytes[0], 0x01);  // the device number's low 8 bits, twice
  EXPECT_EQ(bytes[1], 0x01);
  EXPECT_EQ(bytes[108], 0xFF);
  With([](FakeDrive::State& s) {
    EXPECT_EQ(s.reads, 1);
    EXPECT_EQ(s.writes, 1);
    EXPECT_EQ(s.flushes, 1);
  });
  // Too large for a block: nothing read or written.
  EXPECT_EQ(transport.Send(Packet(1528, 1)), 0);
  With([](FakeDrive::State& s) { EXPECT_EQ(s.writes, 1); });
}

// Each block that is no answer is passed over, and the next good one taken.
TEST_F(UsbTransportTest, AnswerRules) {
  const auto request = Packet(40, 9);
  const auto good = Packet(64, 77);
  auto bad_mark = Block(good);
  bad_mark[8 + 64] = 0x00;
  auto zero_code = Block(good);
  zero_code[8] = zero_code[9] = 0;
  auto with_length = [&](uint16_t length) {
    auto b = Block(good);
    b[4] = static_cast<uint8_t>(length);
    b[5] = static_cast<uint8_t>(length >> 8);
    if (8u + length < b.size()) b[8 + length] = 0xFF;
    std::fill(b.begin() + 8 + 64 + 1, b.end(), uint8_t{0xFF});  // marks anywhere a reader might look
    return b;
  };
  const auto whole = Block(good);
  struct Case {
    const char* what;
    std::vector<uint8_t> block;  // empty: leave the file as the send left it
    size_t buffer = 256;
  };
  const std::vector<Case> cases = {
      {"end mark missing", bad_mark},
      {"code 0", zero_code},
      {"length 1528", with_length(1528)},
      {"length 1535", with_length(1535)},
      {"length 65535", with_length(65535)},
      {"length below 8", with_length(4)},
      {"longer than the buffer", Block(good), 56},
      {"own request read back", {}},
      {"truncated file", std::vector<uint8_t>(whole.begin(), whole.begin() + 40)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(transport.Send(request), 1);
    if (!c.block.empty()) Put(c.block);
    // The terminal's next block comes while the host polls past the bad one.
    const auto next = Packet(48, static_cast<uint8_t>(c.buffer));
    std::thread terminal([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(120));
      Put(Block(next));
    });
    std::vector<uint8_t> out(c.buffer + 16, 0xAB);
    EXPECT_EQ(transport.Read(std::span<uint8_t>(out).first(c.buffer), 2000), 48);
    terminal.join();
    EXPECT_TRUE(std::equal(next.begin(), next.end(), out.begin()));
    for (size_t i = c.buffer; i < out.size(); ++i) ASSERT_EQ(out[i], 0xAB) << i;
  }
}

TEST_F(UsbTransportTest, AnAnswerIsTakenOnceUntilTheNextSend) {
  const auto answer = Packet(32, 5);
  ASSERT_EQ(transport.Send(Packet(16, 1)), 1);
  Put(Block(answer));
  std::vector<uint8_t> out(64);
  ASSERT_EQ(transport.Read(out, 500), 32);
  EXPECT_EQ(transport.Read(out, 100), 0);  // the same answer again
  // After a send the same bytes are a new answer (a terminal answering
  // alike twice).
  ASSERT_EQ(transport.Send(Packet(16, 1)), 1);
  Put(Block(answer));
  EXPECT_EQ(transport.Read(out, 500), 32);
}

TEST_F(UsbTransportTest, InterruptEndsAPollAtOnceAndBlocksReadsUntilTheNextSend) {
  ASSERT_EQ(transport.Send(Packet(16, 1)), 1);
  std::atomic<int32_t> result{-1};
  std::atomic<uint32_t> took{0};
  std::thread reader([&] {
    std::vector<uint8_t> out(64);
    const uint32_t start = platform::TickCount();
    result = transport.Read(out, 5000);
    took = platform::TicksSince(start);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  transport.InterruptReads();
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_LT(took.load(), 1500u);

  std::vector<uint8_t> out(64);
  uint32_t start = platform::TickCount();
  EXPECT_EQ(transport.Read(out, 2000), 0);
  EXPECT_LT(platform::TicksSince(start), 500u);

  // A send allows reading again: the read now waits for its answer.
  ASSERT_EQ(transport.Send(Packet(16, 1)), 1);
  start = platform::TickCount();
  EXPECT_EQ(transport.Read(out, 200), 0);
  EXPECT_GE(platform::TicksSince(start), 150u);
}

TEST_F(UsbTransportTest, IdleReadsLookAtTheFileOnlyEveryFifteenthPoll) {
  std::vector<uint8_t> out(64);
  // Nothing sent: a second of polls reads the file about twice.
  EXPECT_EQ(transport.Read(out, 1000), 0);
  int idle_reads = 0;
  With([&](FakeDrive::State& s) { idle_reads = s.reads; });
  EXPECT_GE(idle_reads, 1);
  EXPECT_LE(idle_reads, 4);
  // After a send every poll reads.
  ASSERT_EQ(transport.Send(Packet(16, 1)), 1);
  With([](FakeDrive::State& s) { s.reads = 0; });
  EXPECT_EQ(transport.Read(out, 400), 0);
  With([](FakeDrive::State& s) { EXPECT_GE(s.reads, 6); });
}

TEST_F(UsbTransportTest, AFailingDriveAnswersLineLost) {
  struct Case {
    const char* what;
    int read_error;
    int write_error;
    int32_t send;
    int32_t read;
  };
  const std::vector<Case> cases = {
      {"EIO on reads", EIO, 0, UsbTransport::kLineLost, UsbTransport::kLineLost},
      {"ENODEV on writes", 0, ENODEV, UsbTransport::kLineLost, 0},
      {"ENXIO on both", ENXIO, ENXIO, UsbTransport::kLineLost, UsbTransport::kLineLost},
      {"EACCES on writes", 0, EACCES, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    With([&](FakeDrive::State& s) {
      s.read_error = c.read_error;
      s.write_error = c.write_error;
    });
    EXPECT_EQ(transport.Send(Packet(16, 1)), c.send);
    std::vector<uint8_t> out(64);
    // A lost drive ends the read at its first look.
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(transport.Read(out, c.read == 0 ? 100 : 3000), c.read);
    EXPECT_LT(platform::TicksSince(start), 1500u);
  }
}

// The engine's reader polls while the caller's thread sends: every request
// gets its own answer and nothing tears.
TEST(UsbLinkThreads, SendAndPollFromTwoThreads) {
  auto state = std::make_shared<FakeDrive::State>();
  // The terminal answers each request with its packet, code 2000.
  state->responder = [](const std::vector<uint8_t>& written) {
    const size_t length = written[4] | (written[5] << 8);
    std::vector<uint8_t> packet(written.begin() + 8, written.begin() + 8 + static_cast<long>(length));
    packet[0] = 0xD1;  // 2001: no copy of the request
    packet[1] = 0x07;
    return Block(packet);
  };
  UsbTransport transport(std::make_unique<FakeDrive>(state), 1);
  constexpr int kRounds = 20;
  std::atomic<int> answers{0};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    std::vector<uint8_t> out(1100);
    while (!done.load()) {
      const int32_t got = transport.Read(out, 200);
      if (got > 0) {
        EXPECT_EQ(out[2], static_cast<uint8_t>(got));  // its own request's length mark
        answers.fetch_add(1);
      }
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    auto packet = Packet(static_cast<size_t>(16 + i * 40), 0);
    packet[2] = static_cast<uint8_t>(packet.size());
    ASSERT_EQ(transport.Send(packet), 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (answers.load() <= i && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(answers.load(), i + 1);
    if (answers.load() != i + 1) break;
  }
  done = true;
  transport.InterruptReads();
  reader.join();
}

}  // namespace
