#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "users/user_records.h"

namespace {

using users::DecodeUserRecord;
using users::EncodeUserRecord;
using users::UserFields;
using users::UserLayout;

std::string Text(std::span<const uint8_t> field) { return std::string(users::FieldText(field)); }

TEST(UserRecordsTest, ShortRecordDecodesFieldByField) {
  const std::vector<uint8_t> record = {0x34, 0x12, 14,  '1', '2', '3', '4', '5',
                                       'A',  'B',  'C', 'D', 'E', 'F', 'G', 'H'};
  UserFields f;
  ASSERT_TRUE(DecodeUserRecord(UserLayout::kShort, record, &f));
  EXPECT_EQ(f.pin, 0x1234);
  EXPECT_EQ(f.privilege, 14);
  EXPECT_EQ(Text(std::span(f.password).first(5)), "12345");  // full: no terminator
  EXPECT_EQ(Text(std::span(f.name).first(8)), "ABCDEFGH");
  EXPECT_EQ(f.pin2, 0u);
}

TEST(UserRecordsTest, ExtendedRecordDecodesFieldByField) {
  const std::vector<uint8_t> record = {0x07, 0x00,                             // PIN 7
                                       6,                                      // privilege
                                       '9',  '9',  0,    0,    0,              // password
                                       'E',  'v',  'e',  0,    0,    0, 0, 0,  // name
                                       0x78, 0x56, 0x34, 0x12, 0x9A,           // card
                                       0xA3,        // group 3, own zones, high zone bits 2
                                       0x81, 0x80,  // zone word
                                       0x15, 0xCD, 0x5B, 0x07};  // PIN2 123456789
  UserFields f;
  ASSERT_TRUE(DecodeUserRecord(UserLayout::kExtended, record, &f));
  EXPECT_EQ(f.pin, 7);
  EXPECT_EQ(Text(std::span(f.password).first(5)), "99");
  EXPECT_EQ(Text(std::span(f.name).first(8)), "Eve");
  EXPECT_EQ(f.card, (std::array<uint8_t, 5>{0x78, 0x56, 0x34, 0x12, 0x9A}));
  EXPECT_EQ(f.group, 0xA3);
  EXPECT_EQ(f.tz_word, 0x8081);
  EXPECT_EQ(f.pin2, 123456789u);
  EXPECT_EQ(users::RecordPin2(record), 123456789u);
}

TEST(UserRecordsTest, TftRecordRoundTripsAndItsFullIdTextIsBounded) {
  UserFields f;
  f.pin = 65534;
  f.privilege = 1;
  const std::string name = "Carla Kowalczyk-Brandt 1";  // 24 characters
  const std::string id = "ABCDEFGHIJKLMNOPQRSTUVWX";    // 24 characters
  std::copy(name.begin(), name.end(), f.name.begin());
  std::copy(id.begin(), id.end(), f.id_text.begin());
  f.password = {'p', 'a', 's', 's', 'w', 'o', 'r', 'd'};
  f.card = {0x01, 0x02, 0x03, 0x04, 0};
  f.group = 200;
  f.tz_words = {1, 2, 3, 4000};
  std::vector<uint8_t> record(users::kTftRecordSize + 8, 0xEE);  // guard bytes after it
  ASSERT_TRUE(EncodeUserRecord(UserLayout::kTft, f, record));
  EXPECT_EQ(record[users::kTftRecordSize], 0xEE);

  const auto exact = std::span<const uint8_t>(record).first(users::kTftRecordSize);
  EXPECT_EQ(users::RecordIdText(exact), id);
  UserFields back;
  ASSERT_TRUE(DecodeUserRecord(UserLayout::kTft, exact, &back));
  EXPECT_EQ(back.pin, 65534);
  EXPECT_EQ(Text(back.name), name);
  EXPECT_EQ(back.card, f.card);
  EXPECT_EQ(back.group, 200);
  EXPECT_EQ(back.tz_words, f.tz_words);
  EXPECT_EQ(Text(back.id_text), id);
}

TEST(UserRecordsTest, RecordsCutShortAreRefused) {
  const std::vector<uint8_t> short_by_one(users::kExtendedRecordSize - 1, 0x41);
  UserFields f;
  f.pin = 99;
  EXPECT_FALSE(DecodeUserRecord(UserLayout::kExtended, short_by_one, &f));
  EXPECT_EQ(f.pin, 0);
  EXPECT_EQ(users::RecordPin2(short_by_one), 0u);
  EXPECT_EQ(users::RecordIdText(std::vector<uint8_t>(71, 'x')), "");
  std::vector<uint8_t> small(10);
  EXPECT_FALSE(EncodeUserRecord(UserLayout::kShort, f, small));
}

TEST(UserRecordsTest, TheOldWriteOrdersNameBeforePassword) {
  UserFields f;
  f.pin = 0x0102;
  f.name = {'N', 'a', 'm', 'e'};
  f.password = {'1', '2'};
  f.privilege = 7;
  const auto bytes = users::EncodeShortWrite(f, 0);
  const std::array<uint8_t, 17> expected = {0x02, 0x01, 'N', 'a', 'm', 'e', 0, 0, 0,
                                            0,    '1',  '2', 0,   0,   0,   7, 0};
  EXPECT_EQ(bytes, expected);
}

}  // namespace
