// Uploads: chunking, resends with the chunk's own sequence number, pacing,
// and the hash check and release around the command that takes the data.
#include "bulk/upload.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

#include "engine_fixture.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace enginetest {
namespace {

using wire::CMD_ACK_OK;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 31 + 7);
  return v;
}

// Reassembles the chunks the terminal took, one per sequence number, as a
// terminal does: a repeated number is a resend of the same chunk.
std::vector<uint8_t> Reassemble(const FakeTerminal& term) {
  std::vector<uint8_t> out;
  std::optional<uint16_t> last;
  for (const Command& c : term.Sent(wire::CMD_DATA)) {
    if (last && *last == c.counter) continue;
    last = c.counter;
    out.insert(out.end(), c.payload.begin(), c.payload.end());
  }
  return out;
}

class UploadTest : public EngineFixture {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(UploadTest, DataGoesOutInWholePackets) {
  const auto data = Pattern(2500);
  EXPECT_TRUE(devwire::SendData(*conn, data, 100));
  const auto prepare = term.Sent(wire::CMD_PREPARE_DATA);
  ASSERT_EQ(prepare.size(), 1u);
  EXPECT_EQ(wire::ByteReader(prepare[0].payload).U32(), 2500u);
  const auto chunks = term.Sent(wire::CMD_DATA);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].payload.size(), 1024u);
  EXPECT_EQ(chunks[2].payload.size(), 452u);
  EXPECT_EQ(chunks[1].counter, chunks[0].counter + 1);
  EXPECT_EQ(Reassemble(term), data);
}

TEST_F(UploadTest, ChunkThatFailedToGoOutIsResentWithItsOwnNumber) {
  // PREPARE and chunk 1 go out; both attempts of chunk 2 fail to send.
  term.send_results = {1, 1, 0, 0};
  const auto data = Pattern(3000);
  EXPECT_TRUE(devwire::SendData(*conn, data, 100));
  const auto chunks = term.Sent(wire::CMD_DATA);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[1].counter, chunks[0].counter + 1) << "not the previous chunk's number";
  EXPECT_EQ(chunks[2].counter, chunks[1].counter + 1);
  EXPECT_EQ(Reassemble(term), data);
}

TEST_F(UploadTest, RefusedChunkIsResentWithTheSameNumber) {
  int data_packets = 0;
  term.on_command = [&](FakeTerminal& t, const Command& c) {
    const bool refuse = c.code == wire::CMD_DATA && ++data_packets == 2;
    t.Answer(c, refuse ? wire::CMD_ACK_ERROR : CMD_ACK_OK);
  };
  const auto data = Pattern(2048);
  EXPECT_TRUE(devwire::SendData(*conn, data, 100));
  const auto chunks = term.Sent(wire::CMD_DATA);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[2].counter, chunks[1].counter);
  EXPECT_EQ(chunks[2].raw, chunks[1].raw);
  EXPECT_EQ(Reassemble(term), data);
}

TEST_F(UploadTest, FiveRefusalsEndTheUpload) {
  term.on_command = [](FakeTerminal& t, const Command& c) {
    t.Answer(c, c.code == wire::CMD_DATA ? wire::CMD_ACK_ERROR : CMD_ACK_OK);
  };
  EXPECT_FALSE(devwire::SendData(*conn, Pattern(4000), 100));
  EXPECT_EQ(term.Count(wire::CMD_DATA), 5u);
}

TEST_F(UploadTest, RefusedPrepareSendsNothing) {
  term.on_command = [](FakeTerminal& t, const Command& c) { t.Answer(c, wire::CMD_ACK_ERROR); };
  EXPECT_FALSE(devwire::SendData(*conn, Pattern(10), 100));
  EXPECT_EQ(term.Count(wire::CMD_DATA), 0u);
}

TEST_F(UploadTest, CancelStopsTheUpload) {
  term.on_command = [&](FakeTerminal& t, const Command& c) {
    t.Answer(c, CMD_ACK_OK);
    if (c.code == wire::CMD_DATA) conn->abort_flag = 1;
  };
  EXPECT_FALSE(devwire::SendData(*conn, Pattern(3000), 100));
  EXPECT_EQ(term.Count(wire::CMD_DATA), 1u);
}

TEST_F(UploadTest, PacingHasAFloorPerLine) {
  // UDP: never below 150 ms, even when the caller allows less.
  EXPECT_TRUE(devwire::SendData(*conn, Pattern(1500), 20));
  EXPECT_EQ(term.read_timeouts.back(), conn->data_pacing);
  EXPECT_GE(conn->data_pacing, 150);

  // Serial lines: never below the caller's time-out.
  conn->transport_name = "RS232";
  EXPECT_TRUE(devwire::SendData(*conn, Pattern(1500), 900));
  EXPECT_GE(conn->data_pacing, 900);
}

class CommandWithDataTest : public UploadTest {
 protected:
  // The terminal answers command 119 with `hash_reply` and 110 with `take_reply`.
  void Script(std::optional<uint32_t> hash, uint16_t hash_code, uint16_t take_code,
              int free_refusals = 0) {
    term.on_command = [=, this](FakeTerminal& t, const Command& c) mutable {
      if (c.code == wire::kDataChecksum) {
        std::vector<uint8_t> bytes(4);
        wire::ByteWriter(bytes).U32(hash.value_or(0));
        t.Answer(c, hash_code, hash ? bytes : std::vector<uint8_t>{});
      } else if (c.code == wire::kTakeUploadedData) {
        t.Answer(c, take_code);
      } else if (c.code == wire::CMD_FREE_DATA && free_refusals-- > 0) {
        t.Answer(c, wire::CMD_ACK_ERROR);
      } else {
        t.Answer(c, CMD_ACK_OK);
      }
    };
  }

  int32_t Upload(uint16_t& code, int32_t timeout_ms = 100) {
    return devwire::SendCommandWithData(*conn, code, data, params, timeout_ms);
  }

  std::vector<uint8_t> data = Pattern(1500);
  std::vector<uint8_t> params{1, 0, 0, 0, 'f', 'w', 0};
};

TEST_F(CommandWithDataTest, TakesTheDataAndReleasesIt) {
  Script(wire::DataHash(data), CMD_ACK_OK, CMD_ACK_OK);
  uint16_t code = wire::kTakeUploadedData;
  Upload(code);
  EXPECT_EQ(code, CMD_ACK_OK);
  const auto take = term.Sent(wire::kTakeUploadedData);
  ASSERT_EQ(take.size(), 1u);
  EXPECT_EQ(take[0].payload, params);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(term.commands.back().code, wire::CMD_FREE_DATA);
}

TEST_F(CommandWithDataTest, HashMismatchStopsBeforeTheCommand) {
  Script(wire::DataHash(data) + 1, CMD_ACK_OK, CMD_ACK_OK);
  uint16_t code = wire::kTakeUploadedData;
  EXPECT_EQ(Upload(code), 0);
  EXPECT_EQ(code, wire::kTakeUploadedData) << "code slot unchanged";
  EXPECT_EQ(term.Count(wire::kTakeUploadedData), 0u);
}

TEST_F(CommandWithDataTest, TerminalThatCannotCheckGoesOn) {
  Script(std::nullopt, wire::CMD_ACK_UNKNOWN, CMD_ACK_OK);
  uint16_t code = wire::kTakeUploadedData;
  Upload(code);
  EXPECT_EQ(code, CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::kTakeUploadedData), 1u);
}

TEST_F(CommandWithDataTest, RefusedCommandIsReportedAndNothingReleased) {
  Script(wire::DataHash(data), CMD_ACK_OK, wire::CMD_ACK_ERROR);
  uint16_t code = wire::kTakeUploadedData;
  Upload(code);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 0u);
}

TEST_F(CommandWithDataTest, ReleaseIsAskedTwiceAtMost) {
  Script(wire::DataHash(data), CMD_ACK_OK, CMD_ACK_OK, 5);
  uint16_t code = wire::kTakeUploadedData;
  Upload(code);
  EXPECT_EQ(code, CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 2u);
}

TEST_F(CommandWithDataTest, FailedUploadReportsNoReply) {
  term.on_command = [](FakeTerminal&, const Command&) {};
  uint16_t code = wire::kTakeUploadedData;
  EXPECT_EQ(Upload(code, 0), 0);
  EXPECT_EQ(code, wire::CMD_ACK_NO);
}

TEST_F(CommandWithDataTest, LongTimeOutDoesNotOverflow) {
  Script(wire::DataHash(data), CMD_ACK_OK, CMD_ACK_OK);
  uint16_t code = wire::kTakeUploadedData;
  Upload(code, std::numeric_limits<int32_t>::max() / 2);
  EXPECT_EQ(code, CMD_ACK_OK);
  EXPECT_TRUE(std::count(term.read_timeouts.begin(), term.read_timeouts.end(),
                         std::numeric_limits<int32_t>::max()) > 0);
}

}  // namespace
}  // namespace enginetest
