// Writing users: numbering new users, updating the cache in place,
// privilege codings and time zones as the terminal stores them.
#include <array>

#include "users_fixture.h"

namespace users_test {
namespace {

struct Queried {
  char name[9] = {}, password[6] = {};
  int32_t privilege = -9, enabled = -9, group = -9, pin2 = 0;
  uint8_t card[5] = {};
  std::array<int32_t, 4> zones{55, 55, 55, 55};
};

int32_t Query(DEVAPI_HANDLE h, int32_t pin, Queried& q) {
  return Q_QueryUserInfo(h, pin, q.name, &q.privilege, &q.enabled, q.password, q.card, &q.pin2,
                         &q.group, q.zones.data());
}

TEST_F(UsersE2E, ANewUserWithAWideNumberGetsTheLowestFreePin) {
  ASSERT_NE(
      Connect(termsim::Profile::Ver660(), {MakeUser(1, 11), MakeUser(2, 12), MakeUser(3, 13)}),
      nullptr);
  AskPinWidth();
  const uint8_t card[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "New", 0, 1, "12", card, 70000, 2, nullptr), 1);
  const auto stored = sim->FindUser(4);  // 3 is taken, its pair 4 is free
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->pin2, 70000u);
  EXPECT_EQ(stored->name, "New");
  EXPECT_EQ(stored->card, 0x04030201u);
  EXPECT_EQ(stored->card_extra, 5);
  // The new user is the cache's last record, found without a download.
  const size_t downloads = TableDownloads();
  EXPECT_EQ(Session().user_len, 4u * 28);
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 70000), 4);
  EXPECT_EQ(TableDownloads(), downloads);

  // A free suggestion is taken as it is.
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "Sugg", 0, 1, nullptr, nullptr, 123, 1, nullptr), 1);
  EXPECT_TRUE(sim->FindUser(123).has_value());
  // A known PIN2 addresses its user.
  ASSERT_EQ(Q_SetUserInfo(handle, 0, "Again", 0, 1, nullptr, nullptr, 12, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(2)->name, "Again");
  EXPECT_EQ(sim->Users().size(), 5u);
}

TEST_F(UsersE2E, WritingAKnownPinUpdatesItsCachedRecord) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 10), MakeUser(2, 20)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "Renamed", 0, 1, "777", nullptr, 10, 1, nullptr), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 2, "KeepsPin2", 0, 1, nullptr, nullptr, 0, 1, nullptr), 1);
  EXPECT_EQ(Session().user_len, 2u * 28);  // no duplicates
  Queried q;
  ASSERT_EQ(Query(handle, 1, q), 1);
  EXPECT_EQ(Str(q.name), "Renamed");
  EXPECT_EQ(Str(q.password), "777");
  ASSERT_EQ(Query(handle, 2, q), 1);
  EXPECT_EQ(q.pin2, 20);
  EXPECT_EQ(sim->FindUser(2)->pin2, 20u);
  // A new PIN without a PIN2 is its own PIN2.
  ASSERT_EQ(Q_SetUserInfo(handle, 50, "Fifty", 0, 1, nullptr, nullptr, 0, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(50)->pin2, 50u);
  EXPECT_EQ(Session().user_len, 3u * 28);
}

TEST_F(UsersE2E, PrivilegesRoundTripInBothCodings) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  for (int platform = 0; platform < 2; ++platform) {
    ASSERT_EQ(Q_SetParameters(handle, 1, platform == 1 ? 0 : 1), 1);
    // One user per level and flag, read back from what the terminal stored.
    for (int32_t level = 0; level <= 4; ++level) {
      for (int32_t enabled = 0; enabled <= 1; ++enabled) {
        const int32_t pin = 10 + level * 2 + enabled;
        ASSERT_EQ(Q_SetUserInfo(handle, pin, "P", level, enabled, nullptr, nullptr, 0, 1, nullptr),
                  1);
      }
    }
    ASSERT_EQ(Q_ReadUserInfo(handle), 1);
    for (int32_t level = 0; level <= 4; ++level) {
      for (int32_t enabled = 0; enabled <= 1; ++enabled) {
        SCOPED_TRACE(testing::Message() << platform << " " << level << " " << enabled);
        Queried q;
        ASSERT_EQ(Query(handle, 10 + level * 2 + enabled, q), 1);
        EXPECT_EQ(q.enabled, enabled);
        // The platform coding has one byte for all disabled users.
        EXPECT_EQ(q.privilege, platform == 1 && enabled == 0 ? 0 : level);
      }
    }
  }
  ASSERT_EQ(Q_SetParameters(handle, 1, 1), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "P", 2, 0, nullptr, nullptr, 1, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(1)->privilege, 7);
  ASSERT_EQ(Q_SetParameters(handle, 1, 0), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "P", 2, 0, nullptr, nullptr, 1, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(1)->privilege, 1);
}

TEST_F(UsersE2E, TimeZonesAsTheTerminalStoresThem) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  const int32_t three[4] = {1, 2, 40, 0};
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "T", 0, 1, nullptr, nullptr, 1, 5, three), 1);
  auto u = sim->FindUser(1);
  EXPECT_EQ(u->tz_mode, 1);
  EXPECT_EQ(u->time_zones, (std::array<uint16_t, 3>{1, 2, 40}));
  EXPECT_EQ(u->group, 5);
  Queried q;
  ASSERT_EQ(Query(handle, 1, q), 1);
  EXPECT_EQ(q.zones, (std::array<int32_t, 4>{1, 2, 40, 0}));
  EXPECT_EQ(q.group, 5);

  const int32_t gap[3] = {5, 0, 9};
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "T", 0, 1, nullptr, nullptr, 1, 5, gap), 1);
  EXPECT_EQ(sim->FindUser(1)->time_zones, (std::array<uint16_t, 3>{5, 0, 0}));
  ASSERT_EQ(Q_SetUserInfo(handle, 1, "T", 0, 1, nullptr, nullptr, 1, 5, nullptr), 1);
  EXPECT_EQ(sim->FindUser(1)->tz_mode, 0);
  q.zones = {55, 55, 55, 55};
  ASSERT_EQ(Query(handle, 1, q), 1);
  EXPECT_EQ(q.zones[0], -1);
}

TEST_F(UsersE2E, OldFirmwareTakesTheShortWriteAndDropsTheCache) {
  ASSERT_NE(Connect(termsim::Profile::Old(), {MakeUser(1, 0)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_SetUserInfo(handle, 7, "LongName9", 3, 0, "123456", nullptr, 0, 0, nullptr), 1);
  EXPECT_EQ(LastPayload(wire::CMD_USER_WRQ).size(), 17u);
  const auto u = sim->FindUser(7);
  ASSERT_TRUE(u.has_value());
  EXPECT_EQ(u->name, "LongName");
  EXPECT_EQ(u->password, "12345");
  EXPECT_EQ(u->privilege, 15);
  EXPECT_TRUE(Session().user_buf.empty());
  EXPECT_EQ(Q_SetUserInfo(handle, 0, "NoPin", 0, 1, nullptr, nullptr, 5, 0, nullptr), -10);
}

TEST_F(UsersE2E, PinsBeyondTheFieldAreRefusedBeforeSending) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  EXPECT_EQ(Q_SetUserInfo(handle, 65535, "X", 0, 1, nullptr, nullptr, 0, 0, nullptr), -10);
  EXPECT_EQ(Q_SetUserInfo(handle, 70000, "X", 0, 1, nullptr, nullptr, 0, 0, nullptr), -10);
  EXPECT_EQ(Q_SetUserInfo(handle, -1, "X", 0, 1, nullptr, nullptr, 0, 0, nullptr), -10);
  EXPECT_EQ(Sent(wire::CMD_USER_WRQ), 0u);
}

TEST_F(UsersE2E, ARefusedWriteLeavesTheCacheAlone) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  AskPinWidth();
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  sim->SetCommandRefused(wire::CMD_USER_WRQ, true);
  EXPECT_EQ(Q_SetUserInfo(handle, 0, "New", 0, 1, nullptr, nullptr, 555, 0, nullptr), -2);
  EXPECT_EQ(Q_SetUserInfo(handle, 1, "Renamed", 0, 1, nullptr, nullptr, 1, 0, nullptr), -2);
  EXPECT_EQ(Session().user_len, 28u);
  Queried q;
  ASSERT_EQ(Query(handle, 1, q), 1);
  EXPECT_EQ(Str(q.name), "U1");
}

TEST_F(UsersE2E, TftUsersAreNumberedAndUpdatedByIdText) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(1, 0, "A", "A"), MakeUser(2, 0, "B", "B")}),
            nullptr);
  const int32_t card = 0x01020304;
  const int32_t words[4] = {1, 7, 8, 9};
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "NEW-1", "Carla", 14, 1, "secret", &card, 3, words), 1);
  auto u = sim->FindUser(3);
  ASSERT_TRUE(u.has_value());
  EXPECT_EQ(u->id_text, "NEW-1");
  EXPECT_EQ(u->name, "Carla");
  EXPECT_EQ(u->password, "secret");
  EXPECT_EQ(u->privilege, 14);
  EXPECT_EQ(u->card, 0x01020304u);
  EXPECT_EQ(u->group, 3);
  EXPECT_EQ(u->tz_mode, 1);
  EXPECT_EQ(u->time_zones, (std::array<uint16_t, 3>{7, 8, 9}));
  EXPECT_EQ(Session().user_len, 3u * 72);

  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "NEW-1", "Carla B", 0, 1, nullptr, nullptr, 3, nullptr), 1);
  EXPECT_EQ(sim->FindUser(3)->name, "Carla B");
  EXPECT_EQ(Session().user_len, 3u * 72);
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "NEW-2", "Dieter", 0, 1, nullptr, nullptr, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(4)->id_text, "NEW-2");

  // The password comes back terminated.
  char password[9];
  std::memset(password, 0x7F, sizeof password);
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "P8", "P", 0, 1, "12345678", nullptr, 1, nullptr), 1);
  int32_t pin = 0;
  ASSERT_EQ(SSR_Q_QueryUserInfo(handle, "P8", nullptr, nullptr, nullptr, password, nullptr, nullptr,
                                nullptr, &pin),
            1);
  EXPECT_EQ(Str(password), "12345678");
  EXPECT_EQ(pin, 5);

  EXPECT_EQ(SSR_Q_SetUserInfo(handle, "", "E", 0, 1, nullptr, nullptr, 1, nullptr), 4);
  EXPECT_EQ(SSR_Q_SetUserInfo(handle, "0123456789012345678901234", "E", 0, 1, nullptr, nullptr, 1,
                              nullptr),
            4);
  EXPECT_EQ(SSR_Q_SetUserInfo(handle, nullptr, "E", 0, 1, nullptr, nullptr, 1, nullptr), 4);
}

TEST_F(UsersE2E, TftTerminalWithoutUsersNumbersFromOne) {
  ASSERT_NE(Connect(termsim::Profile::Tft()), nullptr);
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "X", "X", 0, 1, nullptr, nullptr, 1, nullptr), 1);
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "Y", "Y", 0, 1, nullptr, nullptr, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(1)->id_text, "X");
  EXPECT_EQ(sim->FindUser(2)->id_text, "Y");
}

}  // namespace
}  // namespace users_test
