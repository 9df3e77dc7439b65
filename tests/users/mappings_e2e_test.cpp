// User-number mappings: PIN2 to PIN, PIN to PIN2, ID text to PIN, and the
// user table going stale while the terminal enrols.
#include "users_fixture.h"

namespace users_test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST_F(UsersE2E, WideNumbersMapToPinsThroughTheCache) {
  ASSERT_NE(
      Connect(termsim::Profile::Ver660(), {MakeUser(1, 123456789), MakeUser(2, 5), MakeUser(3, 0)}),
      nullptr);
  AskPinWidth();
  EXPECT_EQ(Q_GetUserID(handle, 123456789), 1);
  EXPECT_EQ(Q_GetUserPIN2(handle, 1), 123456789);
  EXPECT_EQ(Q_GetUserPIN2(handle, 3), 0);
  EXPECT_EQ(Q_GetUserPIN2(handle, 4), -1);
  EXPECT_EQ(Q_GetUserID(handle, 999), -1);
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 5), 2);
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 6), 0);
  EXPECT_EQ(TableDownloads(), 1u);

  ASSERT_EQ(Q_DelUser(handle, 123456789), 1);
  EXPECT_EQ(LastPayload(wire::CMD_DELETE_USER), (Bytes{1, 0}));
  EXPECT_FALSE(sim->FindUser(1).has_value());
  // Deleting leaves the cache as it was.
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 123456789), 1);

  ASSERT_EQ(Q_StartVerify(handle, 5, 3), 1);
  ASSERT_FALSE(sim->ControlCommands().empty());
  EXPECT_EQ(sim->ControlCommands().back().data, (Bytes{2, 0, 3}));
}

TEST_F(UsersE2E, NarrowNumbersAreTheirOwnPins) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(2, 9999)}), nullptr);
  ASSERT_EQ(Q_DelUser(handle, 2), 1);
  EXPECT_EQ(LastPayload(wire::CMD_DELETE_USER), (Bytes{2, 0}));
  EXPECT_EQ(TableDownloads(), 0u);
}

TEST_F(UsersE2E, OldFirmwareHasNoPin2) {
  ASSERT_NE(Connect(termsim::Profile::Old(), {MakeUser(4, 0)}), nullptr);
  EXPECT_EQ(Q_GetUserPIN2(handle, 4), -2);
  EXPECT_EQ(Q_GetUserID(handle, 4), -2);
  int32_t pin2 = 4;
  EXPECT_EQ(Q_QueryUserInfo(handle, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                            nullptr),
            0);
  EXPECT_EQ(Q_QueryUserInfo(handle, 4, nullptr, nullptr, nullptr, nullptr, nullptr, &pin2, nullptr,
                            nullptr),
            1);
  EXPECT_EQ(pin2, 0);
}

TEST_F(UsersE2E, EnrolmentMakesTheTableStaleForThisSessionOnly) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 111111)}), nullptr);
  AskPinWidth();
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  // The terminal gains a user the cache does not know.
  sim->SetUsers({MakeUser(1, 111111), MakeUser(3, 777777)});
  EXPECT_EQ(Q_DelUser(handle, 777777), 0);  // no such PIN: nothing sent
  EXPECT_EQ(Sent(wire::CMD_DELETE_USER), 0u);

  ASSERT_EQ(Q_StartEnroll(handle, 777777, 0), 1);
  EXPECT_EQ(Session().user_table_stale, 1);
  // Another session closing does not cancel this one's reload.
  DEVAPI_HANDLE other = simlink::Connect(*sim, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(Q_Close(other), 1);
  EXPECT_EQ(Session().user_table_stale, 1);

  const size_t before = TableDownloads();
  ASSERT_EQ(Q_DelUser(handle, 777777), 1);
  EXPECT_EQ(TableDownloads(), before + 1);
  EXPECT_EQ(LastPayload(wire::CMD_DELETE_USER), (Bytes{3, 0}));
  EXPECT_FALSE(sim->FindUser(3).has_value());
}

TEST_F(UsersE2E, TftUsersAreFoundByIdText) {
  ASSERT_NE(Connect(termsim::Profile::Tft(),
                    {MakeUser(5, 0, "Ann", "A-5"), MakeUser(6, 0, "Bo", "424242")}),
            nullptr);
  AskPinWidth();
  int32_t pin = 0;
  char name[25];
  ASSERT_EQ(SSR_Q_QueryUserInfo(handle, "A-5", name, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, &pin),
            1);
  EXPECT_EQ(pin, 5);
  EXPECT_EQ(Str(name), "Ann");
  EXPECT_EQ(SSR_Q_QueryUserInfo(handle, "A-6", name, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, &pin),
            0);
  // Numeric calls know colour-screen users by the number their ID spells.
  EXPECT_EQ(Q_GetUserID(handle, 424242), 6);
  EXPECT_EQ(Q_GetUserPIN2(handle, 6), 424242);
  EXPECT_EQ(Q_GetUserPIN2(handle, 5), 0);
  ASSERT_EQ(Q_StartVerify(handle, 424242, 1), 1);
  EXPECT_EQ(sim->ControlCommands().back().data, (Bytes{6, 0, 1}));

  ASSERT_EQ(SSR_Q_DelUser(handle, "A-5"), 1);
  EXPECT_EQ(LastPayload(wire::CMD_DELETE_USER), (Bytes{5, 0}));
  EXPECT_EQ(SSR_Q_DelUser(handle, "A-7"), 0);
  EXPECT_EQ(Sent(wire::CMD_DELETE_USER), 1u);
}

TEST_F(UsersE2E, CardsMatchOnAllFiveBytes) {
  auto a = MakeUser(1, 10);
  a.card = 0x12345678;
  a.card_extra = 1;
  auto b = MakeUser(2, 20);
  b.card = 0x12345678;
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {a, b}), nullptr);
  const uint8_t card_b[5] = {0x78, 0x56, 0x34, 0x12, 0};
  const uint8_t card_a[5] = {0x78, 0x56, 0x34, 0x12, 1};
  const uint8_t none[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(Q_QueryUserByCard(handle, card_b), 2);
  EXPECT_EQ(Q_QueryUserByCard(handle, card_a), 1);
  EXPECT_EQ(Q_QueryUserByCard(handle, none), 0);
  EXPECT_EQ(Q_QueryUserByCard(handle, nullptr), 4);
}

}  // namespace
}  // namespace users_test
