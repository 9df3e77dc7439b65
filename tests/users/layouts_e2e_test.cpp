// Each record layout decodes to exactly the users the terminal holds, and
// the user view saved to a file is what was downloaded.
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "users_fixture.h"

namespace users_test {
namespace {

// Standard privilege coding of the generated users' bytes.
int32_t Level(uint8_t byte) {
  switch (byte >> 1) {
    case 7:
      return 3;
    case 5:
      return 4;
    case 3:
      return 2;
    case 1:
      return 1;
    default:
      return 0;
  }
}

std::string Cut(const std::string& text, size_t width) { return text.substr(0, width); }

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string(name) + "_" +
           std::to_string(::testing::UnitTest::GetInstance()->random_seed())))
      .string();
}

struct NarrowUser {
  int32_t pin = -1, privilege = -1, enabled = -1, pin2 = -1, group = -1;
  char name[9] = {}, password[6] = {};
  uint8_t card[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  std::array<int32_t, 4> zones{55, 55, 55, 55};
};

int32_t NextNarrow(DEVAPI_HANDLE h, NarrowUser& u) {
  return Q_GetUserInfo(h, &u.pin, u.name, &u.privilege, &u.enabled, u.password, u.card, &u.pin2,
                       &u.group, u.zones.data());
}

TEST_F(UsersE2E, ShortRecordsOfOldFirmware) {
  const auto users = termsim::GenerateUsers(60, 11);
  ASSERT_NE(Connect(termsim::Profile::Old(), users), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, users.size() * 16);
  for (const auto& expected : users) {
    SCOPED_TRACE(expected.pin);
    NarrowUser u;
    ASSERT_EQ(NextNarrow(handle, u), 1);
    EXPECT_EQ(u.pin, expected.pin);
    EXPECT_EQ(Str(u.name), Cut(expected.name, 8));
    EXPECT_EQ(Str(u.password), Cut(expected.password, 5));
    EXPECT_EQ(u.privilege, Level(expected.privilege));
    EXPECT_EQ(u.enabled, (expected.privilege & 1) == 0 ? 1 : 0);
    EXPECT_EQ(u.pin2, 0);
    EXPECT_EQ(u.group, 1);
    EXPECT_EQ(u.card[0] | u.card[1] | u.card[2] | u.card[3] | u.card[4], 0);
    EXPECT_EQ(u.zones[0], -1);
  }
  NarrowUser end;
  EXPECT_EQ(NextNarrow(handle, end), 0);
}

TEST_F(UsersE2E, ExtendedRecords) {
  auto users = termsim::GenerateUsers(300, 12);
  users[5].card_extra = 0x9A;
  users[6].tz_mode = 1;
  users[6].time_zones = {1, 2, 40};
  ASSERT_NE(Connect(termsim::Profile::Ver660(), users), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, users.size() * 28);
  for (const auto& expected : users) {
    SCOPED_TRACE(expected.pin);
    NarrowUser u;
    ASSERT_EQ(NextNarrow(handle, u), 1);
    EXPECT_EQ(u.pin, expected.pin);
    EXPECT_EQ(Str(u.name), Cut(expected.name, 8));
    EXPECT_EQ(Str(u.password), Cut(expected.password, 5));
    EXPECT_EQ(u.privilege, Level(expected.privilege));
    EXPECT_EQ(static_cast<uint32_t>(u.pin2), expected.pin2);
    EXPECT_EQ(u.group, expected.group & 0x0F);
    const std::array<uint8_t, 5> card = {
        static_cast<uint8_t>(expected.card), static_cast<uint8_t>(expected.card >> 8),
        static_cast<uint8_t>(expected.card >> 16), static_cast<uint8_t>(expected.card >> 24),
        expected.card_extra};
    EXPECT_TRUE(std::equal(card.begin(), card.end(), u.card));
    if (expected.tz_mode == 1) {
      for (size_t i = 0; i < 3 && expected.time_zones[i] != 0; ++i) {
        EXPECT_EQ(u.zones[i], expected.time_zones[i]);
      }
    } else {
      EXPECT_EQ(u.zones[0], -1);
    }
  }
  NarrowUser end;
  EXPECT_EQ(NextNarrow(handle, end), 0);
}

TEST_F(UsersE2E, TftRecords) {
  auto users = termsim::GenerateUsers(120, 13);
  users[0].id_text = "ID-WITH-ALL-24-CHARS-XYZ";  // fills the field: no terminator
  users[0].password = "12345678";
  users[1].tz_mode = 1;
  users[1].time_zones = {3, 900, 7};
  ASSERT_NE(Connect(termsim::Profile::Tft(), users), nullptr);
  Session().pin_width = 24;
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  EXPECT_EQ(Session().user_len, users.size() * 72);
  for (const auto& expected : users) {
    SCOPED_TRACE(expected.pin);
    int32_t pin = 0, privilege = 0, enabled = 0, card = 0, group = 0;
    char id[25], name[25], password[9];
    std::memset(id, 0x7F, sizeof id);
    std::memset(password, 0x7F, sizeof password);
    std::array<int32_t, 4> words{};
    ASSERT_EQ(SSR_Q_GetUserInfo(handle, &pin, id, name, &privilege, &enabled, password, &card,
                                &group, words.data()),
              1);
    EXPECT_EQ(pin, expected.pin);
    EXPECT_EQ(Str(id), expected.id_text);
    EXPECT_EQ(Str(name), expected.name);
    EXPECT_EQ(Str(password), expected.password);
    EXPECT_EQ(privilege, Level(expected.privilege));
    EXPECT_EQ(static_cast<uint32_t>(card), expected.card);
    EXPECT_EQ(group, expected.group);
    EXPECT_EQ(words, (std::array<int32_t, 4>{expected.tz_mode, expected.time_zones[0],
                                             expected.time_zones[1], expected.time_zones[2]}));
  }
  int32_t pin = 0;
  EXPECT_EQ(SSR_Q_GetUserInfo(handle, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            0);
}

TEST_F(UsersE2E, IdTextsAreCutToTheTerminalsWidth) {
  auto users = termsim::GenerateUsers(2, 14);
  users[0].id_text = "ABCDEFGHIJKLMNOPQRSTUVWX";
  ASSERT_NE(Connect(termsim::Profile::Tft(), users), nullptr);
  char id[32];
  std::memset(id, 0x7F, sizeof id);
  Session().pin_width = 100;  // the terminal's byte, beyond the field
  int32_t pin = 0;
  ASSERT_EQ(SSR_Q_GetUserInfo(handle, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            1);
  EXPECT_EQ(Str(id), users[0].id_text);
  EXPECT_EQ(id[25], 0x7F);  // nothing written past the 25-byte field
  Session().pin_width = 5;
  ASSERT_EQ(SSR_Q_GetUserInfo(handle, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            1);
  EXPECT_EQ(Str(id), users[1].id_text.substr(0, 5));
  Session().pin_width = -3;
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(SSR_Q_GetUserInfo(handle, &pin, id, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            1);
  EXPECT_EQ(Str(id), "");
}

TEST_F(UsersE2E, EmptySlotsAreSkippedByTheTftIterator) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(9, 0, "Nine", "N9")}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  // The terminal's table ends with two empty slots.
  auto& s = Session();
  s.user_len += 2 * 72;
  int32_t pin = 0;
  ASSERT_EQ(SSR_Q_GetUserInfo(handle, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            1);
  EXPECT_EQ(pin, 9);
  EXPECT_EQ(SSR_Q_GetUserInfo(handle, &pin, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr),
            0);
  EXPECT_EQ(s.user_cache.last_user_no, 0u);
  EXPECT_EQ(s.user_cursor, 4u + 3 * 72);
}

TEST_F(UsersE2E, IteratorsDownloadWhenTheCacheIsEmpty) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), termsim::GenerateUsers(3, 15)), nullptr);
  NarrowUser u;
  ASSERT_EQ(NextNarrow(handle, u), 1);
  EXPECT_EQ(u.pin, 1);
  EXPECT_EQ(TableDownloads(), 1u);
  ASSERT_EQ(NextNarrow(handle, u), 1);
  EXPECT_EQ(u.pin, 2);
  EXPECT_EQ(TableDownloads(), 1u);
}

TEST_F(UsersE2E, ATerminalWithoutUsers) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  EXPECT_EQ(Q_ReadUserInfo(handle), 0);
  // The iterator's own download finds nothing either.
  NarrowUser u;
  EXPECT_EQ(NextNarrow(handle, u), -2);
  EXPECT_EQ(u.pin, -1);
}

TEST_F(UsersE2E, SavedUserViewIsWhatWasDownloaded) {
  for (const auto& profile :
       {termsim::Profile::Old(), termsim::Profile::Ver660(), termsim::Profile::Tft()}) {
    SCOPED_TRACE(profile.firmware);
    if (handle != nullptr) Q_Close(handle);
    ASSERT_NE(Connect(profile, termsim::GenerateUsers(40, 16)), nullptr);
    const std::string path = TempPath("users_view");
    EXPECT_EQ(Q_SSR_SaveDate(handle, path.c_str(), 2), 0);  // nothing loaded yet
    ASSERT_EQ(Q_ReadUserInfo(handle), 1);
    const auto table = sim->UserTableBytes();
    ASSERT_EQ(Q_SSR_SaveDate(handle, path.c_str(), 2), 1);
    EXPECT_EQ(FileBytes(path), std::vector<uint8_t>(table.begin() + 4, table.end()));
    // After iterating, the rest of the table is saved.
    NarrowUser u;
    for (int i = 0; i < 10; ++i) ASSERT_EQ(NextNarrow(handle, u), 1);
    const size_t stride = (table.size() - 4) / 40;
    ASSERT_EQ(Q_SSR_SaveDate(handle, path.c_str(), 2), 1);
    EXPECT_EQ(FileBytes(path), std::vector<uint8_t>(table.begin() + 4 + 10 * stride, table.end()));
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace users_test
