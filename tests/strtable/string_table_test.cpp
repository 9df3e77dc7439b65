#include "strtable/string_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "strtable/shift_fold_hash.h"

namespace strtable {
namespace {

std::unique_ptr<StringTable> MakeTable(const char* separator = nullptr) {
  auto table = StringTable::Create(separator);
  EXPECT_NE(table, nullptr);
  return table;
}

std::vector<std::string> Entries(const StringTable& table) {
  std::vector<std::string> out;
  for (int i = 0; i < table.Count(); ++i) out.emplace_back(table.EntryAt(i));
  return out;
}

using Strings = std::vector<std::string>;

TEST(StringTableCreate, SeparatorDefaultsToEqualsAndIsCutAt15) {
  EXPECT_STREQ(MakeTable()->Separator(), "=");
  EXPECT_STREQ(MakeTable("")->Separator(), "=");
  EXPECT_STREQ(MakeTable("::")->Separator(), "::");
  EXPECT_STREQ(MakeTable("0123456789abcdefXYZ")->Separator(), "0123456789abcde");

  auto table = MakeTable();
  EXPECT_EQ(table->Count(), 0);
  EXPECT_EQ(table->AddedCount(), 0);
  EXPECT_EQ(table->SlotCapacity(), 256);
  EXPECT_EQ(table->PoolCapacity(), 16384);
  StringTable::Destroy(std::move(table));
  StringTable::Destroy(nullptr);
}

TEST(StringTableAdd, AppendsInOrderAndCounts) {
  auto table = MakeTable();
  EXPECT_EQ(table->Add("a=1"), 1);
  EXPECT_EQ(table->Add(std::string_view("b=2")), 2);
  EXPECT_EQ(table->Add(std::string("c=3")), 3);
  EXPECT_EQ(Entries(*table), (Strings{"a=1", "b=2", "c=3"}));
  EXPECT_EQ(table->AddedCount(), 3);
  EXPECT_EQ(table->PoolUsed(), 12);
}

TEST(StringTableAdd, EmptyOrAbsentTextChangesNothing) {
  auto table = MakeTable();
  table->Add("a=1");
  EXPECT_EQ(table->Add(""), 1);
  EXPECT_EQ(table->Add(static_cast<const char*>(nullptr)), 1);
  EXPECT_EQ(table->Add(std::string_view("\0x=1", 4)), 1);  // cut at the NUL: empty
  EXPECT_EQ(table->AddedCount(), 1);
  EXPECT_EQ(table->PoolUsed(), 4);
}

TEST(StringTableAdd, EmbeddedNulEndsTheText) {
  auto table = MakeTable();
  table->Add(std::string_view("k=v\0tail", 8));
  EXPECT_STREQ(table->EntryAt(0), "k=v");
  EXPECT_STREQ(table->ValueOf("k"), "v");
  // A key with a NUL in it cannot reach past an entry's terminator.
  EXPECT_EQ(table->FindKey(std::string_view("k\0", 2)), 0);
  EXPECT_EQ(table->PoolUsed(), 4);
}

TEST(StringTableFind, EntryWithoutSeparatorIsListedButNotKeyed) {
  auto table = MakeTable();
  table->Add("plain");
  table->Add("k=v");
  EXPECT_EQ(table->Count(), 2);
  EXPECT_EQ(table->FindKey("plain"), -1);
  EXPECT_EQ(table->ValueOf("plain"), nullptr);
  EXPECT_EQ(table->ValueAt(0), nullptr);
  std::array<char, 16> key{};
  EXPECT_EQ(table->KeyAt(0, key), 0);
  EXPECT_STREQ(key.data(), "plain");
  EXPECT_EQ(table->FindKey("k"), 1);
}

TEST(StringTableFind, EmptyKey) {
  auto table = MakeTable();
  table->Add("a=1");
  table->Add("=x");
  EXPECT_EQ(table->FindKey(""), 1);
  EXPECT_STREQ(table->ValueOf(""), "x");
  std::array<char, 4> key;
  key.fill('#');
  EXPECT_EQ(table->KeyAt(1, key), 0);
  EXPECT_STREQ(key.data(), "");
}

TEST(StringTableFind, KeyMustBeFollowedBySeparator) {
  auto table = MakeTable();
  table->Add("ab=1");
  table->Add("a=2");
  table->Add("a");
  EXPECT_EQ(table->FindKey("a"), 1);
  EXPECT_EQ(table->FindKey("ab"), 0);
  EXPECT_EQ(table->FindKey("abc"), -1);
  EXPECT_EQ(table->FindKey("b"), -1);
  EXPECT_EQ(table->FindKey(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(table->ValueOf(static_cast<const char*>(nullptr)), nullptr);
}

TEST(StringTableFind, KeyContainingTheSeparatorNeverMatches) {
  auto table = MakeTable();
  table->Add("a=b=c");
  EXPECT_STREQ(table->ValueOf("a"), "b=c");
  EXPECT_EQ(table->FindKey("a=b"), -1);
}

TEST(StringTableFind, FirstLiveDuplicateWins) {
  auto table = MakeTable();
  table->Add("b=0");
  table->Add("a=1");
  table->Add("a=2");
  EXPECT_EQ(table->FindKey("a"), 1);
  EXPECT_STREQ(table->ValueOf("a"), "1");
  EXPECT_EQ(table->RemoveAt(1), 2);
  EXPECT_EQ(table->FindKey("a"), 1);
  EXPECT_STREQ(table->EntryAt(1), "a=2");
  EXPECT_STREQ(table->ValueOf("a"), "2");
}

TEST(StringTableFind, KeysSharingABucketStayApart) {
  // Find a second key in the bucket of "abc" so both sit on one chain.
  const uint32_t bucket = ShiftFoldHash(std::string_view("abc")) % StringTable::kKeyBuckets;
  std::string other;
  for (char a = 'a'; a <= 'z' && other.empty(); ++a) {
    for (char b = 'a'; b <= 'z' && other.empty(); ++b) {
      for (char c = 'a'; c <= 'z' && other.empty(); ++c) {
        const std::string key{a, b, c};
        if (key != "abc" && ShiftFoldHash(key) % StringTable::kKeyBuckets == bucket) other = key;
      }
    }
  }
  ASSERT_FALSE(other.empty());

  auto table = MakeTable();
  table->Add(other + "=first");
  table->Add("abc=second");
  EXPECT_STREQ(table->ValueOf(other.c_str()), "first");
  EXPECT_STREQ(table->ValueOf("abc"), "second");
  table->RemoveAt(0);
  EXPECT_EQ(table->FindKey(other.c_str()), -1);
  EXPECT_EQ(table->FindKey("abc"), 0);
}

TEST(StringTableFind, AllRemovedGivesNotFound) {
  auto table = MakeTable();
  table->Add("a=1");
  table->Add("b=2");
  table->RemoveAt(1);
  table->RemoveAt(0);
  EXPECT_EQ(table->Count(), 0);
  EXPECT_EQ(table->AddedCount(), 2);
  EXPECT_EQ(table->FindKey("a"), -1);
  EXPECT_EQ(table->FindKey("b"), -1);
  EXPECT_EQ(table->ValueOf("a"), nullptr);
}

TEST(StringTableFind, LiveIndexFollowsRemovals) {
  // Remove a deterministic pattern of entries and check every lookup against
  // a plain scan of the live list.
  auto table = MakeTable();
  for (int i = 0; i < 600; ++i) table->Add("K" + std::to_string(i) + "=" + std::to_string(i));
  uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    seed = seed * 1103515245u + 12345u;
    table->RemoveAt(static_cast<int>((seed >> 8) % static_cast<uint32_t>(table->Count())));
  }
  ASSERT_EQ(table->Count(), 300);
  int live_seen = 0;
  for (int i = 0; i < 600; ++i) {
    const std::string key = "K" + std::to_string(i);
    int expected = -1;
    for (int j = 0; j < table->Count(); ++j) {
      if (std::string(table->EntryAt(j)) == key + "=" + std::to_string(i)) expected = j;
    }
    live_seen += expected >= 0;
    ASSERT_EQ(table->FindKey(key.c_str()), expected) << key;
  }
  EXPECT_EQ(live_seen, 300);
}

TEST(StringTableSet, EqualValueChangesNothing) {
  auto table = MakeTable();
  table->Add("a=1");
  table->Add("b=2");
  EXPECT_EQ(table->Set("a", "1"), 2);
  EXPECT_EQ(Entries(*table), (Strings{"a=1", "b=2"}));
  EXPECT_EQ(table->AddedCount(), 2);
}

TEST(StringTableSet, ChangedValueMovesToTheEnd) {
  auto table = MakeTable();
  table->Add("a=1");
  table->Add("b=2");
  EXPECT_EQ(table->Set("a", "2"), 2);
  EXPECT_EQ(Entries(*table), (Strings{"b=2", "a=2"}));
  EXPECT_EQ(table->AddedCount(), 3);
  EXPECT_STREQ(table->ValueOf("a"), "2");
}

TEST(StringTableSet, NewKeyAbsentValueAndBadKeys) {
  auto table = MakeTable();
  EXPECT_EQ(table->Set("Language", "2"), 1);
  EXPECT_EQ(table->Set("Empty", nullptr), 2);
  EXPECT_STREQ(table->EntryAt(1), "Empty=");
  EXPECT_EQ(table->Set("Empty", ""), 2);  // absent counts as empty: unchanged
  EXPECT_EQ(table->AddedCount(), 2);
  EXPECT_EQ(table->Set(nullptr, "x"), -1);
  EXPECT_EQ(table->Set("a=b", "x"), -1);  // would be filed under "a"
  EXPECT_EQ(table->Count(), 2);
}

TEST(StringTableSet, MultiCharacterSeparatorSeam) {
  auto table = MakeTable("::");
  // "a:" + "::" begins with "::" at 1, so the entry would belong to key "a".
  EXPECT_EQ(table->Set("a:", "x"), -1);
  EXPECT_EQ(table->Set("a", "x"), 1);
  EXPECT_EQ(table->Set("a", "y"), 1);
  EXPECT_STREQ(table->EntryAt(0), "a::y");
  EXPECT_EQ(table->FindKey("a:"), -1);
}

TEST(StringTableRemove, ClosesTheGapAndChecksRange) {
  auto table = MakeTable();
  for (const char* text : {"a=1", "b=2", "c=3"}) table->Add(text);
  EXPECT_EQ(table->RemoveAt(3), -1);
  EXPECT_EQ(table->RemoveAt(-1), -1);
  EXPECT_EQ(table->RemoveAt(1), 2);
  EXPECT_EQ(Entries(*table), (Strings{"a=1", "c=3"}));
  EXPECT_EQ(table->FindKey("c"), 1);
  EXPECT_EQ(table->FindKey("b"), -1);
}

TEST(StringTableIndexAccess, OutOfRange) {
  auto table = MakeTable();
  table->Add("a=1");
  for (const int index : {-1, 1, 1000}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(table->EntryAt(index), nullptr);
    EXPECT_EQ(table->ValueAt(index), nullptr);
    std::array<char, 8> key{'k', 'e', 'p', 't', '\0'};
    EXPECT_EQ(table->KeyAt(index, key), StringTable::kNoSuchIndex);
    EXPECT_STREQ(key.data(), "kept");
  }
  EXPECT_STREQ(table->ValueAt(0), "1");
}

struct KeyAtCase {
  const char* entry;
  int size;
  int result;
  const char* key;  // expected buffer text when result >= 0
};

TEST(StringTableKeyAt, BufferSizeBoundsTheKey) {
  constexpr KeyAtCase kCases[] = {
      {"ab=c", 3, 2, "ab"}, {"abc=d", 3, -2, ""}, {"abc=d", 4, 3, "abc"}, {"ab", 3, 0, "ab"},
      {"abc", 3, -2, ""},   {"=v", 1, 0, ""},     {"a=v", 1, -2, ""},     {"a=b=c", 8, 1, "a"},
  };
  for (const KeyAtCase& c : kCases) {
    SCOPED_TRACE(std::string(c.entry) + " size " + std::to_string(c.size));
    auto table = MakeTable();
    table->Add(c.entry);
    std::array<char, 16> buffer;
    buffer.fill('#');
    EXPECT_EQ(table->KeyAt(0, std::span<char>(buffer).first(static_cast<size_t>(c.size))),
              c.result);
    EXPECT_STREQ(buffer.data(), c.key);
    // Nothing is written past the given size.
    for (size_t i = static_cast<size_t>(c.size); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#');
  }
}

TEST(StringTableKeyAt, NoUsableBuffer) {
  auto table = MakeTable();
  table->Add("a=1");
  char byte = '#';
  EXPECT_EQ(table->KeyAt(0, &byte, 0), StringTable::kKeyTooLong);
  EXPECT_EQ(table->KeyAt(0, &byte, -5), StringTable::kKeyTooLong);
  EXPECT_EQ(table->KeyAt(0, nullptr, 10), StringTable::kKeyTooLong);
  EXPECT_EQ(byte, '#');
  char buffer[4];
  EXPECT_EQ(table->KeyAt(0, buffer, 4), 1);
  EXPECT_STREQ(buffer, "a");
}

TEST(StringTableSeparator, MultiCharacterSeparator) {
  auto table = MakeTable("::");
  table->Add("host::10.0.0.1");
  table->Add("a:b::c");
  table->Add("x=y");
  EXPECT_STREQ(table->ValueOf("host"), "10.0.0.1");
  EXPECT_STREQ(table->ValueOf("a:b"), "c");
  EXPECT_EQ(table->FindKey("x"), -1);
  EXPECT_EQ(table->ValueAt(2), nullptr);
  char key[8];
  EXPECT_EQ(table->KeyAt(1, key, sizeof key), 3);
  EXPECT_STREQ(key, "a:b");
}

struct SplitCase {
  const char* name;
  const char* text;
  const char* delimiter;
  Strings entries;
};

TEST(StringTableSplit, Pieces) {
  const SplitCase kCases[] = {
      {"empty pieces dropped", "k1=a,,k2=b,", ",", {"k1=a", "k2=b"}},
      {"leading delimiter", ",x", ",", {"x"}},
      {"no delimiter in text", "abc", ",", {"abc"}},
      {"empty delimiter keeps text", "a,b", "", {"a,b"}},
      {"absent delimiter keeps text", "a,b", nullptr, {"a,b"}},
      {"multi-character delimiter", "a=1::b=2::::c", "::", {"a=1", "b=2", "c"}},
      {"empty text", "", ",", {}},
      {"absent text", nullptr, ",", {}},
      {"only delimiters", ",,,", ",", {}},
  };
  for (const SplitCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto table = MakeTable();
    table->Add("old=1");
    EXPECT_EQ(table->Split(c.text, c.delimiter), static_cast<int>(c.entries.size()));
    EXPECT_EQ(Entries(*table), c.entries);
    EXPECT_EQ(table->AddedCount(), static_cast<int>(c.entries.size()));
  }
}

TEST(StringTableSplit, OptionReplyIsQueryable) {
  auto table = MakeTable();
  EXPECT_EQ(table->Split("k1=a,,k2=b,", ","), 2);
  EXPECT_STREQ(table->ValueOf("k2"), "b");
  EXPECT_STREQ(table->ValueOf("k1"), "a");
  EXPECT_EQ(table->FindKey("old"), -1);
}

TEST(StringTableSplit, LongPiecesHaveNoLimit) {
  auto table = MakeTable();
  const std::string big(50000, 'v');
  EXPECT_EQ(table->Split("a=" + big + ",b=1", ","), 2);
  EXPECT_EQ(std::string(table->ValueOf("a")), big);
  EXPECT_STREQ(table->ValueOf("b"), "1");
}

TEST(StringTableSplit, SourceInsideTheTable) {
  // Split of one of the table's own entries: Clear must not overwrite it.
  auto table = MakeTable();
  table->Add("a=1,b=2,c=3");
  EXPECT_EQ(table->Split(table->EntryAt(0), ","), 3);
  EXPECT_EQ(Entries(*table), (Strings{"a=1", "b=2", "c=3"}));
  table->Add(",");
  EXPECT_EQ(table->Split("x,y", table->EntryAt(3)), 2);
  EXPECT_EQ(Entries(*table), (Strings{"x", "y"}));
}

TEST(StringTableSplitLines, LineEnds) {
  const SplitCase kCases[] = {
      {"CR LF pairs and blank line", "x\r\n\r\ny\n", nullptr, {"x", "y"}},
      {"LF CR is one line end", "a\n\rb", nullptr, {"a", "b"}},
      {"lone CRs", "a\rb\r\rc", nullptr, {"a", "b", "c"}},
      {"no line end", "one", nullptr, {"one"}},
      {"only line ends", "\r\n\n\r", nullptr, {}},
      {"commas are not line ends", "a,b\nc", nullptr, {"a,b", "c"}},
  };
  for (const SplitCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto table = MakeTable();
    table->Add("old");
    EXPECT_EQ(table->SplitLines(c.text), static_cast<int>(c.entries.size()));
    EXPECT_EQ(Entries(*table), c.entries);
  }
  auto table = MakeTable();
  table->Add("old");
  EXPECT_EQ(table->SplitLines(static_cast<const char*>(nullptr)), 0);
}

TEST(StringTableClear, EmptiesButKeepsCapacityAndSeparator) {
  auto table = MakeTable(":");
  for (int i = 0; i < 300; ++i) table->Add("k" + std::to_string(i) + ":v");
  ASSERT_EQ(table->SlotCapacity(), 512);
  table->Clear();
  EXPECT_EQ(table->Count(), 0);
  EXPECT_EQ(table->AddedCount(), 0);
  EXPECT_EQ(table->PoolUsed(), 0);
  EXPECT_EQ(table->SlotCapacity(), 512);
  EXPECT_STREQ(table->Separator(), ":");
  EXPECT_EQ(table->FindKey("k1"), -1);
  EXPECT_EQ(table->Add("k1:again"), 1);
  EXPECT_STREQ(table->ValueOf("k1"), "again");
  EXPECT_EQ(table->FindKey("k2"), -1);
}

}  // namespace
}  // namespace strtable
