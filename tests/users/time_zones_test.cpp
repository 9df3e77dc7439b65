#include "users/time_zones.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using users::PackedTimeZones;
using users::PackTimeZones;
using users::UnpackTimeZones;

std::array<int32_t, 4> Unpacked(PackedTimeZones packed, int32_t* result) {
  std::array<int32_t, 4> out{77, 77, 77, 77};
  *result = UnpackTimeZones(packed, out);
  return out;
}

TEST(TimeZonesTest, PackingStopsAtTheFirstZero) {
  const std::vector<int32_t> zones = {5, 0, 9};
  const PackedTimeZones p = PackTimeZones({3, 0}, zones);
  EXPECT_EQ(p.word, 5);
  EXPECT_EQ(p.group_byte, 0x80 | 3);
  int32_t result = 0;
  const auto out = Unpacked(p, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 77);  // the fourth entry is set only for three zones
}

TEST(TimeZonesTest, TheThirdZoneSpillsIntoTheGroupByte) {
  const std::vector<int32_t> zones = {1, 2, 40};
  const PackedTimeZones p = PackTimeZones({0x0F, 0}, zones);
  EXPECT_EQ(p.word, 1 | 2 << 6 | 8 << 12);
  EXPECT_EQ(p.group_byte, 0x80 | 0x20 | 0x0F);
  int32_t result = 0;
  const auto out = Unpacked(p, &result);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(out, (std::array<int32_t, 4>{1, 2, 40, 0}));
}

TEST(TimeZonesTest, NoArrayOrMinusOneFollowsTheGroup) {
  const std::vector<int32_t> group_first = {-1, 4, 5};
  for (const PackedTimeZones p :
       {PackTimeZones({0xF7, 0x1234}, {}), PackTimeZones({0xF7, 0x1234}, group_first)}) {
    EXPECT_EQ(p.word, 0);
    EXPECT_EQ(p.group_byte, 0x07);  // bits 4-7 cleared, the group kept
    int32_t result = 0;
    const auto out = Unpacked(p, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out[0], -1);
    EXPECT_EQ(out[1], 77);
  }
}

TEST(TimeZonesTest, ZonesAreMaskedToSixBitsAndOnlyThreeAreRead) {
  const std::vector<int32_t> zones = {64 + 3, 63, 127, 9};
  const PackedTimeZones p = PackTimeZones({0, 0}, zones);
  int32_t result = 0;
  const auto out = Unpacked(p, &result);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(out, (std::array<int32_t, 4>{3, 63, 63, 0}));
}

TEST(TimeZonesTest, AFirstZeroZoneStillMarksOwnZones) {
  const std::vector<int32_t> zones = {0, 7, 8};
  const PackedTimeZones p = PackTimeZones({2, 0}, zones);
  EXPECT_EQ(p.word, 0);
  EXPECT_EQ(p.group_byte, 0x82);
  int32_t result = 0;
  const auto out = Unpacked(p, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out[0], 0);
}

}  // namespace
