// Buffered reads against the simulator: the data prepared in the terminal's
// memory, fetched in blocks, checked by its hash, LZO1X-decompressed when it
// came compressed, and released.
#include <atomic>
#include <thread>
#include <vector>

#include "bulk_e2e_fixture.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace bulktest {
namespace {

constexpr int32_t kTimeoutMs = 1000;

// Sizes of the CMD_READ_DATA blocks the terminal was asked for, in order.
std::vector<uint32_t> BlockCounts(const termsim::Simulator& sim) {
  std::vector<uint32_t> counts;
  for (const auto& p : sim.Received()) {
    if (p.code != wire::CMD_READ_DATA) continue;
    wire::ByteReader r(p.payload);
    r.U32();
    counts.push_back(r.U32());
  }
  return counts;
}

class BufferedReadTest : public BulkE2ETest {
 protected:
  // DEVWIRE_READDATA of `command` into a buffer of `size`.
  std::vector<uint8_t> Read(uint16_t command, size_t size, int32_t* result, uint16_t* code,
                            int32_t block_size = 0) {
    std::vector<uint8_t> buffer(size);
    *code = command;
    *result = DEVWIRE_READDATA(handle, code, buffer.data(), static_cast<int32_t>(size), 0,
                               block_size, kTimeoutMs);
    if (*result >= 0) buffer.resize(static_cast<size_t>(*result));
    return buffer;
  }
};

class BufferedSizes : public BufferedReadTest,
                      public ::testing::WithParamInterface<std::tuple<size_t, bool>> {};

TEST_P(BufferedSizes, ReturnsExactlyTheBytesHeld) {
  const auto [size, compress] = GetParam();
  const auto data = RecordBytes(size);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkOptions options;
  options.compress = compress;
  sim->SetBulkOptions(options);
  int32_t result = 0;
  uint16_t code = 0;
  const auto got = Read(wire::CMD_ATTLOG_RRQ, size + 10, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(result, static_cast<int32_t>(size));
  EXPECT_EQ(got, data);
  EXPECT_EQ(sim->CountReceived(wire::CMD_QUERY_DATA), 1u);
  // Data that was prepared is released; an empty set was never prepared.
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), size > 0 ? 1u : 0u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferedSizes,
                         ::testing::Combine(::testing::Values(0, 1, 1024, 1025, 30000),
                                            ::testing::Bool()));

// Several MiB, once plain and once compressed, in large blocks.
TEST_F(BufferedReadTest, SeveralMegabytes) {
  for (const bool compress : {false, true}) {
    const auto data = compress ? RecordBytes(4 << 20) : RandomBytes(3 << 20);
    sim->SetDataSet(wire::CMD_DB_RRQ, {}, data);
    termsim::BulkOptions options;
    options.compress = compress;
    sim->SetBulkOptions(options);
    int32_t result = 0;
    uint16_t code = 0;
    const auto got = Read(wire::CMD_DB_RRQ, data.size(), &result, &code, 65536);
    EXPECT_EQ(code, wire::CMD_ACK_OK) << compress;
    ASSERT_EQ(result, static_cast<int32_t>(data.size())) << compress;
    EXPECT_TRUE(got == data) << compress;
  }
}

TEST_F(BufferedReadTest, InlineAnswerToTheQuery) {
  const auto data = RandomBytes(300);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkOptions options;
  options.inline_queries = true;
  sim->SetBulkOptions(options);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, 1000, &result, &code), data);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_READ_DATA), 0u);
}

TEST_F(BufferedReadTest, WrongHashReadsTheDataAgain) {
  const auto data = RandomBytes(20000);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkFaults faults;
  faults.misread_blocks = 1;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, data.size(), &result, &code), data);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  // 20000 bytes are three blocks of 8192; all of them are read twice.
  EXPECT_EQ(BlockCounts(*sim).size(), 6u);
}

TEST_F(BufferedReadTest, BufferSmallerThanTheDataSetReleasesIt) {
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, RandomBytes(5000));
  int32_t result = 0;
  uint16_t code = 0;
  Read(wire::CMD_ATTLOG_RRQ, 4999, &result, &code);
  EXPECT_EQ(result, -100);
  EXPECT_EQ(sim->CountReceived(wire::CMD_READ_DATA), 0u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
}

// A data size announced wrongly: plain data whose stored size differs, or
// compressed data that expands to more or less than announced.
class WrongSize : public BufferedReadTest,
                  public ::testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(WrongSize, IsAFailureNeverWrongData) {
  const auto [compress, delta] = GetParam();
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, RecordBytes(6000));
  termsim::BulkOptions options;
  options.compress = compress;
  sim->SetBulkOptions(options);
  termsim::BulkFaults faults;
  faults.size_delta = delta;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  Read(wire::CMD_ATTLOG_RRQ, 8000, &result, &code);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Deltas, WrongSize,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(-5, 5)));

TEST_F(BufferedReadTest, TerminalWithoutBufferedReadsStreams) {
  const auto data = RandomBytes(5000);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkOptions options;
  options.buffered_reads = false;
  sim->SetBulkOptions(options);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, data.size(), &result, &code), data);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(wire::CMD_QUERY_DATA), 1u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_ATTLOG_RRQ), 1u);
}

TEST_F(BufferedReadTest, DatabaseBySelector) {
  sim->SetDataSet(wire::CMD_DB_RRQ, {1}, RandomBytes(2000, 1));
  sim->SetDataSet(wire::CMD_DB_RRQ, {2}, RandomBytes(3000, 2));
  std::vector<uint8_t> buffer(4000);
  int32_t size = 4000;
  EXPECT_EQ(DEVWIRE_READDB(handle, 2, 8192, buffer.data(), &size), 3000);
  buffer.resize(3000);
  EXPECT_EQ(buffer, RandomBytes(3000, 2));
}

// Blocks of 8192 fail on this line; the read goes on with 1024-byte blocks,
// and the next read starts half-way between what it asks and what worked.
TEST_F(BufferedReadTest, BlockSizeShrinksOnFailureAndIsRemembered) {
  const auto data = RandomBytes(5000);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkFaults faults;
  faults.damage_blocks_above = 1024;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, data.size(), &result, &code, 8192), data);
  std::vector<uint32_t> counts = BlockCounts(*sim);
  // One block of 5000 tried 5 times with 6 attempts each, then 1024s.
  ASSERT_EQ(counts.size(), 30u + 5u);
  EXPECT_EQ(counts.front(), 5000u);
  EXPECT_EQ(counts[30], 1024u);
  EXPECT_EQ(counts.back(), 5000u - 4 * 1024u);

  sim->ClearReceived();
  sim->SetBulkFaults({});
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, data.size(), &result, &code, 8192), data);
  counts = BlockCounts(*sim);
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts[0], (8192u + 1024u) / 2);
}

// A memory read answered inline with a byte short is not taken.
TEST_F(BufferedReadTest, ShortInlineBlockIsReadAgain) {
  const auto data = RandomBytes(1000);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkFaults faults;
  faults.short_inline_reads = 1;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(wire::CMD_ATTLOG_RRQ, data.size(), &result, &code), data);
  EXPECT_EQ(BlockCounts(*sim).size(), 2u);
}

TEST_F(BufferedReadTest, CancelledReadStillReleasesTheData) {
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, RandomBytes(400000));
  std::atomic<bool> done{false};
  std::thread canceller([&] {
    // Blocks of 1024 take a good 50 ms each: the read is well under way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DEVWIRE_SetOperate(handle, 1);
    done = true;
  });
  int32_t result = 0;
  uint16_t code = 0;
  Read(wire::CMD_ATTLOG_RRQ, 400000, &result, &code, 1024);
  canceller.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(result, 0);
  EXPECT_GT(BlockCounts(*sim).size(), 0u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
  DEVWIRE_SetOperate(handle, 0);
}

}  // namespace
}  // namespace bulktest
