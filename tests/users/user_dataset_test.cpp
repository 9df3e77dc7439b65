#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "termsim/simulator.h"

namespace {

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string(name) + "_" +
           std::to_string(::testing::UnitTest::GetInstance()->random_seed())))
      .string();
}

TEST(UserDatasetTest, GeneratedUsersAreSeededAndDistinct) {
  const auto a = termsim::GenerateUsers(500, 42);
  EXPECT_EQ(a, termsim::GenerateUsers(500, 42));
  EXPECT_NE(a, termsim::GenerateUsers(500, 43));
  ASSERT_EQ(a.size(), 500u);
  std::set<uint32_t> pin2s;
  bool full_narrow_name = false, full_wide_name = false, own_zones = false, admin = false;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].pin, i + 1);
    EXPECT_TRUE(pin2s.insert(a[i].pin2).second);
    EXPECT_EQ(a[i].id_text, std::to_string(a[i].pin2));
    EXPECT_LE(a[i].name.size(), 24u);
    EXPECT_LE(a[i].password.size(), 8u);
    full_narrow_name |= a[i].name.size() == 8;
    full_wide_name |= a[i].name.size() == 24;
    own_zones |= a[i].tz_mode == 1;
    admin |= a[i].privilege == 14;
  }
  // The data set reaches the edges of the record fields.
  EXPECT_TRUE(full_narrow_name && full_wide_name && own_zones && admin);
}

TEST(UserDatasetTest, FilesRoundTrip) {
  auto users = termsim::GenerateUsers(20, 7);
  users[3].id_card = {0x00, 0xAB, 0xFF};
  users[4].verify_style = 9;
  users[5].card_extra = 3;
  const std::string path = TempPath("users_roundtrip");
  std::string error;
  ASSERT_TRUE(termsim::SaveUsers(path, users, &error)) << error;
  std::vector<termsim::User> back;
  ASSERT_TRUE(termsim::LoadUsers(path, &back, &error)) << error;
  EXPECT_EQ(back, users);
  std::filesystem::remove(path);
}

TEST(UserDatasetTest, BadLinesAreNamed) {
  const std::string path = TempPath("users_bad");
  {
    std::ofstream out(path);
    out << "# comment\n\npin=5\tname=Ann\n";
    out << "pin=6\tname=ThisNameIsFarTooLongForAnyField\n";
  }
  std::vector<termsim::User> users;
  std::string error;
  EXPECT_FALSE(termsim::LoadUsers(path, &users, &error));
  EXPECT_NE(error.find(":4:"), std::string::npos) << error;
  {
    std::ofstream out(path);
    out << "pin=0\tname=Nobody\n";
  }
  EXPECT_FALSE(termsim::LoadUsers(path, &users, &error));
  EXPECT_NE(error.find("1-65534"), std::string::npos) << error;
  std::filesystem::remove(path);
  EXPECT_FALSE(termsim::LoadUsers(path, &users, &error));
}

}  // namespace
