// Per-user attributes on the terminal: groups, time zones, verification
// styles and identity-card data.
#include <array>

#include "users_fixture.h"

namespace users_test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST_F(UsersE2E, GroupsByWideNumber) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(3, 300000)}), nullptr);
  AskPinWidth();
  ASSERT_EQ(Q_SetUserGroup(handle, 300000, 9), 1);
  EXPECT_EQ(LastPayload(22), (Bytes{3, 0, 0, 0, 9}));
  EXPECT_EQ(sim->FindUser(3)->group, 9);
  int32_t group = 0;
  ASSERT_EQ(Q_GetUserGroup(handle, 300000, &group), 1);
  EXPECT_EQ(group, 9);
  // A number that names no PIN is not cut to 16 bits.
  EXPECT_EQ(Q_GetUserGroup(handle, 70000, &group), -2);
  EXPECT_EQ(Q_SetUserGroup(handle, 70000, 1), -2);
  EXPECT_EQ(Sent(21), 1u);
  EXPECT_EQ(Sent(22), 1u);
}

TEST_F(UsersE2E, TimeZonesOfTheNumericTerminals) {
  auto follows = MakeUser(2, 2);
  follows.time_zones = {5, 6, 0};  // kept, but the group's zones apply
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1), follows}), nullptr);
  const int32_t zones[4] = {3, 4, 0, 0};
  ASSERT_EQ(Q_SetUserTZs(handle, 1, zones), 1);
  EXPECT_EQ(LastPayload(24), (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sim->FindUser(1)->tz_mode, 1);
  std::array<int32_t, 4> got{9, 9, 9, 9};
  int32_t follows_group = -1;
  ASSERT_EQ(Q_GetUserTZs(handle, 1, got.data(), &follows_group), 1);
  EXPECT_EQ(got, (std::array<int32_t, 4>{3, 4, 0, 9}));
  EXPECT_EQ(follows_group, 0);

  // Asking with -1 first: a user following its group gets its first zone
  // moved to the third entry.
  got = {-1, 9, 9, 9};
  ASSERT_EQ(Q_GetUserTZs(handle, 2, got.data(), &follows_group), 1);
  EXPECT_EQ(follows_group, 1);
  EXPECT_EQ(got, (std::array<int32_t, 4>{-1, 6, 5, 9}));

  ASSERT_EQ(Q_SetUserTZs(handle, 1, nullptr), 1);
  EXPECT_EQ(LastPayload(24).size(), 4u);
  EXPECT_EQ(sim->FindUser(1)->tz_mode, 0);
}

TEST_F(UsersE2E, TimeZonesOfTftTerminalsGoByIdText) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(4, 0, "A", "1234")}), nullptr);
  const int32_t zones[4] = {7, 8, 9, 1};
  ASSERT_EQ(Q_SetUserTZs(handle, 1234, zones), 1);
  EXPECT_EQ(LastPayload(24), (Bytes{4, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0}));
  std::array<int32_t, 4> got{};
  int32_t follows_group = -1;
  ASSERT_EQ(Q_GetUserTZs(handle, 1234, got.data(), &follows_group), 1);
  EXPECT_EQ(got, (std::array<int32_t, 4>{7, 8, 9, 1}));
  EXPECT_EQ(follows_group, 0);
  // An ID the terminal does not have is nobody: nothing is sent.
  EXPECT_EQ(Q_GetUserTZs(handle, 999, got.data(), &follows_group), 0);
  EXPECT_EQ(Sent(23), 1u);
}

TEST_F(UsersE2E, VerificationStyles) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(8, 8000)}), nullptr);
  ASSERT_EQ(Q_SetUserInfoEx(handle, 0, 8000, 5), 1);
  Bytes expected(24, 0);
  expected[0] = 8;
  expected[2] = 5;
  EXPECT_EQ(LastPayload(79), expected);
  int32_t style = -1;
  ASSERT_EQ(Q_GetUserInfoEx(handle, 8, 0, &style), 1);
  EXPECT_EQ(style, 5);
  EXPECT_EQ(Q_GetUserInfoEx(handle, 0, 9000, &style), 0);
  EXPECT_EQ(Q_GetUserInfoEx(handle, 9, 0, &style), -2);  // the terminal has no PIN 9
}

TEST_F(UsersE2E, VerificationStylesOfTftUsers) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(4, 0, "A", "77")}), nullptr);
  ASSERT_EQ(Q_SetUserInfoEx(handle, 77, 0, 3), 1);
  EXPECT_EQ(sim->FindUser(4)->verify_style, 3);
  int32_t style = -1;
  ASSERT_EQ(Q_GetUserInfoEx(handle, 0, 77, &style), 1);
  EXPECT_EQ(style, 3);
  EXPECT_EQ(Q_SetUserInfoEx(handle, 78, 0, 3), 0);
}

TEST_F(UsersE2E, IdentityCardData) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(4, 0, "A", "ID-4")}), nullptr);
  Bytes data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(Q_SetUserIDCard(handle, "ID-4", data.data(), static_cast<int32_t>(data.size())), 1);
  const Bytes request = LastPayload(10051);
  ASSERT_EQ(request.size(), 27 + data.size());
  EXPECT_EQ(request[24], 0);
  EXPECT_EQ(request[25] | request[26] << 8, 300);
  EXPECT_EQ(sim->FindUser(4)->id_card, data);

  Bytes buffer(400, 0xEE);
  ASSERT_EQ(Q_GetUserIDCard(handle, "ID-4", buffer.data(), 400), 1);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
  EXPECT_EQ(buffer[300], 0);  // the reply area is zeroed
  EXPECT_EQ(Q_GetUserIDCard(handle, "ID-4", buffer.data(), 24), 4);

  EXPECT_EQ(Q_SetUserIDCard(handle, "NOBODY", data.data(), 10), 0);
  EXPECT_EQ(Q_SetUserIDCard(handle, "ID-4", data.data(), -1), 4);
  EXPECT_EQ(Q_SetUserIDCard(handle, "ID-4", nullptr, 5), 4);

  ASSERT_EQ(Q_DelUserIDCard(handle, "ID-4"), 1);
  EXPECT_EQ(Q_DelUserIDCard(handle, "ID-4"), 0);
  EXPECT_EQ(Q_GetUserIDCard(handle, "ID-4", buffer.data(), 400), 0);
}

TEST_F(UsersE2E, IdentityCardsNeedAFaceTerminalToBeDeleted) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(4, 44)}), nullptr);
  const size_t before = sim->ReceivedCount();
  EXPECT_EQ(Q_DelUserIDCard(handle, "44"), -100);
  EXPECT_EQ(sim->ReceivedCount(), before);
}

}  // namespace
}  // namespace users_test
