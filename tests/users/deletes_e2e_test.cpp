// Deleting users and clearing data: what is sent, what each refusal gives,
// and what the session forgets.
#include "users_fixture.h"

namespace users_test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST_F(UsersE2E, DeletionResultsFollowTheTerminalsAnswer) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1), MakeUser(2, 2)}), nullptr);
  EXPECT_EQ(Q_DelUser(handle, 1), 1);
  EXPECT_EQ(Q_DelUser(handle, 1), 0);  // gone already
  sim->SetCommandRefused(wire::CMD_DELETE_USER, true);
  EXPECT_EQ(Q_DelUser(handle, 2), 0);
  EXPECT_TRUE(sim->FindUser(2).has_value());
  EXPECT_EQ(Q_DelUser(handle, 0), 0);
  EXPECT_EQ(Q_DelUser(handle, 65535), 0);
  EXPECT_EQ(Sent(wire::CMD_DELETE_USER), 3u);  // the last two never went out
}

TEST_F(UsersE2E, DeletionByIdTextOnTheTerminal) {
  ASSERT_NE(
      Connect(termsim::Profile::Tft(), {MakeUser(1, 0, "A", "ALPHA"), MakeUser(2, 0, "B", "BETA")}),
      nullptr);
  ASSERT_EQ(SSR_Q_DelUserExt(handle, "ALPHA"), 1);
  Bytes expected(24, 0);
  std::memcpy(expected.data(), "ALPHA", 5);
  EXPECT_EQ(LastPayload(133), expected);
  EXPECT_FALSE(sim->FindUser(1).has_value());
  EXPECT_EQ(SSR_Q_DelUserExt(handle, "ALPHA"), 0);  // refused: no such user
  sim->SetCommandRefused(133, true);                // refused for another reason
  EXPECT_EQ(SSR_Q_DelUserExt(handle, "BETA"), -2);
  EXPECT_EQ(SSR_Q_DelUserExt(handle, "0123456789012345678901234"), 4);
  EXPECT_EQ(SSR_Q_DelUserExt(handle, nullptr), 4);
}

TEST_F(UsersE2E, UnknownCommandsAreFailures) {
  auto profile = termsim::Profile::Ver660();
  profile.unknown_commands.insert(81);
  profile.unknown_commands.insert(wire::CMD_DELETE_USER);
  ASSERT_NE(Connect(profile, {MakeUser(1, 1)}), nullptr);
  EXPECT_EQ(Q_DelUser(handle, 1), -2);
  EXPECT_EQ(Q_DeleteUserInfoEx(handle, 1, 0), -2);
}

TEST_F(UsersE2E, DeleteUserInfoExFindsThePinByPin2) {
  auto u = MakeUser(4, 4444);
  u.verify_style = 6;
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {u}), nullptr);
  ASSERT_EQ(Q_DeleteUserInfoEx(handle, 0, 4444), 1);
  EXPECT_EQ(LastPayload(81), (Bytes{4, 0}));
  EXPECT_EQ(sim->FindUser(4)->verify_style, 0);
  EXPECT_EQ(Q_DeleteUserInfoEx(handle, 0, 5555), 0);
  EXPECT_EQ(Q_DeleteUserInfoEx(handle, 9, 0), 0);  // refused with "no such user"
  EXPECT_EQ(Sent(81), 2u);
}

TEST_F(UsersE2E, AFailedLookupIsNoPin) {
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  // A terminal that cannot hand out its table.
  termsim::BulkOptions options;
  options.buffered_reads = false;
  sim->SetBulkOptions(options);
  EXPECT_EQ(Q_QueryUserByPIN2(handle, 1), -2);
  EXPECT_EQ(Q_DeleteUserInfoEx(handle, 0, 1), -2);
  int32_t style = -1;
  EXPECT_EQ(Q_GetUserInfoEx(handle, 0, 1, &style), -2);
  EXPECT_EQ(Sent(81), 0u);
  EXPECT_EQ(Sent(80), 0u);
}

TEST_F(UsersE2E, AMistypedIdTextIsNotTheUserJustNumbered) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(1, 0, "A", "A")}), nullptr);
  sim->SetCommandRefused(wire::CMD_USER_WRQ, true);
  EXPECT_EQ(SSR_Q_SetUserInfo(handle, "NEW1", "N", 0, 1, nullptr, nullptr, 1, nullptr), -2);
  EXPECT_EQ(Session().user_cache.last_free_user_no, 2u);
  EXPECT_EQ(SSR_Q_DelUser(handle, "NEW2"), 0);
  EXPECT_EQ(Sent(wire::CMD_DELETE_USER), 0u);
  EXPECT_EQ(SSR_Q_DelUser(handle, "0123456789012345678901234"), 4);
  // The text that was just numbered still maps to its number.
  EXPECT_EQ(SSR_Q_DelUser(handle, "NEW1"), 0);  // the terminal never got it
  EXPECT_EQ(LastPayload(wire::CMD_DELETE_USER), (Bytes{2, 0}));
}

TEST_F(UsersE2E, AnEmptyIdTextNamesNobody) {
  auto nameless = MakeUser(8, 0, "N");
  nameless.id_text.clear();
  ASSERT_NE(Connect(termsim::Profile::Tft(), {nameless}), nullptr);
  EXPECT_EQ(SSR_Q_DelUser(handle, ""), 0);
  EXPECT_EQ(Sent(wire::CMD_DELETE_USER), 0u);
  EXPECT_TRUE(sim->FindUser(8).has_value());
}

TEST_F(UsersE2E, ClearingDataForgetsEverythingItFrees) {
  ASSERT_NE(Connect(termsim::Profile::Tft(), {MakeUser(1, 0, "A", "A")}), nullptr);
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "B", "B", 0, 1, nullptr, nullptr, 1, nullptr), 1);
  auto& s = Session();
  // Views left over from earlier downloads.
  s.read_buf.assign(1024, 1);
  s.read_buf_cap = 1024;
  s.attlog_start = s.attlog_cursor = 4;
  s.attlog_len = 100;
  s.oplogex_start = 4;
  s.oplogex_len = 20;
  s.tmpl_len = 10;
  ASSERT_EQ(Q_ClearData(handle), 1);
  EXPECT_EQ(sim->ClearedDataKinds(), (std::vector<int>{0}));
  EXPECT_TRUE(sim->Users().empty());
  EXPECT_TRUE(s.read_buf.empty());
  EXPECT_EQ(s.read_buf_cap, 0u);
  EXPECT_EQ(s.attlog_len + s.attlog_start + s.attlog_cursor + s.oplogex_len + s.oplogex_start +
                s.tmpl_len,
            0u);
  EXPECT_TRUE(s.user_buf.empty());
  EXPECT_EQ(s.user_cache.last_free_user_no, 0u);
  EXPECT_TRUE(std::all_of(s.user_cache.user_no_map.begin(), s.user_cache.user_no_map.end(),
                          [](uint8_t b) { return b == 0; }));
  // Numbering starts again from 1.
  ASSERT_EQ(SSR_Q_SetUserInfo(handle, "C", "C", 0, 1, nullptr, nullptr, 1, nullptr), 1);
  EXPECT_EQ(sim->FindUser(1)->id_text, "C");
}

TEST_F(UsersE2E, ClearingOneKind) {
  EXPECT_EQ(Q_ClearDataEx(nullptr, 0), 4);
  EXPECT_EQ(Q_ClearDataEx(nullptr, 6), 4);
  EXPECT_EQ(Q_ClearDataEx(nullptr, 5), -1);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {MakeUser(1, 1)}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_ClearDataEx(handle, 1), 1);
  EXPECT_FALSE(Session().user_buf.empty());
  ASSERT_EQ(Q_ClearDataEx(handle, 31), 1);
  EXPECT_EQ(Q_ClearDataEx(handle, 32), 4);
  ASSERT_EQ(Q_ClearDataEx(handle, 5), 1);
  EXPECT_TRUE(Session().user_buf.empty());
  EXPECT_TRUE(sim->Users().empty());
  EXPECT_EQ(LastPayload(14), (Bytes{5}));
  EXPECT_EQ(sim->ClearedDataKinds(), (std::vector<int>{1, 31, 5}));
  sim->SetCommandRefused(14, true);
  EXPECT_EQ(Q_ClearDataEx(handle, 5), -2);
}

TEST_F(UsersE2E, ClearingAdministrators) {
  auto admin = MakeUser(1, 1);
  admin.privilege = 14;
  auto disabled_admin = MakeUser(2, 2);
  disabled_admin.privilege = 15;
  ASSERT_NE(Connect(termsim::Profile::Ver660(), {admin, disabled_admin}), nullptr);
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  ASSERT_EQ(Q_ClearAdministrators(handle), 1);
  EXPECT_EQ(sim->FindUser(1)->privilege, 0);
  EXPECT_EQ(sim->FindUser(2)->privilege, 1);
  EXPECT_TRUE(Session().user_buf.empty());
}

}  // namespace
}  // namespace users_test
