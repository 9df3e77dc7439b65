// Piecewise large reads against the simulator: a record count, ranges of up
// to 200 records as checksummed large blocks, and command 2019 at the end.
#include <numeric>
#include <vector>

#include "bulk_e2e_fixture.h"
#include "wire/codes.h"

namespace bulktest {
namespace {

constexpr uint16_t kCommand = 0x7A;  // a command the terminal reads piecewise
constexpr uint16_t kLargeBlock = 2018;
constexpr uint16_t kRelease = 2019;
constexpr int32_t kTimeoutMs = 500;

// Records of varying length (templates, say).
std::vector<std::vector<uint8_t>> MakeRecords(size_t n) {
  std::vector<std::vector<uint8_t>> records;
  for (size_t i = 0; i < n; ++i) records.push_back(RandomBytes(20 + (i * 37) % 500, i + 1));
  return records;
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> all;
  for (const auto& r : records) all.insert(all.end(), r.begin(), r.end());
  return all;
}

class PiecewiseReadTest : public BulkE2ETest {
 protected:
  std::vector<uint8_t> Read(size_t size, int32_t* result, uint16_t* code) {
    std::vector<uint8_t> buffer(size);
    *code = kCommand;
    *result = READDATA_PICE_BY_PICE(handle, code, buffer.data(), 0, 0, static_cast<int32_t>(size),
                                    0, kTimeoutMs, 0);
    if (*result >= 0) buffer.resize(static_cast<size_t>(*result));
    return buffer;
  }
};

TEST_F(PiecewiseReadTest, ReadsAllRecordsInRangesOf200) {
  const auto records = MakeRecords(450);
  sim->SetRecordSet(kCommand, records);
  int32_t result = 0;
  uint16_t code = 0;
  const auto got = Read(1 << 20, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(got, Joined(records));
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 3u);
  EXPECT_EQ(sim->CountReceived(kRelease), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
}

TEST_F(PiecewiseReadTest, NothingToReadIsSuccessWithNoBytes) {
  sim->SetRecordSet(kCommand, {});
  int32_t result = -7;
  uint16_t code = 0;
  Read(1000, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(result, 0);
  // A terminal that answers the command with something other than OK has
  // nothing to give either.
  sim->ClearDataSets();
  Read(1000, &result, &code);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 0u);
}

TEST_F(PiecewiseReadTest, SilentTerminalIsAFailure) {
  sim->SetRecordSet(kCommand, MakeRecords(10));
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  int32_t result = 0;
  uint16_t code = 0;
  Read(10000, &result, &code);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(code, wire::CMD_ACK_NO);
}

TEST_F(PiecewiseReadTest, DamagedBlockIsFetchedAgain) {
  const auto records = MakeRecords(250);
  sim->SetRecordSet(kCommand, records);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].corrupt = {1};
  sim->SetBulkFaults(faults);
  int32_t result = 0;
  uint16_t code = 0;
  EXPECT_EQ(Read(1 << 20, &result, &code), Joined(records));
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 3u);
}

TEST_F(PiecewiseReadTest, BufferFullBeforeTheCountIsAFailure) {
  const auto records = MakeRecords(250);
  sim->SetRecordSet(kCommand, records);
  int32_t result = 0;
  uint16_t code = 0;
  const size_t room = Joined(records).size() - 1;
  std::vector<uint8_t> buffer(room + 64, 0xEE);
  code = kCommand;
  result = READDATA_PICE_BY_PICE(handle, &code, buffer.data(), 0, 0, static_cast<int32_t>(room), 0,
                                 kTimeoutMs, 0);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + static_cast<ptrdiff_t>(room), buffer.end()),
            std::vector<uint8_t>(64, 0xEE));
  EXPECT_EQ(sim->CountReceived(kRelease), 1u);
}

TEST_F(PiecewiseReadTest, LargeBlockWhoseTerminalFallsSilent) {
  sim->SetRecordSet(kCommand, MakeRecords(100));
  int32_t result = 0;
  uint16_t code = kCommand;
  std::vector<uint8_t> count(1032);
  DEVWIRE_SENDCMD(handle, &code, count.data(), 1032, 0, kTimeoutMs);
  ASSERT_EQ(code, wire::CMD_ACK_OK);
  termsim::BulkFaults faults;
  faults.transfers.resize(1);
  faults.transfers[0].silent_after = 2;
  sim->SetBulkFaults(faults);
  std::vector<uint8_t> block(DEVWIRE_LARGE_BLOCK_SIZE);
  EXPECT_EQ(ReadBlock_LargeTmp(handle, block.data(), 0, 100, 400), -1);
  // A clean block right after: the line was left quiet.
  result = ReadBlock_LargeTmp(handle, block.data(), 10, 5, kTimeoutMs);
  const auto records = MakeRecords(100);
  std::vector<std::vector<uint8_t>> five(records.begin() + 10, records.begin() + 15);
  ASSERT_EQ(result, static_cast<int32_t>(Joined(five).size()));
  block.resize(static_cast<size_t>(result));
  EXPECT_EQ(block, Joined(five));
}

TEST_F(PiecewiseReadTest, ReleasingCommandsGoOutWhileCancelled) {
  DEVWIRE_SetOperate(handle, 1);
  uint16_t code = kRelease;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, kTimeoutMs);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  code = wire::CMD_FREE_DATA;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, kTimeoutMs);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  code = kLargeBlock;
  DEVWIRE_SENDCMD(handle, &code, nullptr, 0, 0, kTimeoutMs);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim->CountReceived(kRelease), 1u);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 0u);
  DEVWIRE_SetOperate(handle, 0);
}

}  // namespace
}  // namespace bulktest
