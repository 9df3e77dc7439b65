// Short messages and their links to users against the simulated terminal.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "users_fixture.h"

namespace {

using users_test::MakeUser;
using users_test::UsersE2E;

constexpr uint16_t kSetMessage = 70;
constexpr uint16_t kGetMessage = 71;
constexpr uint16_t kLink = 73;
constexpr uint16_t kUnlink = 74;

class MessagesE2E : public UsersE2E {};

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST_F(MessagesE2E, MessagesRoundTripInBothRecordSizes) {
  struct Case {
    termsim::Profile profile;
    size_t record, content;
  };
  for (const auto& c : {Case{termsim::Profile::Tft(), 332, 320},
                        Case{termsim::Profile::Ver660(), 72, 60}}) {
    SCOPED_TRACE(c.record);
    Connect(c.profile);
    ASSERT_EQ(Q_SetSMS(handle, 9, 253, 60, 2024, 3, 5, 8, 30, 15, "Meeting at noon"), 1);
    const auto sent = LastPayload(kSetMessage);
    ASSERT_EQ(sent.size(), c.record);
    EXPECT_EQ(sent[0], 253);
    EXPECT_EQ(sent[1], 9);
    EXPECT_EQ(U32At(sent, 7), termsim::PackTime({2024, 3, 5, 8, 30, 15}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent.data() + 11)), "Meeting at noon");

    int32_t v[8] = {};
    std::vector<char> content(c.content, 'x');
    ASSERT_EQ(Q_GetSMS(handle, 9, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                       content.data()),
              1);
    EXPECT_EQ((std::array<int32_t, 8>{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]}),
              (std::array<int32_t, 8>{253, 60, 2024, 3, 5, 8, 30, 15}));
    EXPECT_EQ(std::string(content.data()), "Meeting at noon");

    // A content without terminator is read for its room only, and comes
    // back terminated within it.
    const std::string full(c.content + 40, 'm');
    ASSERT_EQ(Q_SetSMS(handle, 10, 1, 1, 2124, 1, 1, 0, 0, 0, full.c_str()), 1);
    ASSERT_EQ(Q_GetSMS(handle, 10, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                       content.data()),
              1);
    EXPECT_EQ(v[2], 2024);  // the year is kept modulo 100
    EXPECT_EQ(std::string(content.data()), std::string(c.content - 1, 'm'));

    EXPECT_EQ(Q_DeleteSMS(handle, 9), 1);
    EXPECT_EQ(Q_DeleteSMS(handle, 9), 0);
    ASSERT_EQ(Q_ClearSMS(handle), 1);
    EXPECT_TRUE(sim->GetAccessData().messages.empty());
    EXPECT_EQ(sim->ClearedDataKinds().back(), 6);
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(MessagesE2E, BadMessageArgumentsAndShortReplies) {
  Connect(termsim::Profile::Ver660());
  std::vector<char> content(60, 'u');
  int32_t v[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  EXPECT_EQ(Q_SetSMS(handle, 65536, 0, 0, 2024, 1, 1, 0, 0, 0, "x"), 4);
  EXPECT_EQ(Q_SetSMS(handle, -1, 0, 0, 2024, 1, 1, 0, 0, 0, "x"), 4);
  EXPECT_EQ(Q_SetSMS(handle, 1, 0, 0, 2024, 1, 1, 0, 0, 0, nullptr), 4);
  EXPECT_EQ(Q_GetSMS(handle, 1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], nullptr),
            4);
  EXPECT_EQ(Q_DeleteSMS(handle, 70000), 4);
  EXPECT_EQ(Sent(kSetMessage) + Sent(kGetMessage) + Sent(72), 0u);
  sim->SetCannedReply(kGetMessage, std::vector<uint8_t>(10, 1));
  EXPECT_EQ(Q_GetSMS(handle, 1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                     content.data()),
            -2);
  EXPECT_EQ(v[0], -1);
  EXPECT_EQ(content[0], 'u');
  // The head alone: an empty content.
  sim->SetCannedReply(kGetMessage, std::vector<uint8_t>(11, 1));
  EXPECT_EQ(Q_GetSMS(handle, 1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                     content.data()),
            1);
  EXPECT_EQ(content[0], '\0');
}

TEST_F(MessagesE2E, LinksByNumberAndByIdText) {
  Connect(termsim::Profile::Ver660(), {MakeUser(3, 300), MakeUser(4, 400)});
  AskPinWidth();
  // PIN 0 with a PIN2 nobody has: nothing to link.
  EXPECT_EQ(Q_SetUData(handle, 0, 999, 1), 0);
  EXPECT_EQ(Q_DeleteUData(handle, 0, 999, 1), 0);
  EXPECT_EQ(Sent(kLink) + Sent(kUnlink), 0u);
  ASSERT_EQ(Q_SetUData(handle, 0, 300, 1), 1);
  EXPECT_EQ(LastPayload(kLink), (std::vector<uint8_t>{3, 0, 1, 0}));
  ASSERT_EQ(Q_SetUData(handle, 4, 0, 2), 1);  // a PIN goes as it is
  EXPECT_EQ(sim->GetAccessData().links.size(), 2u);
  EXPECT_EQ(Q_SetUData(handle, 65535, 0, 2), 4);
  EXPECT_EQ(Q_SetUData(handle, 4, 0, 65536), 4);

  EXPECT_EQ(Q_DeleteUData(handle, 4, 0, 2), 1);
  EXPECT_EQ(Q_DeleteUData(handle, 4, 0, 2), 0);  // no such link
  for (uint16_t code : {uint16_t{4989}, uint16_t{4991}}) {
    sim->SetCommandAnswer(kUnlink, termsim::CommandAnswer{code, 0});
    EXPECT_EQ(Q_DeleteUData(handle, 3, 0, 1), 0) << code;
  }
  sim->SetCommandAnswer(kUnlink, std::nullopt);

  // Deleting a user drops its links.
  ASSERT_EQ(Q_DelUser(handle, 300), 1);
  EXPECT_TRUE(sim->GetAccessData().links.empty());
}

TEST_F(MessagesE2E, LinksOfIdTextUsers) {
  Connect(termsim::Profile::Tft(), {MakeUser(5, 0, "Eve", "eve")});
  EXPECT_EQ(Q_SetSsrUData(handle, "nobody", 1), 0);
  EXPECT_EQ(Q_DelSsrUData(handle, "nobody", 1), 0);
  EXPECT_EQ(Q_SetSsrUData(handle, nullptr, 1), 4);
  EXPECT_EQ(Q_SetSsrUData(handle, std::string(25, 'e').c_str(), 1), 4);
  EXPECT_EQ(Sent(kLink) + Sent(kUnlink), 0u);
  ASSERT_EQ(Q_SetSsrUData(handle, "eve", 7), 1);
  EXPECT_EQ(LastPayload(kLink), (std::vector<uint8_t>{5, 0, 7, 0}));
  ASSERT_EQ(Q_SetSsrUData(handle, "eve", 8), 1);
  EXPECT_EQ(Q_DelSsrUData(handle, "eve", 7), 1);
  EXPECT_EQ(Q_DelSsrUData(handle, "eve", 7), 0);
  ASSERT_EQ(Q_ClearUData(handle), 1);
  EXPECT_TRUE(sim->GetAccessData().links.empty());
  EXPECT_EQ(sim->ClearedDataKinds().back(), 7);
}

}  // namespace
