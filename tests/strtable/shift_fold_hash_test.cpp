#include "strtable/shift_fold_hash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "strtable/string_table.h"

namespace strtable {
namespace {

struct HashCase {
  std::string_view text;
  uint32_t hash;
  uint32_t bucket;
};

// 'abc' agrees with the textbook ELF hash; the longer texts reach bit 31 and
// show the sign-smearing fold.
constexpr HashCase kCases[] = {
    {"", 0, 0},
    {"abc", 26499, 1983},
    {"abcdefghij", 88430234, 1022},
    {"zzzzzzzz", 4062324170u, 497},
};

TEST(ShiftFoldHash, KnownValuesAndBuckets) {
  for (const HashCase& c : kCases) {
    SCOPED_TRACE(c.text);
    const uint32_t h = ShiftFoldHash(c.text);
    EXPECT_EQ(h, c.hash);
    EXPECT_EQ(h % StringTable::kKeyBuckets, c.bucket);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(c.text.data()),
                                         c.text.size());
    EXPECT_EQ(ShiftFoldHash(bytes), c.hash);
  }
}

TEST(ShiftFoldHash, TakesBytesAsUnsigned) {
  // A signed char would fold 0xFF in as 0xFFFFFFFF.
  EXPECT_EQ(ShiftFoldHash(std::string_view("\xff")), 0xFFu);
  EXPECT_EQ(ShiftFoldHash(std::string_view("\x80\x01")), (0x80u << 4) + 1);
}

static_assert(ShiftFoldStep(0, 'a') == 'a');

}  // namespace
}  // namespace strtable
