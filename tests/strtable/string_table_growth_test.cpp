// Growth of the string table's arrays and pool, and what happens when it
// cannot grow.
#include <gtest/gtest.h>

#include <string>

#include "strtable/string_table.h"

namespace strtable {
namespace {

std::string Key(int i) { return "key" + std::to_string(i); }

TEST(StringTableGrowth, Entry257GrowsTheArrays) {
  auto table = StringTable::Create();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(table->Add(Key(i) + "=" + std::to_string(i)), i + 1);
  EXPECT_EQ(table->SlotCapacity(), 256);
  EXPECT_EQ(table->Add("key256=256"), 257);
  EXPECT_EQ(table->SlotCapacity(), 512);
  for (int i = 0; i < 257; ++i) {
    ASSERT_EQ(table->FindKey(Key(i)), i);
    ASSERT_EQ(std::string(table->ValueOf(Key(i))), std::to_string(i));
  }
}

TEST(StringTableGrowth, TextCrossingThePoolEndGrowsThePool) {
  auto table = StringTable::Create();
  table->Add("a=" + std::string(16370, 'x'));  // 16373 bytes
  EXPECT_EQ(table->PoolCapacity(), 16384);
  const char* before = table->ValueOf("a");
  ASSERT_NE(before, nullptr);
  table->Add("b=0123456789abcdef");  // crosses byte 16384
  EXPECT_EQ(table->PoolCapacity(), 32768);
  // Values are taken afresh after an addition; the old pointer may be stale.
  EXPECT_EQ(std::string(table->ValueOf("a")), std::string(16370, 'x'));
  EXPECT_STREQ(table->ValueOf("b"), "0123456789abcdef");
  EXPECT_EQ(table->PoolUsed(), 16373 + 19);
}

TEST(StringTableGrowth, LargeTextGrowsInWholeSteps) {
  auto table = StringTable::Create();
  table->Add("big=" + std::string(40000, 'y'));
  EXPECT_EQ(table->PoolCapacity(), 3 * 16384);
  EXPECT_EQ(table->PoolUsed(), 40005);
}

TEST(StringTableGrowth, AddOfOwnEntryAcrossPoolGrowth) {
  auto table = StringTable::Create();
  const std::string text = "k=" + std::string(10000, 'z');
  table->Add(text);
  // The source lives in the pool that this addition moves.
  EXPECT_EQ(table->Add(table->EntryAt(0)), 2);
  EXPECT_EQ(table->PoolCapacity(), 32768);
  EXPECT_EQ(std::string(table->EntryAt(1)), text);
}

TEST(StringTableGrowth, SetFromOwnValueAcrossPoolGrowth) {
  auto table = StringTable::Create();
  const std::string value(10000, 'q');
  table->Add("src=" + value);
  EXPECT_EQ(table->Set("src", table->ValueOf("src")), 1);  // equal: unchanged
  EXPECT_EQ(table->Set("dst", table->ValueOf("src")), 2);
  EXPECT_EQ(std::string(table->ValueOf("dst")), value);
  EXPECT_EQ(std::string(table->ValueOf("src")), value);
}

TEST(StringTableLimits, FullArraysRefuseAndLeaveTheTableAlone) {
  auto table = StringTable::Create(nullptr, {.max_slots = 256, .max_pool_bytes = 16384});
  ASSERT_NE(table, nullptr);
  for (int i = 0; i < 256; ++i) table->Add(Key(i) + "=v");
  const int32_t used = table->PoolUsed();
  EXPECT_EQ(table->Add("one=more"), -1);
  EXPECT_EQ(table->Count(), 256);
  EXPECT_EQ(table->AddedCount(), 256);
  EXPECT_EQ(table->PoolUsed(), used);
  EXPECT_EQ(table->FindKey("one"), -1);
  // Removing frees no slot: entry numbers are not reused before Clear.
  table->RemoveAt(0);
  EXPECT_EQ(table->Add("one=more"), -1);
  table->Clear();
  EXPECT_EQ(table->Add("one=more"), 1);
}

TEST(StringTableLimits, FullPoolRefusesWithoutPartialCopy) {
  auto table = StringTable::Create(nullptr, {.max_slots = 256, .max_pool_bytes = 16384});
  table->Add("a=" + std::string(16000, 'a'));
  const int32_t used = table->PoolUsed();
  EXPECT_EQ(table->Add("b=" + std::string(1000, 'b')), -1);
  EXPECT_EQ(table->Count(), 1);
  EXPECT_EQ(table->PoolUsed(), used);
  EXPECT_EQ(table->PoolCapacity(), 16384);
  EXPECT_EQ(table->Add("c=small"), 2);
  EXPECT_STREQ(table->ValueOf("c"), "small");
}

TEST(StringTableLimits, FailedSetKeepsTheOldValue) {
  auto table = StringTable::Create(nullptr, {.max_slots = 256, .max_pool_bytes = 16384});
  table->Add("Language=1");
  EXPECT_EQ(table->Set("Language", std::string(17000, '2')), -1);
  EXPECT_EQ(table->Count(), 1);
  EXPECT_STREQ(table->ValueOf("Language"), "1");
}

TEST(StringTableLimits, FailedSplitLeavesTheTableEmpty) {
  auto table = StringTable::Create(nullptr, {.max_slots = 256, .max_pool_bytes = 16384});
  std::string reply;
  for (int i = 0; i < 300; ++i) reply += Key(i) + "=1,";
  EXPECT_EQ(table->Split(reply, ","), -1);
  EXPECT_EQ(table->Count(), 0);
  EXPECT_EQ(table->AddedCount(), 0);
  EXPECT_EQ(table->SplitLines(std::string(20000, 'x')), -1);
  EXPECT_EQ(table->Count(), 0);
}

TEST(StringTableLimits, LimitsBelowTheInitialSizesAreRaised) {
  auto table = StringTable::Create(nullptr, {.max_slots = 1, .max_pool_bytes = 1});
  ASSERT_NE(table, nullptr);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(table->Add(Key(i) + "=v"), i + 1);
  EXPECT_EQ(table->Add("x=y"), -1);
}

}  // namespace
}  // namespace strtable
