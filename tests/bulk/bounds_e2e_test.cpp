// Every wait of the engine has a bound a caller can work out: against a
// terminal that chatters, stalls, or announces data it never sends, a call
// ends within it instead of hanging. The bounds are asserted generously:
// what is shown is the absence of a hang, not speed.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bulk_e2e_fixture.h"
#include "wire/codes.h"

namespace bulktest {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// What scheduling and loopback may add to a bound.
constexpr int64_t kSlackMs = 1500;

constexpr uint16_t kPiecewiseCommand = 0x7A;
constexpr uint16_t kLargeBlock = 2018;
constexpr uint16_t kRelease = 2019;

// The engine's overall deadline of a read once `bytes` are announced.
constexpr int64_t DeadlineMs(int64_t timeout_ms, int64_t bytes) {
  return DEVWIRE_BULK_DEADLINE_BASE_MS + DEVWIRE_BULK_DEADLINE_TIMEOUTS * timeout_ms +
         bytes * 1000 / DEVWIRE_BULK_FLOOR_BYTES_PER_S;
}

class BoundsTest : public BulkE2ETest {
 protected:
  int32_t ReadLog(std::vector<uint8_t>& buffer, uint16_t* code, int32_t timeout_ms) {
    *code = wire::CMD_ATTLOG_RRQ;
    return DEVWIRE_READDATA(handle, code, buffer.data(), static_cast<int32_t>(buffer.size()), 0,
                            8192, timeout_ms);
  }
  int32_t ReadPiecewise(size_t size, uint16_t* code) {
    std::vector<uint8_t> buffer(size);
    *code = kPiecewiseCommand;
    return READDATA_PICE_BY_PICE(handle, code, buffer.data(), 0, 0, static_cast<int32_t>(size), 0,
                                 500, 0);
  }
};

TEST_F(BoundsTest, EventsDoNotStretchASynchronousWait) {
  // Silent but for an event every 170 ms, well within each 200 ms wait.
  termsim::Faults chatter;
  chatter.silent = true;
  chatter.event_every_ms = 170;
  sim->SetFaults(chatter);
  constexpr int32_t kTimeoutMs = 200;
  std::vector<uint8_t> reply(4);
  uint16_t code = 201;
  const auto start = Clock::now();
  DEVWIRE_SENDCMD(handle, &code, reply.data(), 4, 0, kTimeoutMs);
  const int64_t took = MsSince(start);
  EXPECT_EQ(code, wire::CMD_ACK_NO);
  // 2 tries of 4 attempts, each a 50 ms pause and its time-out, 100 ms
  // between the tries: as if no event had come.
  EXPECT_LT(took, 2 * 4 * (50 + kTimeoutMs) + 100 + kSlackMs);
  EXPECT_GT(sim->CountReceived(wire::CMD_ACK_OK), 0u) << "the events were acknowledged";
}

TEST_F(BoundsTest, DataAnnouncedAndNeverSentEndsAtTheDeadline) {
  const auto data = RandomBytes(512);
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, data);
  termsim::BulkFaults stall;
  stall.prepare_without_data = true;
  sim->SetBulkFaults(stall);
  constexpr int32_t kTimeoutMs = 100;
  std::vector<uint8_t> buffer(4096);
  uint16_t code = 0;
  const auto start = Clock::now();
  EXPECT_EQ(ReadLog(buffer, &code, kTimeoutMs), -2);
  const int64_t took = MsSince(start);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_LT(took, DeadlineMs(kTimeoutMs, 512) + kSlackMs);
  // The terminal was told to drop its data, and the line is clean: the
  // same read goes through once the terminal sends again.
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
  sim->SetBulkFaults({});
  EXPECT_EQ(ReadLog(buffer, &code, kTimeoutMs), 512);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  buffer.resize(512);
  EXPECT_EQ(buffer, data);
}

TEST_F(BoundsTest, LargeBlockAnnouncedAndNeverSentEndsWithinItsTimeOut) {
  sim->SetRecordSet(kPiecewiseCommand, {RandomBytes(300), RandomBytes(300)});
  uint16_t code = kPiecewiseCommand;
  std::vector<uint8_t> reply(1032);
  DEVWIRE_SENDCMD(handle, &code, reply.data(), 1032, 0, 500);  // the records are counted
  ASSERT_EQ(code, wire::CMD_ACK_OK);
  termsim::BulkFaults stall;
  stall.prepare_without_data = true;
  sim->SetBulkFaults(stall);
  constexpr int32_t kTimeoutMs = 300;
  std::vector<uint8_t> block(DEVWIRE_LARGE_BLOCK_SIZE);
  const auto start = Clock::now();
  EXPECT_EQ(ReadBlock_LargeTmp(handle, block.data(), 0, 2, kTimeoutMs), -1);
  // The block's wait, then a drain of 500 ms of silence.
  EXPECT_LT(MsSince(start), kTimeoutMs + 500 + kSlackMs);
}

TEST_F(BoundsTest, PiecewiseCountBeyondTheBufferIsRefusedBeforeAnyRange) {
  sim->SetRecordSet(kPiecewiseCommand, {RandomBytes(40), RandomBytes(40)});
  termsim::BulkFaults huge;
  huge.piecewise_count = 0xFFFFFFFF;
  sim->SetBulkFaults(huge);
  uint16_t code = 0;
  EXPECT_EQ(ReadPiecewise(1 << 16, &code), -1);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 0u);
  EXPECT_EQ(sim->CountReceived(kRelease), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
}

TEST_F(BoundsTest, PiecewiseEmptyBlockForARangeFailsTheRead) {
  sim->SetRecordSet(kPiecewiseCommand, {RandomBytes(40), RandomBytes(40), RandomBytes(40)});
  termsim::BulkFaults empty;
  empty.empty_blocks = true;
  sim->SetBulkFaults(empty);
  uint16_t code = 0;
  EXPECT_EQ(ReadPiecewise(1 << 16, &code), -1);
  EXPECT_EQ(code, wire::CMD_ACK_ERROR_DATA);
  EXPECT_EQ(sim->CountReceived(kLargeBlock), 1u) << "no second range after an empty one";
  EXPECT_EQ(sim->CountReceived(kRelease), 1u);
}

TEST_F(BoundsTest, UnansweredQueryEndsWithinTheFirstAnswerLimit) {
  // The limit shortened for the test, as the engine allows; the read's own
  // time-out (10 minutes) would otherwise be waited four times.
  constexpr int kLimitMs = 300;
  ASSERT_EQ(::setenv("TERMKIT_FIRST_ANSWER_LIMIT_MS", std::to_string(kLimitMs).c_str(), 1), 0);
  termsim::Faults mute;
  mute.unanswered_command = wire::CMD_QUERY_DATA;
  sim->SetFaults(mute);
  std::vector<uint8_t> buffer(4096);
  uint16_t code = 0;
  const auto start = Clock::now();
  EXPECT_EQ(ReadLog(buffer, &code, 600000), -1);
  const int64_t took = MsSince(start);
  ::unsetenv("TERMKIT_FIRST_ANSWER_LIMIT_MS");
  EXPECT_EQ(code, wire::CMD_ACK_NO);
  // All attempts within the query deadline: two first-answer waits.
  constexpr int64_t kQueryDeadline =
      kLimitMs * (DEVWIRE_QUERY_DEADLINE_MS / DEVWIRE_FIRST_ANSWER_LIMIT_MS);
  EXPECT_LT(took, kQueryDeadline + kSlackMs);
  EXPECT_LE(sim->CountReceived(wire::CMD_QUERY_DATA), 2u);
}

TEST_F(BoundsTest, CancelEndsAStalledReadAtOnceAndStillReleasesTheData) {
  sim->SetDataSet(wire::CMD_ATTLOG_RRQ, {}, RandomBytes(512));
  termsim::BulkFaults stall;
  stall.prepare_without_data = true;
  sim->SetBulkFaults(stall);
  std::atomic<int64_t> cancelled_at{0};
  const auto start = Clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancelled_at = MsSince(start);
    DEVWIRE_SetOperate(handle, 1);
  });
  std::vector<uint8_t> buffer(4096);
  uint16_t code = 0;
  ReadLog(buffer, &code, 20000);  // a deadline of over a minute
  const int64_t ended = MsSince(start);
  canceller.join();
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  // Cut within the cancel bound; the release goes out after that.
  EXPECT_LT(ended - cancelled_at, DEVWIRE_CANCEL_WITHIN_MS + kSlackMs);
  EXPECT_EQ(sim->CountReceived(wire::CMD_FREE_DATA), 1u);
  EXPECT_EQ(sim->PreparedCount(), 0u);
  DEVWIRE_SetOperate(handle, 0);
}

TEST_F(BoundsTest, CancelEndsTheWaitForAReply) {
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  std::atomic<int64_t> cancelled_at{0};
  const auto start = Clock::now();
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancelled_at = MsSince(start);
    DEVWIRE_SetOperate(handle, 1);
  });
  std::vector<uint8_t> reply(4);
  uint16_t code = 201;
  DEVWIRE_SENDCMD(handle, &code, reply.data(), 4, 0, 10000);  // 80 s of attempts
  const int64_t ended = MsSince(start);
  canceller.join();
  EXPECT_EQ(code, wire::CMD_ACK_ERROR);
  EXPECT_LT(ended - cancelled_at, DEVWIRE_CANCEL_WITHIN_MS + kSlackMs);
  DEVWIRE_SetOperate(handle, 0);
}

}  // namespace
}  // namespace bulktest
