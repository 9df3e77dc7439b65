// Attendance record decoding on hand-made bytes.
#include "logs/attlog_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace devapi {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(CompressedRecord, LongFormSetsTheBaseAndShortFormsAddToIt) {
  // User 0x0102, state 5, verify 2, long form, time 0x11223344.
  const auto long_form = Bytes({0x02, 0x01, (5 << 5) | (2 << 3), 0, 0x44, 0x33, 0x22, 0x11});
  uint32_t base = 7;
  AttDecoded d = DecodeCompressed(long_form, base);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 8u);
  EXPECT_EQ(d.record.user, 0x0102u);
  EXPECT_EQ(d.record.att_state, 5);
  EXPECT_EQ(d.record.verify_mode, 2);
  EXPECT_EQ(d.record.time, 0x11223344u);
  EXPECT_EQ(base, 0x11223344u);

  // Short form: offset (3 << 8) | 0xFF = 1023, state 7, verify 3.
  const auto short_form = Bytes({0x09, 0x00, (7 << 5) | (3 << 3) | 0x04 | 0x03, 0xFF});
  d = DecodeCompressed(short_form, base);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 4u);
  EXPECT_EQ(d.record.user, 9u);
  EXPECT_EQ(d.record.att_state, 7);
  EXPECT_EQ(d.record.verify_mode, 3);
  EXPECT_EQ(d.record.time, 0x11223344u + 1023);
  EXPECT_EQ(base, 0x11223344u);  // short forms leave the base alone
}

TEST(CompressedRecord, EndMarkAndCutRecords) {
  uint32_t base = 100;
  EXPECT_EQ(DecodeCompressed(Bytes({0xFF, 0xFF, 0x00, 0x00}), base).step, AttStep::kEnd);
  EXPECT_EQ(DecodeCompressed(Bytes({0xFF, 0xFF}), base).step, AttStep::kEnd);
  for (const auto& cut : {Bytes({}), Bytes({1}), Bytes({1, 0}), Bytes({1, 0, 0x04}),
                          Bytes({1, 0, 0x00, 0, 1, 2, 3})}) {
    EXPECT_EQ(DecodeCompressed(cut, base).step, AttStep::kCut) << cut.size();
  }
  EXPECT_EQ(base, 100u);
}

TEST(FixedRecords, EachLayoutAtItsOffsets) {
  std::vector<uint8_t> b(61);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i + 1);

  AttDecoded d = DecodeFixed(AttLayout::kExtended, b);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 16u);
  EXPECT_EQ(d.record.user, 0x04030201u);
  EXPECT_EQ(d.record.time, 0x08070605u);
  EXPECT_EQ(d.record.att_state, 9);
  EXPECT_EQ(d.record.verify_mode, 10);
  EXPECT_EQ(d.record.reserved, 0x0C0B);
  EXPECT_EQ(d.record.work_code, 0x100F0E0Du);

  d = DecodeFixed(AttLayout::kTextId, b);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 40u);
  EXPECT_EQ(d.record.id_text.data(), b.data() + 2);
  EXPECT_EQ(d.record.id_text.size(), 24u);
  EXPECT_EQ(d.record.verify_mode, 27);
  EXPECT_EQ(d.record.time, 0x1F1E1D1Cu);
  EXPECT_EQ(d.record.att_state, 32);
  EXPECT_EQ(d.record.work_code, 0x24232221u);

  d = DecodeFixed(AttLayout::kTextIdShort, b);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 22u);
  EXPECT_EQ(d.record.id_text.size(), 10u);
  EXPECT_EQ(d.record.verify_mode, 13);
  EXPECT_EQ(d.record.time, 0x11100F0Eu);
  EXPECT_EQ(d.record.att_state, 18);
  EXPECT_EQ(d.record.work_code, 0x16151413u);

  d = DecodeFixed(AttLayout::kTextIdWorkCode, b);
  ASSERT_EQ(d.step, AttStep::kRecord);
  EXPECT_EQ(d.size, 61u);
  EXPECT_EQ(d.record.work_code_text.data(), b.data() + 32);
  EXPECT_EQ(d.record.work_code_text.size(), 24u);
  EXPECT_EQ(d.record.work_code, 0u);
}

TEST(FixedRecords, OneByteShortIsCut) {
  for (const AttLayout layout : {AttLayout::kExtended, AttLayout::kTextId, AttLayout::kTextIdShort,
                                 AttLayout::kTextIdWorkCode}) {
    const std::vector<uint8_t> b(AttRecordSize(layout) - 1, 0x11);
    EXPECT_EQ(DecodeFixed(layout, b).step, AttStep::kCut);
  }
}

}  // namespace
}  // namespace devapi
