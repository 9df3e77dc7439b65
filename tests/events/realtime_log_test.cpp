// The simulator's real-time log as a terminal keeps it: record sizes by the
// kind of terminal, batches, and polls told apart by their sequence number.
#include "events/realtime_log.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {
namespace {

struct SizeCase {
  const char* firmware;
  const char* platform;
  size_t size;
};

class RecordSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RecordSizeTest, ByFirmwareAndPlatform) {
  EXPECT_EQ(RealtimeRecordSize(GetParam().firmware, GetParam().platform), GetParam().size)
      << GetParam().firmware << " / " << GetParam().platform;
}

INSTANTIATE_TEST_SUITE_P(Terminals, RecordSizeTest,
                         ::testing::Values(SizeCase{"Ver 6.60 Oct 26 2009", "ZEM560_TFT", 38},
                                           SizeCase{"Ver 6.60 Oct 26 2009", "ZEM510", 18},
                                           SizeCase{"Ver 6.18 Aug 8 2007", "", 18},
                                           SizeCase{"Ver 6.18 Aug 7 2007", "", 16},
                                           SizeCase{"Ver 6.10 Jan 12 2006", "", 16},
                                           SizeCase{"Ver 7.0 Mar 1 2011", "", 18},
                                           SizeCase{"garbage", "", 16}));

std::array<uint8_t, 4> Sequence(uint32_t n) {
  std::array<uint8_t, 4> out{};
  wire::ByteWriter(out).U32(n);
  return out;
}

// The byte count an answer announces, and the records it carries.
struct Answer {
  uint32_t count = 0;
  std::vector<uint8_t> records;
};

Answer Poll(RealtimeLog& log, uint32_t sequence, uint32_t excess = 0) {
  Reply reply;
  log.AnswerPoll(Sequence(sequence), excess, reply);
  EXPECT_EQ(reply.code, wire::CMD_ACK_OK);
  wire::ByteReader r(reply.payload);
  Answer answer;
  answer.count = r.U32();
  answer.records.assign(r.rest().begin(), r.rest().end());
  return answer;
}

TEST(RealtimeLogTest, RecordsAreCodeAndPayloadCutOrPadded) {
  RealtimeLog log(16);
  log.Add(0x1234, std::vector<uint8_t>(20, 0xEE));
  log.Add(7, std::vector<uint8_t>{1, 2});
  const Answer a = Poll(log, 0);
  ASSERT_EQ(a.count, 32u);
  EXPECT_EQ(a.records[0], 0x34);
  EXPECT_EQ(a.records[1], 0x12);
  EXPECT_EQ(a.records[15], 0xEE);
  EXPECT_EQ(std::vector<uint8_t>(a.records.begin() + 16, a.records.end()),
            (std::vector<uint8_t>{7, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RealtimeLogTest, SameSequenceGetsTheSameBatchNewSequenceTheNext) {
  RealtimeLog log(38);
  for (uint16_t i = 0; i < 30; ++i) log.Add(i, {});
  const Answer first = Poll(log, 0);
  EXPECT_EQ(first.count, 26u * 38) << "as many as fit one packet";
  const Answer again = Poll(log, 0);
  EXPECT_EQ(again.records, first.records) << "the host missed the answer";
  const Answer next = Poll(log, 1);
  EXPECT_EQ(next.count, 4u * 38);
  EXPECT_EQ(next.records[0], 26);
  const Answer empty = Poll(log, 2);
  EXPECT_EQ(empty.count, 0u);
  // Nothing came: the host asks again with the same number and gets what
  // has happened since.
  log.Add(99, {});
  EXPECT_EQ(Poll(log, 2).count, 38u);
  EXPECT_EQ(log.counts().polls, 5u);
  EXPECT_EQ(log.counts().repeated, 1u);
  EXPECT_EQ(log.counts().last_sequence, 2u);
}

TEST(RealtimeLogTest, OverstatedCountAndMissingSequence) {
  RealtimeLog log(18);
  log.Add(1, {});
  const Answer a = Poll(log, 0, 5000);
  EXPECT_EQ(a.count, 18u + 5000);
  EXPECT_EQ(a.records.size(), 18u);
  Reply bad;
  log.AnswerPoll(std::vector<uint8_t>{1, 2}, 0, bad);
  EXPECT_EQ(bad.code, wire::CMD_ACK_ERROR);
}

}  // namespace
}  // namespace termsim
