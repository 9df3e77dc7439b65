// Buffered reads against hand-made answers: compressed data that expands
// wrongly, implausible sizes, cancels, and memory reads that keep failing.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <vector>

#include "bulk/buffered.h"
#include "bulk/memory.h"
#include "bulk_unit_fixture.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "wire/codes.h"
#include "wire/hash.h"

namespace bulktest {
namespace {

constexpr uint16_t kCommand = wire::CMD_ATTLOG_RRQ;
constexpr int32_t kTimeoutMs = 300;
constexpr uint8_t kCanary = 0xEE;

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data) {
  EXPECT_EQ(lzo_init(), LZO_E_OK);
  std::vector<uint8_t> out(data.size() + data.size() / 16 + 67);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint n = out.size();
  EXPECT_EQ(lzo1x_1_compress(data.data(), data.size(), out.data(), &n, work.data()), LZO_E_OK);
  out.resize(n);
  return out;
}

std::vector<uint8_t> Describe(bool compressed, uint32_t stored, uint32_t size, uint32_t hash) {
  std::vector<uint8_t> out(13);
  wire::ByteWriter w(out);
  w.U8(compressed ? 1 : 0);
  w.U32(stored);
  w.U32(size);
  w.U32(hash);
  return out;
}

// A terminal holding `stored` and describing it as asked; memory reads are
// answered inline.
class BufferedReadTest : public BulkUnitTest {
 protected:
  void Hold(std::vector<uint8_t> stored, std::vector<uint8_t> description) {
    held = std::move(stored);
    term.on_command = [this, description](enginetest::FakeTerminal& t,
                                          const enginetest::Command& c) {
      if (c.code == wire::CMD_QUERY_DATA) {
        t.Answer(c, wire::CMD_ACK_OK, description);
      } else if (c.code == wire::CMD_READ_DATA) {
        if (on_read) on_read();
        wire::ByteReader r(c.payload);
        const uint32_t offset = r.U32();
        const uint32_t count = r.U32();
        t.Answer(c, wire::CMD_DATA, Slice(held, offset, count));
      } else {
        t.Behave(c);
      }
    };
  }
  int32_t Read(size_t size, uint16_t* code) {
    buffer.assign(size + 64, kCanary);
    *code = kCommand;
    return devwire::BufferedRead(*conn, *code, {}, std::span(buffer).first(size), 8192, kTimeoutMs);
  }
  bool CanaryIntact(size_t size) const {
    return std::all_of(buffer.begin() + static_cast<ptrdiff_t>(size), buffer.end(),
                       [](uint8_t b) { return b == kCanary; });
  }

  std::vector<uint8_t> held;
  std::vector<uint8_t> buffer;
  std::function<void()> on_read;
};

TEST_F(BufferedReadTest, CompressedDataIsDecompressedIntoTheBuffer) {
  const auto data = Pattern(6000);
  const auto packed = Compress(data);
  Hold(packed, Describe(true, static_cast<uint32_t>(packed.size()), 6000, wire::DataHash(packed)));
  uint16_t code = 0;
  EXPECT_EQ(Read(6000, &code), 6000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(Slice(buffer, 0, 6000), data);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
}

// The announced size is what the caller's buffer is checked against; data
// that expands to more is cut off by the decoder, never written past it.
TEST_F(BufferedReadTest, CompressedDataExpandingBeyondTheAnnouncedSizeStopsAtTheBuffer) {
  const auto packed = Compress(Pattern(6000));
  Hold(packed, Describe(true, static_cast<uint32_t>(packed.size()), 3000, wire::DataHash(packed)));
  uint16_t code = 0;
  EXPECT_EQ(Read(3000, &code), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_TRUE(CanaryIntact(3000));
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
}

TEST_F(BufferedReadTest, DamagedCompressedDataIsAFailure) {
  auto packed = Pattern(700, 4);  // not LZO1X at all
  Hold(packed, Describe(true, 700, 5000, wire::DataHash(packed)));
  uint16_t code = 0;
  EXPECT_EQ(Read(5000, &code), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_TRUE(CanaryIntact(5000));
}

struct Implausible {
  const char* name;
  bool compressed;
  uint32_t stored;
  uint32_t size;
};

class ImplausibleDescriptions : public BufferedReadTest,
                                public ::testing::WithParamInterface<Implausible> {};

TEST_P(ImplausibleDescriptions, AreReleasedUnread) {
  const Implausible& k = GetParam();
  Hold(Pattern(100), Describe(k.compressed, k.stored, k.size, 0));
  uint16_t code = 0;
  EXPECT_EQ(Read(1 << 20, &code), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(term.Count(wire::CMD_READ_DATA), 0u);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ImplausibleDescriptions,
                         ::testing::Values(Implausible{"PlainSizesDiffer", false, 100, 90},
                                           Implausible{"NegativeStored", false, 0x80000000u,
                                                       0x80000000u},
                                           Implausible{"CompressedFarTooBig", true, 2000000, 1000},
                                           Implausible{"StoredWithoutSize", false, 100, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BufferedReadTest, ShortDescriptionIsRefused) {
  Hold({}, {0, 1, 2});
  uint16_t code = 0;
  EXPECT_EQ(Read(100, &code), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
}

TEST_F(BufferedReadTest, CancelDuringTheReadStillReleasesTheData) {
  const auto data = Pattern(30000);
  Hold(data, Describe(false, 30000, 30000, wire::DataHash(data)));
  on_read = [this] { conn->abort_flag = 1; };
  uint16_t code = 0;
  EXPECT_EQ(Read(30000, &code), -2);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(term.Count(wire::CMD_READ_DATA), 1u);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
}

TEST_F(BufferedReadTest, HashThatNeverMatchesEndsAfterFivePasses) {
  const auto data = Pattern(1000);
  Hold(data, Describe(false, 1000, 1000, wire::DataHash(data) ^ 1));
  uint16_t code = 0;
  EXPECT_EQ(Read(1000, &code), 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(term.Count(wire::CMD_READ_DATA), 5u);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
}

// Every block arrives with its only chunk damaged: the read shrinks to
// 1024-byte blocks and gives up after ten of them fail in a row.
TEST_F(BufferedReadTest, MemoryReadGivesUpAfterTenFailedSmallBlocks) {
  term.on_command = [this](enginetest::FakeTerminal& t, const enginetest::Command& c) {
    if (c.code != wire::CMD_READ_DATA) return t.Behave(c);
    wire::ByteReader r(c.payload);
    r.U32();
    const uint32_t count = r.U32();
    t.Answer(c, wire::CMD_PREPARE_DATA, Words({count, count}));
    PushChunk(0, c.counter, Pattern(count), true);
  };
  std::vector<uint8_t> out(9000 + 64, kCanary);
  EXPECT_EQ(devwire::ReadMemory(*conn, wire::CMD_READ_DATA, 0, std::span(out).first(9000), 8192, 1),
            -3);
  const auto reads = term.Sent(wire::CMD_READ_DATA);
  // 8192 once and 1024 eleven times, each a streamed read of six attempts.
  ASSERT_EQ(reads.size(), 6u * 12u);
  EXPECT_EQ(Slice(reads.front().payload, 4, 4), Words({8192}));
  EXPECT_EQ(Slice(reads.back().payload, 4, 4), Words({1024}));
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == kCanary; }));
}

// The request and an oversized reply stay in private scratch: the caller's
// destination receives only the bytes asked for, and only once exactly that
// many came.
TEST_F(BufferedReadTest, MemoryReadTouchesOnlyTheDestination) {
  const auto data = Pattern(500);
  int reads = 0;
  term.on_command = [&](enginetest::FakeTerminal& t, const enginetest::Command& c) {
    if (c.code != wire::CMD_READ_DATA) return t.Behave(c);
    t.Answer(c, wire::CMD_DATA, reads++ == 0 ? data : Slice(data, 0, 10));
  };
  std::vector<uint8_t> out(10 + 64, kCanary);
  EXPECT_EQ(devwire::ReadMemory(*conn, wire::CMD_READ_DATA, 0, std::span(out).first(10), 8192, 1),
            10);
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(Slice(out, 0, 10), Slice(data, 0, 10));
  EXPECT_TRUE(std::all_of(out.begin() + 10, out.end(), [](uint8_t b) { return b == kCanary; }));
}

}  // namespace
}  // namespace bulktest
