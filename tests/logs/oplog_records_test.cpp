// Operation record decoding on hand-made bytes.
#include "logs/oplog_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace devapi {
namespace {

std::vector<uint8_t> Numbered(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i + 1);
  return b;
}

TEST(OpRecords, EachLayoutAtItsOffsets) {
  const auto b = Numbered(60);
  OpDecoded d = DecodeOpRecord(OpLayout::kCompact, b);
  ASSERT_EQ(d.step, OpStep::kRecord);
  EXPECT_EQ(d.size, 16u);
  EXPECT_EQ(d.record.admin, 0x0201u);
  EXPECT_EQ(d.record.operation, 3);
  EXPECT_EQ(d.record.time, 0x08070605u);
  EXPECT_EQ(d.record.params, (std::array<uint32_t, 4>{0x0A09, 0x0C0B, 0x0E0D, 0x100F}));

  d = DecodeOpRecord(OpLayout::kExtended, b);
  ASSERT_EQ(d.step, OpStep::kRecord);
  EXPECT_EQ(d.size, 20u);
  EXPECT_EQ(d.record.admin, 0x04030201u);
  EXPECT_EQ(d.record.operation, 5);
  EXPECT_EQ(d.record.time, 0x0A090807u);
  EXPECT_EQ(d.record.params, (std::array<uint32_t, 4>{0x0E0D0C0B, 0x100F, 0x1211, 0x1413}));

  d = DecodeOpRecord(OpLayout::kTextId, b);
  ASSERT_EQ(d.step, OpStep::kRecord);
  EXPECT_EQ(d.size, 60u);
  EXPECT_EQ(d.record.admin_id.data(), b.data());
  EXPECT_EQ(d.record.operation, 25);
  EXPECT_EQ(d.record.time, 0x1D1C1B1Au);
  EXPECT_EQ(d.record.params, (std::array<uint32_t, 4>{0x1F1E, 0x2120, 0x2322, 0}));
  EXPECT_EQ(d.record.second_id.data(), b.data() + 35);
  EXPECT_EQ(d.record.second_id.size(), 24u);

  d = DecodeOpRecord(OpLayout::kTimeRange, b);
  ASSERT_EQ(d.step, OpStep::kRecord);
  EXPECT_EQ(d.size, 40u);
  EXPECT_EQ(d.record.text.data(), b.data() + 16);
  EXPECT_EQ(d.record.text.size(), 24u);
}

TEST(OpRecords, EndMarksOnlyWhereTheLayoutHasOne) {
  std::vector<uint8_t> b(60, 0);
  b[0] = b[1] = 0xFF;
  EXPECT_EQ(DecodeOpRecord(OpLayout::kCompact, b).step, OpStep::kEnd);
  EXPECT_EQ(DecodeOpRecord(OpLayout::kTimeRange, b).step, OpStep::kEnd);
  EXPECT_EQ(DecodeOpRecord(OpLayout::kExtended, b).step, OpStep::kRecord);
  EXPECT_EQ(DecodeOpRecord(OpLayout::kTextId, b).step, OpStep::kRecord);
  // A cut record that begins with the end mark is still the end.
  EXPECT_EQ(DecodeOpRecord(OpLayout::kCompact, std::span(b).first(2)).step, OpStep::kEnd);
}

TEST(OpRecords, OneByteShortIsCut) {
  for (const OpLayout layout :
       {OpLayout::kCompact, OpLayout::kExtended, OpLayout::kTextId, OpLayout::kTimeRange}) {
    const std::vector<uint8_t> b(OpRecordSize(layout) - 1, 0x11);
    EXPECT_EQ(DecodeOpRecord(layout, b).step, OpStep::kCut);
  }
  EXPECT_EQ(DecodeOpRecord(OpLayout::kCompact, {}).step, OpStep::kCut);
}

}  // namespace
}  // namespace devapi
