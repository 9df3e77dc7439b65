// Streamed reads against the simulator: numbered chunks, completed over
// attempts when chunks go missing or arrive damaged.
#include <vector>

#include "bulk_e2e_fixture.h"
#include "wire/codes.h"

namespace bulktest {
namespace {

constexpr uint16_t kCommand = 0x4D2;  // any command the terminal streams data for
constexpr int32_t kTimeoutMs = 600;   // a silent gap ends an attempt after 200 ms

class StreamedReadTest : public BulkE2ETest {
 protected:
  // A streamed read of kCommand with `request` into a buffer of `size`.
  std::vector<uint8_t> Read(size_t size, int32_t* result, uint16_t* code, bool verify = true,
                            std::vector<uint8_t> request = {}) {
    std::vector<uint8_t> buffer(size);
    std::copy(request.begin(), request.end(), buffer.begin());
    *code = kCommand;
    *result = DEVWIRE_READDATA1(handle, code, buffer.data(), static_cast<int32_t>(size),
                                static_cast<int32_t>(request.size()), verify ? 1 : 0, kTimeoutMs);
    if (*result > 0) buffer.resize(static_cast<size_t>(*result));
    return buffer;
  }
};

class StreamedSizes : public StreamedReadTest,
                      public ::testing::WithParamInterface<std::tuple<size_t, bool>> {};

TEST_P(StreamedSizes, ReturnsExactlyTheBytesHeld) {
  const auto [size, verify] = GetParam();
  const auto data = RandomBytes(size);
  sim->SetDataSet(kCommand, {}, data);
  int32_t result = 0;
  uint16_t code = 0;
  const auto got = Read(size + 100, &result, &code, verify);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(result, static_cast<int32_t>(size));
  if (size > 0) {
    EXPECT_EQ(got, data);
  }
  EXPECT_EQ(sim->CountReceived(kCommand), 1u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StreamedSizes,
                         ::testing::Combine(::testing::Values(0, 1, 1024, 1025, 20000),
                                            ::testing::Bool()));

TEST_F(StreamedReadTest, RequestSelectsTheDataSet) {
  sim->SetDataSet(kCommand, {}, RandomBytes(100, 1));
  sim->SetDataSet(kCommand, {1}, RandomBytes(200, 2));
  sim->SetDataSet(kCommand, {1, 2}, RandomBytes(300, 3));
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(1000, &result, &code, true, {1, 2, 9}), RandomBytes(300, 3));
  EXPECT_EQ(Read(1000, &result, &code, true, {1, 5}), RandomBytes(200, 2));
  EXPECT_EQ(Read(1000, &result, &code, true, {7}), RandomBytes(100, 1));
  // The request travels with every attempt unchanged.
  const auto sent = sim->Received();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().payload, (std::vector<uint8_t>{7}));
}

TEST_F(StreamedReadTest, MissingAndDamagedChunksAreCompletedByLaterAttempts) {
  const auto data = RandomBytes(10 * 1024 + 300);  // 11 chunks
  sim->SetDataSet(kCommand, {}, data);
  termsim::BulkFaults faults;
  faults.transfers.resize(2);
  faults.transfers[0].lose = {2, 5};
  faults.transfers[0].corrupt = {7};
  faults.transfers[0].repeat = {3};
  // The second attempt brings what the first lacked but loses what the
  // first had; chunks also come in reverse order.
  faults.transfers[1].lose = {0, 1, 10};
  faults.transfers[1].reversed = true;
  sim->SetBulkFaults(faults);

  int32_t result = 0;
  uint16_t code = 0;
  const auto got = Read(data.size(), &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(result, static_cast<int32_t>(data.size()));
  EXPECT_EQ(got, data);
  EXPECT_EQ(sim->CountReceived(kCommand), 2u);
}

TEST_F(StreamedReadTest, TerminalFallingSilentIsAskedAgain) {
  const auto data = RandomBytes(8 * 1024);
  sim->SetDataSet(kCommand, {}, data);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].silent_after = 3;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(data.size(), &result, &code), data);
  EXPECT_EQ(sim->CountReceived(kCommand), 2u);
}

// The data set changes between attempts: the chunks of the old one must not
// fill the gaps of the new one.
TEST_F(StreamedReadTest, ChangedTotalStartsTheChunkMapAfresh) {
  const auto old_data = RandomBytes(3000, 1);
  const auto new_data = RandomBytes(2900, 2);
  sim->SetDataSet(kCommand, {}, new_data);
  termsim::BulkFaults faults;
  faults.transfers.resize(3);
  faults.transfers[0].data = old_data;
  faults.transfers[0].lose = {2};
  faults.transfers[1].lose = {1};     // with the old chunk 1 this would look complete
  faults.transfers[2].lose = {0, 2};  // the new chunks 0 and 2 came in the second attempt
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  const auto got = Read(4000, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(got, new_data);
  EXPECT_EQ(sim->CountReceived(kCommand), 3u);
}

TEST_F(StreamedReadTest, TotalBeyondTheBufferFailsAndLeavesTheLineClean) {
  sim->SetDataSet(kCommand, {}, RandomBytes(5000, 1));
  sim->SetDataSet(kCommand, {2}, RandomBytes(700, 2));
  int32_t result = 0;
  uint16_t code = 0;
  std::vector<uint8_t> buffer(4000, 0xEE);
  code = kCommand;
  result = DEVWIRE_READDATA1(handle, &code, buffer.data(), 4000, 0, 1, kTimeoutMs);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(DEVWIRE_LASTERROR(handle), DEVWIRE_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(buffer, std::vector<uint8_t>(4000, 0xEE));
  // The next command meets no leftover chunk.
  EXPECT_EQ(Read(1000, &result, &code, true, {2}), RandomBytes(700, 2));
  EXPECT_EQ(code, wire::CMD_ACK_OK);
}

TEST_F(StreamedReadTest, TerminalAnnouncingMoreThanItSendsNeverSucceeds) {
  sim->SetDataSet(kCommand, {}, RandomBytes(3000));
  termsim::BulkFaults faults;
  faults.transfers.assign(6, termsim::TransferFaults{});
  for (auto& t : faults.transfers) t.announce_extra = 1024;
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  Read(8000, &result, &code);
  EXPECT_LT(result, 0);
  EXPECT_NE(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(kCommand), 6u);
}

TEST_F(StreamedReadTest, WithoutVerificationAGapIsAFailure) {
  sim->SetDataSet(kCommand, {}, RandomBytes(3000));
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].lose = {1};
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  Read(3000, &result, &code, false);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_LT(result, 0);
  EXPECT_EQ(sim->CountReceived(kCommand), 1u);
}

TEST_F(StreamedReadTest, CancelledReadSendsNothing) {
  sim->SetDataSet(kCommand, {}, RandomBytes(3000));
  DEVWIRE_SetOperate(handle, 1);
  int32_t result = 0;
  uint16_t code = 0;
  Read(3000, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim->CountReceived(kCommand), 0u);
  DEVWIRE_SetOperate(handle, 0);
}

}  // namespace
}  // namespace bulktest
