// Piecewise reads and large blocks against hand-made answers: packets larger
// than the connection's receive buffer, blocks that overrun their size, a
// terminal that never stops sending, cancels and lost commands.
#include <gtest/gtest.h>

#include <vector>

#include "bulk/constants.h"
#include "bulk/large_block.h"
#include "bulk/piecewise.h"
#include "bulk_unit_fixture.h"
#include "devwire.h"
#include "exchange/line_drain.h"
#include "platform/tick.h"
#include "wire/codes.h"

namespace bulktest {
namespace {

constexpr uint16_t kCommand = 0x7A;
constexpr uint16_t kLargeBlock = 2018;
constexpr uint16_t kRelease = 2019;
constexpr int32_t kTimeoutMs = 300;
constexpr uint8_t kCanary = 0xEE;

class PiecewiseReadTest : public BulkUnitTest {
 protected:
  // A large block: its size and checksum, its data packets, CMD_ACK_OK.
  void AnswerBlock(const enginetest::Command& c, uint32_t announced,
                   const std::vector<std::vector<uint8_t>>& packets) {
    std::vector<uint8_t> all;
    for (const auto& p : packets) all.insert(all.end(), p.begin(), p.end());
    std::vector<uint8_t> head(6);
    wire::ByteWriter w(head);
    w.U32(announced);
    w.U16(wire::InternetChecksum(all));
    term.Answer(c, wire::CMD_PREPARE_DATA, head);
    for (const auto& p : packets) term.Answer(c, wire::CMD_DATA, p);
    term.Answer(c, wire::CMD_ACK_OK);
  }
  // The terminal answers kCommand with `units` and every 2018 by `block`.
  void Serve(uint32_t units, std::function<void(const enginetest::Command&)> block) {
    term.on_command = [this, units, block](enginetest::FakeTerminal& t,
                                           const enginetest::Command& c) {
      if (c.code == kCommand) {
        t.Answer(c, wire::CMD_ACK_OK, Words({units}));
      } else if (c.code == kLargeBlock) {
        block(c);
      } else {
        t.Behave(c);
      }
    };
  }
  int32_t LargeBlock(uint32_t start, uint32_t count, int32_t timeout_ms = kTimeoutMs) {
    block.assign(devwire::kLargeBlockArea + 64, kCanary);
    return devwire::ReadLargeBlock(*conn, std::span(block).first(devwire::kLargeBlockArea), start,
                                   count, timeout_ms);
  }

  std::vector<uint8_t> block;
};

// On UDP the receive buffer holds 1032 bytes; a block's packets may be
// bigger and are read whole all the same.
TEST_F(PiecewiseReadTest, PacketsBiggerThanTheReceiveBufferAreReadWhole) {
  ASSERT_EQ(conn->receive_buffer.size(), 1032u);
  const auto data = Pattern(3000);
  Serve(1, [&](const enginetest::Command& c) { AnswerBlock(c, 3000, {data}); });
  EXPECT_EQ(LargeBlock(0, 1), 3000);
  EXPECT_EQ(Slice(block, 0, 3000), data);
}

TEST_F(PiecewiseReadTest, BlockLongerThanAnnouncedIsRefused) {
  Serve(1, [&](const enginetest::Command& c) {
    AnswerBlock(c, 1000, {Pattern(800), Pattern(800, 2)});
  });
  EXPECT_EQ(LargeBlock(0, 1), -1);
  EXPECT_TRUE(
      std::all_of(block.begin() + 1000, block.end(), [](uint8_t b) { return b == kCanary; }));
  EXPECT_TRUE(term.inbox.empty());  // the rest was drained
}

TEST_F(PiecewiseReadTest, BlockBeyondTheScratchAreaIsRefused) {
  Serve(1, [&](const enginetest::Command& c) {
    AnswerBlock(c, devwire::kLargeBlockArea + 1, {Pattern(100)});
  });
  EXPECT_EQ(LargeBlock(0, 1), -1);
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == kCanary; }));
}

TEST_F(PiecewiseReadTest, WrongBlockChecksumIsAFailure) {
  Serve(1, [&](const enginetest::Command& c) {
    term.Answer(c, wire::CMD_PREPARE_DATA, {100, 0, 0, 0, 0x12, 0x34});
    term.Answer(c, wire::CMD_DATA, Pattern(100));
    term.Answer(c, wire::CMD_ACK_OK);
  });
  EXPECT_EQ(LargeBlock(0, 1), -1);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_BAD_CHECKSUM);
}

// A transport that, once started, delivers an empty data packet on every
// read for a while (and what the fake terminal queued before that).
class Flood {
 public:
  static void Start(uint32_t for_ms) {
    until_ = platform::TickCount() + for_ms;
    on_ = true;
  }
  static devwire::EntryPoints Over(const devwire::EntryPoints& fake) {
    queued_ = fake.read;
    devwire::EntryPoints e = fake;
    e.read = Read;
    return e;
  }

 private:
  static int32_t Read(DEVORU_HANDLE h, void* buffer, int32_t size, int32_t timeout_ms) {
    const int32_t queued = queued_(h, buffer, size, 0);
    if (queued != 0 || !on_ || platform::TickDiff(until_, platform::TickCount()) <= 0) {
      return queued;
    }
    std::vector<uint8_t> packet(wire::kHeaderSize);
    wire::BuildPacket(wire::CMD_DATA, 1, 1, {}, packet);
    std::copy(packet.begin(), packet.end(), static_cast<uint8_t*>(buffer));
    return static_cast<int32_t>(packet.size());
  }

  static inline DEVORU_READ_FN queued_ = nullptr;
  static inline bool on_ = false;
  static inline uint32_t until_ = 0;
};

class FloodTest : public PiecewiseReadTest {
 protected:
  void SetUp() override {
    PiecewiseReadTest::SetUp();
    fake = std::move(conn->plugin);
    conn->plugin = devwire::TransportBinding::FromEntryPoints(Flood::Over(fake->entry()));
  }
  void TearDown() override { conn->plugin = std::move(fake); }
  std::unique_ptr<devwire::TransportBinding> fake;
};

// Empty data packets that keep coming cannot hold a large block beyond its
// time-out.
TEST_F(FloodTest, EndlessPacketsEndTheBlockAtItsTimeOut) {
  Serve(1, [&](const enginetest::Command& c) {
    term.Answer(c, wire::CMD_PREPARE_DATA, {1, 0, 0, 0, 0, 0});
    Flood::Start(400);
  });
  EXPECT_EQ(LargeBlock(0, 1, 100), -1);
}

TEST_F(FloodTest, DrainingHasADeadline) {
  Flood::Start(60000);
  const uint32_t start = platform::TickCount();
  devwire::DrainLine(*conn, 100, 50);
  EXPECT_GE(platform::TicksSince(start), 50u);
  Flood::Start(0);
}

TEST_F(PiecewiseReadTest, ReadsRangesOf200Units) {
  Serve(450, [&](const enginetest::Command& c) {
    wire::ByteReader r(c.payload);
    const uint32_t start = r.U32();
    const uint32_t count = r.U32();
    AnswerBlock(c, count, {std::vector<uint8_t>(count, static_cast<uint8_t>(start / 200))});
  });
  std::vector<uint8_t> out(1000);
  const devwire::BulkResult r = devwire::PiecewiseRead(*conn, kCommand, out, kTimeoutMs);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_OK);
  ASSERT_EQ(r.result, 450);
  EXPECT_EQ(out[199], 0);
  EXPECT_EQ(out[200], 1);
  EXPECT_EQ(out[449], 2);
  const auto blocks = term.Sent(kLargeBlock);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[2].payload, Words({400, 50}));
  EXPECT_EQ(term.Count(kRelease), 1u);
}

TEST_F(PiecewiseReadTest, CancelStillSendsTheRelease) {
  Serve(450, [&](const enginetest::Command& c) {
    conn->abort_flag = 1;
    AnswerBlock(c, 200, {Pattern(200)});
  });
  std::vector<uint8_t> out(1000);
  const devwire::BulkResult r = devwire::PiecewiseRead(*conn, kCommand, out, kTimeoutMs);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(term.Count(kLargeBlock), 1u);
  EXPECT_EQ(term.Count(kRelease), 1u);
}

TEST_F(PiecewiseReadTest, CommandThatFailsToGoOutIsAFailure) {
  term.send_results = {0, 0, 0, 0};
  std::vector<uint8_t> out(100);
  const devwire::BulkResult r = devwire::PiecewiseRead(*conn, kCommand, out, kTimeoutMs);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_CMD);
}

TEST_F(PiecewiseReadTest, TerminalRefusingHasNothingToGive) {
  term.on_command = [](enginetest::FakeTerminal& t, const enginetest::Command& c) {
    if (c.code == kCommand) return t.Answer(c, wire::CMD_ACK_ERROR);
    t.Behave(c);
  };
  std::vector<uint8_t> out(100);
  const devwire::BulkResult r = devwire::PiecewiseRead(*conn, kCommand, out, kTimeoutMs);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_OK);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(term.Count(kRelease), 0u);
}

}  // namespace
}  // namespace bulktest
