// The texts of the access-control calls and the list form of time zones.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "users/access_texts.h"
#include "users/time_zones.h"

namespace {

using users::DigitPair;

TEST(DigitPairs, TenTimesTheFirstPlusTheSecondInEightBits) {
  EXPECT_EQ(DigitPair('0', '7'), 7);
  EXPECT_EQ(DigitPair('2', '3'), 23);
  EXPECT_EQ(DigitPair('9', '9'), 99);
  // Other characters are not rejected: ':' is one above '9'.
  EXPECT_EQ(DigitPair('0', ':'), 10);
  EXPECT_EQ(DigitPair('A', '0'), static_cast<uint8_t>(10 * 'A' + '0' - 528));
}

TEST(DigitPairs, FormatWritesTwoDigitsEachAndATerminator) {
  const std::array<uint8_t, 4> bytes{8, 30, 17, 0};
  std::array<char, 9> out{};
  out.fill('x');
  ASSERT_TRUE(users::FormatDigitPairs(bytes, out));
  EXPECT_STREQ(out.data(), "08301700");
}

TEST(DigitPairs, ABytAbove99IsRefusedAndNothingWritten) {
  const std::array<uint8_t, 2> bytes{5, 100};
  std::array<char, 5> out{'g', 'u', 'a', 'r', 'd'};
  EXPECT_FALSE(users::FormatDigitPairs(bytes, out));
  EXPECT_EQ(std::string(out.data(), 5), "guard");
  // Nor when the text would not fit its buffer.
  std::array<char, 4> small{};
  EXPECT_FALSE(users::FormatDigitPairs(std::array<uint8_t, 2>{1, 2}, small));
}

std::string Week(const std::string& day) {
  std::string text;
  for (int i = 0; i < 7; ++i) text += day;
  return text;
}

TEST(ZoneText, SevenDaysOfFourValues) {
  const std::string text = "08001200" + Week("13301730").substr(8);
  const auto zone = users::ParseZoneText(text.c_str());
  ASSERT_TRUE(zone);
  EXPECT_EQ((*zone)[0], 8);
  EXPECT_EQ((*zone)[1], 0);
  EXPECT_EQ((*zone)[2], 12);
  EXPECT_EQ((*zone)[4], 13);
  EXPECT_EQ((*zone)[27], 30);
}

TEST(ZoneText, BadTextsGiveNothing) {
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"second day starts at hour 24", "00002359" "24000000" + Week("00000000").substr(16)},
      {"end at 24:00", Week("00002400")},
      {"minute 60", Week("00600100")},
      {"end minute 60", Week("00000160")},
      {"55 characters", Week("00000000").substr(1)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(users::ParseZoneText(c.text.c_str())) << c.name;
  }
  EXPECT_FALSE(users::ParseZoneText(nullptr));
  EXPECT_TRUE(users::ParseZoneText(Week("00002359").c_str()));
}

TEST(HolidayText, GroupsWhileCharactersRemainTheRestZero) {
  const auto entries = users::ParseHolidayText("0101010212251226");
  ASSERT_TRUE(entries);
  EXPECT_EQ((*entries)[0], 1);
  EXPECT_EQ((*entries)[3], 2);
  EXPECT_EQ((*entries)[4], 12);
  EXPECT_EQ((*entries)[7], 26);
  for (size_t i = 8; i < entries->size(); ++i) EXPECT_EQ((*entries)[i], 0) << i;
  EXPECT_TRUE(users::ParseHolidayText(""));
}

TEST(HolidayText, AtMost24GroupsAreRead) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "01010101";
  text += "x";  // past the 24th group: never looked at
  const auto entries = users::ParseHolidayText(text.c_str());
  ASSERT_TRUE(entries);
  EXPECT_EQ((*entries)[95], 1);
}

TEST(HolidayText, BadTextsGiveNothing) {
  const std::vector<std::string> cases = {
      "0101010",            // a partial group
      "010101011301",       // a partial second group
      "13010101",           // month 13
      "01320101",           // day 32
      "01011301",           // end month 13
      "01010132",           // end day 32
  };
  for (const auto& text : cases) EXPECT_FALSE(users::ParseHolidayText(text.c_str())) << text;
  EXPECT_FALSE(users::ParseHolidayText(nullptr));
  EXPECT_TRUE(users::ParseHolidayText("12311231"));
}

TEST(ZoneList, RequestsWithAndWithoutZones) {
  EXPECT_EQ(users::ZoneListRequest(7, nullptr, false), (std::vector<uint8_t>{7, 0, 0, 0}));
  const int32_t zones[4] = {3, 4, 0, 9};
  const auto plain = users::ZoneListRequest(7, zones, false);
  ASSERT_EQ(plain.size(), 20u);
  EXPECT_EQ(plain[4], 2);  // the count of leading zones
  EXPECT_EQ(plain[8], 3);
  EXPECT_EQ(plain[12], 4);
  const auto tft = users::ZoneListRequest(7, zones, true);
  EXPECT_EQ(tft[4], 9);  // the caller's fourth entry
}

TEST(ZoneList, RepliesOfBothForms) {
  const std::vector<uint8_t> counted{0xFD, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0, 6, 0, 0, 0};
  EXPECT_EQ(users::ZoneListReplyNeeds(false, counted), 12u);
  const auto list = users::DecodeZoneList(false, counted);
  EXPECT_TRUE(list.follows_group);  // ~2
  EXPECT_EQ(list.zones, (std::array<int32_t, 3>{5, 6, 0}));
  const std::vector<uint8_t> words{1, 0, 2, 0, 3, 0, 4, 0};
  EXPECT_EQ(users::ZoneListReplyNeeds(true, words), 8u);
  const auto tft = users::DecodeZoneList(true, words);
  EXPECT_FALSE(tft.follows_group);
  EXPECT_EQ(tft.mode, 1);
  EXPECT_EQ(tft.zones, (std::array<int32_t, 3>{2, 3, 4}));
}

}  // namespace
