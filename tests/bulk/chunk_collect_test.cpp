// Streamed reads against hand-made chunk packets: a terminal that lies about
// indexes, lengths and totals never gets bytes outside the announced data
// set or the caller's buffer, and never a success with wrong data.
#include <gtest/gtest.h>

#include <vector>

#include "bulk/streamed.h"
#include "bulk_unit_fixture.h"
#include "devwire.h"
#include "platform/tick.h"
#include "wire/codes.h"

namespace bulktest {
namespace {

constexpr uint16_t kCommand = 0x4D2;
constexpr int32_t kTimeoutMs = 300;
constexpr uint8_t kCanary = 0xEE;

class ChunkCollectTest : public BulkUnitTest {
 protected:
  // Streams into the first `size` bytes of a buffer with a canary behind.
  devwire::BulkResult Read(size_t size, bool verify = true) {
    buffer.assign(size + 64, kCanary);
    return devwire::StreamedRead(*conn, kCommand, {}, std::span(buffer).first(size), verify,
                                 kTimeoutMs);
  }
  bool CanaryIntact(size_t size) const {
    return std::all_of(buffer.begin() + static_cast<ptrdiff_t>(size), buffer.end(),
                       [](uint8_t b) { return b == kCanary; });
  }
  // Every request of kCommand is answered by `answer` (given the request's
  // sequence number and which request it is, from 0).
  void OnRequest(std::function<void(uint16_t counter, int nth)> answer) {
    term.on_command = [this, answer](enginetest::FakeTerminal& t, const enginetest::Command& c) {
      if (c.code == kCommand) {
        answer(c.counter, requests++);
      } else {
        t.Behave(c);
      }
    };
  }
  void Prepare(uint16_t counter, uint32_t total, uint32_t chunk) {
    term.Push(wire::CMD_PREPARE_DATA, term.session_id, counter, Words({total, chunk}));
  }

  std::vector<uint8_t> buffer;
  int requests = 0;
};

struct HostileCase {
  const char* name;
  uint32_t total;
  uint32_t chunk;
  uint16_t index;  // of the second packet
  size_t length;   // of the second packet
  int32_t error;
};

class HostileChunks : public ChunkCollectTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileChunks, AreRejectedWithoutWritingOutside) {
  const HostileCase& k = GetParam();
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, k.total, k.chunk);
    PushChunk(0, counter, Pattern(std::min(k.total, k.chunk)));
    PushChunk(k.index, counter, Pattern(k.length, 9));
  });
  const devwire::BulkResult r = Read(k.total);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_LT(r.result, 0);
  EXPECT_EQ(conn->last_error, k.error);
  EXPECT_TRUE(CanaryIntact(k.total));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileChunks,
    ::testing::Values(HostileCase{"IndexBeyondCount", 2048, 1024, 2, 1024, DEVWIRE_E_CHUNK_OUTSIDE},
                      HostileCase{"IndexFarBeyond", 2048, 1024, 0xFFFF, 1, DEVWIRE_E_CHUNK_OUTSIDE},
                      HostileCase{"EndsBeyondTotal", 1500, 1024, 1, 1024, DEVWIRE_E_CHUNK_OUTSIDE},
                      HostileCase{"ShortLastChunk", 1500, 1024, 1, 100, DEVWIRE_E_LAST_CHUNK_BAD}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChunkCollectTest, ChunkSizeZeroIsRefused) {
  OnRequest([&](uint16_t counter, int) { Prepare(counter, 100, 0); });
  const devwire::BulkResult r = Read(100);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_CHUNK_OUTSIDE);
}

TEST_F(ChunkCollectTest, HugeTotalIsTooBigForTheBuffer) {
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 0xFFFFFFFFu, 1);
    PushChunk(0, counter, {1});
  });
  const devwire::BulkResult r = Read(4096);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_BUFFER_TOO_SMALL);
  EXPECT_TRUE(CanaryIntact(0));
  EXPECT_TRUE(term.inbox.empty());  // the chunk was drained off the line
}

// A chunk longer than the chunk size would spill into its neighbour; it is
// taken as damaged, and the neighbour keeps its own bytes.
TEST_F(ChunkCollectTest, OversizedChunkNeverSpillsIntoItsNeighbour) {
  const auto data = Pattern(1536);
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 1536, 512);
    PushChunk(1, counter, Slice(data, 512, 512));
    PushChunk(0, counter, Pattern(1024, 5));  // twice the chunk size
    PushChunk(0, counter, Slice(data, 0, 512));
    PushChunk(2, counter, Slice(data, 1024, 512));
  });
  const devwire::BulkResult r = Read(1536);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_OK);
  EXPECT_EQ(r.result, 1536);
  EXPECT_EQ(Slice(buffer, 0, 1536), data);
  EXPECT_EQ(requests, 1);
}

TEST_F(ChunkCollectTest, ChunkInPlaceIsNeverOverwritten) {
  const auto data = Pattern(2048);
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 2048, 1024);
    PushChunk(0, counter, Slice(data, 0, 1024));
    PushChunk(0, counter, Pattern(1024, 3));        // intact, but a different chunk 0
    PushChunk(0, counter, Pattern(1024, 4), true);  // damaged
    PushChunk(1, counter, Slice(data, 1024, 1024));
  });
  const devwire::BulkResult r = Read(2048);
  EXPECT_EQ(r.result, 2048);
  EXPECT_EQ(Slice(buffer, 0, 2048), data);
  EXPECT_EQ(requests, 1);
}

TEST_F(ChunkCollectTest, PacketsOfAnotherRequestAreIgnored) {
  const auto data = Pattern(1500);
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 1500, 1024);
    PushChunk(0, static_cast<uint16_t>(counter - 1), Pattern(1024, 2));
    PushChunk(0, counter, Slice(data, 0, 1024));
    PushChunk(1, counter, Slice(data, 1024, 476));
  });
  EXPECT_EQ(Read(1500).result, 1500);
  EXPECT_EQ(Slice(buffer, 0, 1500), data);
}

TEST_F(ChunkCollectTest, DamagedLastOutstandingChunkEndsTheAttemptAtOnce) {
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 2048, 1024);
    PushChunk(0, counter, Pattern(1024));
    PushChunk(1, counter, Pattern(1024), true);
  });
  const devwire::BulkResult r = Read(2048);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(r.result, -2);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_LAST_CHUNK_BAD);
  EXPECT_EQ(requests, 6);
}

// A line that breaks mid-stream (the TCP link reconnected: −309) cannot
// bring the rest of this stream: the attempt ends at once instead of waiting
// a third of the time-out for chunks, and the next attempt reads it whole.
TEST_F(ChunkCollectTest, LineFailureEndsTheAttemptAtOnce) {
  OnRequest([&](uint16_t counter, int nth) {
    Prepare(counter, 2048, 1024);
    PushChunk(0, counter, Pattern(1024));
    if (nth == 0) {
      term.PushResult(DEVORU_RECONNECTED);
    } else {
      PushChunk(1, counter, Slice(Pattern(2048), 1024, 1024));
    }
  });
  buffer.assign(2048 + 64, kCanary);
  const uint32_t start = platform::TickCount();
  // A third of this time-out is 10 s: the old wait for chunks that never come.
  const devwire::BulkResult r =
      devwire::StreamedRead(*conn, kCommand, {}, std::span(buffer).first(2048), true, 30000);
  EXPECT_LT(platform::TicksSince(start), 5000u);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_OK);
  EXPECT_EQ(r.result, 2048);
  EXPECT_EQ(requests, 2);
  EXPECT_TRUE(CanaryIntact(2048));
}

// Without verification there is one attempt, and a gap or a damaged chunk
// fails it rather than passing the buffer off as the data.
TEST_F(ChunkCollectTest, UnverifiedReadFailsOnAGapOrADamagedChunk) {
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 2048, 1024);
    PushChunk(0, counter, Pattern(1000));  // a chunk of the wrong length
    PushChunk(1, counter, Pattern(1024));
  });
  devwire::BulkResult r = Read(2048, false);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(r.result, -2);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_BAD_CHUNK);

  requests = 0;
  OnRequest([&](uint16_t counter, int) {
    Prepare(counter, 3072, 1024);
    PushChunk(0, counter, Pattern(1024));
  });
  r = Read(3072, false);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(r.result, -4);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_TOO_MANY_SILENT);
  EXPECT_EQ(requests, 1);
}

TEST_F(ChunkCollectTest, ChangedTotalIsReported) {
  const auto data = Pattern(1500, 2);
  OnRequest([&](uint16_t counter, int nth) {
    if (nth == 0) {
      Prepare(counter, 2048, 1024);
      PushChunk(0, counter, Pattern(1024, 1));
      return;
    }
    Prepare(counter, 1500, 1024);
    PushChunk(0, counter, Slice(data, 0, 1024));
    PushChunk(1, counter, Slice(data, 1024, 476));
  });
  const devwire::BulkResult r = Read(4096);
  EXPECT_EQ(r.result, 1500);
  EXPECT_EQ(Slice(buffer, 0, 1500), data);
  EXPECT_EQ(conn->last_error, DEVWIRE_E_TOTAL_CHANGED);
}

// Inline data is taken only by a memory read, whose area is the count
// asked for plus 1024.
TEST_F(ChunkCollectTest, InlineDataOnlyUnderTheMemoryReadConvention) {
  OnRequest([&](uint16_t counter, int) {
    term.Push(wire::CMD_DATA, term.session_id, counter, Pattern(100));
  });
  devwire::BulkResult r = Read(100 + 1024);
  EXPECT_EQ(r.outcome, wire::CMD_ACK_OK);
  EXPECT_EQ(r.result, 100);
  EXPECT_EQ(requests, 1);

  requests = 0;
  r = Read(100 + 1000);
  EXPECT_EQ(r.outcome, wire::CMD_DATA);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(requests, 6);
  EXPECT_TRUE(CanaryIntact(0));
}

}  // namespace
}  // namespace bulktest
