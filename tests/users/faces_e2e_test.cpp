// Faces, validity periods and verification styles by ID text, against the
// simulated terminal.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "users_fixture.h"

namespace {

using users_test::MakeUser;
using users_test::UsersE2E;

constexpr uint16_t kReadFaces = 150;
constexpr uint16_t kWriteFaces = 151;
constexpr uint16_t kDeleteFaces = 152;
constexpr uint16_t kSetValidity = 10021;
constexpr uint16_t kGetValidity = 10020;
constexpr size_t kRecord = 2576;

termsim::Profile FaceTerminal(const char* version) {
  termsim::Profile p = termsim::Profile::Tft();
  p.options["QXFaceVersion"] = version;
  return p;
}

// Face records of PIN `pin` with the given indexes, version-8 marked or not.
std::vector<uint8_t> Records(uint16_t pin, std::vector<uint8_t> indexes, bool version8) {
  std::vector<uint8_t> out;
  for (uint8_t index : indexes) {
    std::vector<uint8_t> r(kRecord, 0);
    r[0] = 0x00;
    r[1] = 0x0A;  // 2560
    r[2] = static_cast<uint8_t>(pin);
    r[3] = static_cast<uint8_t>(pin >> 8);
    r[4] = index;
    r[5] = 1;
    r[6] = version8 ? 8 : 0;
    for (size_t i = 16; i < kRecord; ++i) r[i] = static_cast<uint8_t>(i * 7 + index);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

class FacesE2E : public UsersE2E {
 protected:
  void Start(const char* version = "7") {
    Connect(FaceTerminal(version), {MakeUser(3, 0, "Ann", "ann"), MakeUser(4, 0, "Bob", "bob")});
  }
};

TEST_F(FacesE2E, WrittenFacesReadBackTheSameOnVersions7And8) {
  for (const char* version : {"7", "8"}) {
    SCOPED_TRACE(version);
    Start(version);
    const bool v8 = std::string(version) == "8";
    const auto records = Records(3, {0, 1}, v8);
    ASSERT_EQ(Q_SetUserFace(handle, "ann", 50, records.data(), static_cast<int32_t>(records.size())),
              1);
    std::vector<uint8_t> back(3 * kRecord, 0xEE);
    int32_t length = static_cast<int32_t>(back.size());
    ASSERT_EQ(Q_GetUserFace(handle, "ann", 50, back.data(), &length), 1);
    ASSERT_EQ(length, static_cast<int32_t>(records.size()));
    EXPECT_TRUE(std::equal(records.begin(), records.end(), back.begin()));
    EXPECT_EQ(back[records.size()], 0xEE);  // nothing past what was read
    // One index alone.
    length = static_cast<int32_t>(kRecord);
    ASSERT_EQ(Q_GetUserFace(handle, "ann", 1, back.data(), &length), 1);
    EXPECT_TRUE(std::equal(records.begin() + kRecord, records.end(), back.begin()));
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(FacesE2E, AReadSmallerThanTheFacesFailsAndTheNextCommandWorks) {
  Start();
  sim->SetFaces({{3, 0, Records(3, {0}, false)}, {3, 1, Records(3, {1}, false)}});
  std::vector<uint8_t> small(kRecord, 0x5A);
  int32_t length = static_cast<int32_t>(small.size());
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 50, small.data(), &length), -2);
  EXPECT_EQ(length, static_cast<int32_t>(kRecord));  // untouched
  std::vector<uint8_t> big(2 * kRecord);
  length = static_cast<int32_t>(big.size());
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 50, big.data(), &length), 1);
  EXPECT_EQ(length, static_cast<int32_t>(big.size()));
}

TEST_F(FacesE2E, ATinyBufferStillCarriesTheWholeHeader) {
  Start();
  sim->SetFaces({{3, 0, Records(3, {0}, false)}});
  std::array<uint8_t, 8> tiny{};
  int32_t length = static_cast<int32_t>(tiny.size());
  // The face does not fit: refused, and nothing written past 8 bytes.
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, tiny.data(), &length), -2);
  const auto request = LastPayload(kReadFaces);
  ASSERT_GE(request.size(), 28u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(request.data())), "ann");
  EXPECT_EQ(request[25], 0);
}

TEST_F(FacesE2E, VersionsAndLengthsAreCheckedBeforeSending) {
  Start("7");
  auto v8 = Records(3, {0}, true);
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 0, v8.data(), static_cast<int32_t>(v8.size())), -102);
  std::vector<uint8_t> huge(131073, 0);
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 0, huge.data(), 131073), -3);
  // Allowed by the limit, but more than the header's 16-bit length says.
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 0, huge.data(), 65536), -3);
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 0, huge.data(), 15), 4);
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 0, nullptr, 2576), 4);
  EXPECT_EQ(Q_SetUserFace(handle, nullptr, 0, huge.data(), 2576), 4);
  EXPECT_EQ(Q_SetUserFace(handle, "ann", 256, huge.data(), 2576), 4);
  EXPECT_EQ(Sent(kWriteFaces) + Sent(wire::CMD_PREPARE_DATA), 0u);

  int32_t length = 0;
  uint8_t buffer[64];
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, buffer, &length), 4);
  length = 64;
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, nullptr, &length), 4);
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, buffer, nullptr), 4);
  EXPECT_EQ(Q_GetUserFace(handle, std::string(25, 'a').c_str(), 0, buffer, &length), 4);
  EXPECT_EQ(Q_GetUserFace(handle, "ann", -1, buffer, &length), 4);
  EXPECT_EQ(Q_DelUserFace(handle, nullptr, 0), 4);
  EXPECT_EQ(Sent(kReadFaces) + Sent(kDeleteFaces), 0u);
}

TEST_F(FacesE2E, TerminalsWithoutFacesAreNotAsked) {
  Connect(termsim::Profile::Ver660(), {MakeUser(3, 3)});
  const auto records = Records(3, {0}, false);
  std::vector<uint8_t> buffer(kRecord);
  int32_t length = static_cast<int32_t>(buffer.size());
  EXPECT_EQ(Q_GetUserFace(handle, "3", 0, buffer.data(), &length), -100);
  EXPECT_EQ(Q_SetUserFace(handle, "3", 0, records.data(), 2576), -100);
  EXPECT_EQ(Q_DelUserFace(handle, "3", 0), -100);
  EXPECT_EQ(Sent(kReadFaces) + Sent(kWriteFaces) + Sent(kDeleteFaces), 0u);
}

TEST_F(FacesE2E, RefusalsMapToResults) {
  Start();
  const auto records = Records(3, {0}, false);
  const auto set = [&] {
    return Q_SetUserFace(handle, "ann", 0, records.data(), static_cast<int32_t>(records.size()));
  };
  struct Case {
    uint16_t code, word;
    int32_t result;
  };
  const Case writes[] = {{4994, 0, -103}, {4995, 0, -103}, {wire::CMD_ACK_ERROR, 2, 0},
                         {wire::CMD_ACK_ERROR, 1, -4}, {wire::CMD_ACK_ERROR, 4, -5},
                         {wire::CMD_ACK_ERROR, 9, -2}};
  for (const auto& c : writes) {
    sim->SetCommandAnswer(kWriteFaces, termsim::CommandAnswer{c.code, c.word});
    EXPECT_EQ(set(), c.result) << c.code << "/" << c.word;
  }
  sim->SetCommandAnswer(kWriteFaces, std::nullopt);
  // The terminal's own refusal: no such user.
  EXPECT_EQ(Q_SetUserFace(handle, "nobody", 0, records.data(), 2576), 0);

  std::vector<uint8_t> buffer(kRecord);
  int32_t length = static_cast<int32_t>(buffer.size());
  sim->SetCommandAnswer(kReadFaces, termsim::CommandAnswer{4981, 0});
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, buffer.data(), &length), -103);
  sim->SetCommandAnswer(kReadFaces, std::nullopt);
  EXPECT_EQ(Q_GetUserFace(handle, "ann", 0, buffer.data(), &length), 0);  // none yet

  EXPECT_EQ(Q_DelUserFace(handle, "ann", 0), 0);  // a missing face
  for (uint16_t code : {uint16_t{4989}, uint16_t{4991}}) {
    sim->SetCommandAnswer(kDeleteFaces, termsim::CommandAnswer{code, 0});
    EXPECT_EQ(Q_DelUserFace(handle, "ann", 0), 0) << code;
  }
  sim->SetCommandAnswer(kDeleteFaces, termsim::CommandAnswer{wire::CMD_ACK_ERROR, 1});
  EXPECT_EQ(Q_DelUserFace(handle, "ann", 0), -2);
}

TEST_F(FacesE2E, DeletingFacesAndUsers) {
  Start();
  sim->SetFaces({{3, 0, {}}, {3, 1, {}}, {4, 0, {}}});
  EXPECT_EQ(Q_DelUserFace(handle, "ann", 1), 1);
  EXPECT_EQ(sim->Faces().size(), 2u);
  sim->SetValidityPeriods({{3, {1, 2, 3, 4}}, {4, {5, 6, 7, 8}}});
  ASSERT_EQ(SSR_Q_DelUser(handle, "ann"), 1);
  const auto left = sim->Faces();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].pin, 4);
  EXPECT_EQ(sim->ValidityPeriods().count(3), 0u);
  EXPECT_EQ(Q_DelUserFace(handle, "bob", 50), 1);
  EXPECT_TRUE(sim->Faces().empty());
}

TEST_F(FacesE2E, ValidityPeriodsTravelAsPackedTimes) {
  Start();
  ASSERT_EQ(Q_SetUserVD(handle, "ann", 7, 9, 2020, 1, 1, 0, 0, 0, 2030, 12, 31, 23, 59, 59), 1);
  const auto request = LastPayload(kSetValidity);
  ASSERT_EQ(request.size(), 40u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(request.data())), "ann");
  const uint32_t start = request[32] | (request[33] << 8) | (request[34] << 16) |
                         (static_cast<uint32_t>(request[35]) << 24);
  EXPECT_EQ(start, 642816000u);

  int32_t v[14];
  std::fill(std::begin(v), std::end(v), -7);
  ASSERT_EQ(Q_GetUserVD(handle, "ann", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                        &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]),
            1);
  const int32_t expected[14] = {7, 9, 2020, 1, 1, 0, 0, 0, 2030, 12, 31, 23, 59, 59};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(v[i], expected[i]) << i;
}

TEST_F(FacesE2E, ValidityMomentsOutOfRangeAreNotSent) {
  Start();
  struct Case {
    const char* name;
    int32_t y, mo, d, h, mi, s;
  };
  const Case cases[] = {{"month 13", 2020, 13, 1, 0, 0, 0}, {"month 0", 2020, 0, 1, 0, 0, 0},
                        {"day 32", 2020, 1, 32, 0, 0, 0},   {"hour 24", 2020, 1, 1, 24, 0, 0},
                        {"minute 60", 2020, 1, 1, 0, 60, 0}, {"second 60", 2020, 1, 1, 0, 0, 60},
                        {"year 1999", 1999, 1, 1, 0, 0, 0}, {"year 2133", 2133, 1, 1, 0, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(Q_SetUserVD(handle, "ann", 0, 0, c.y, c.mo, c.d, c.h, c.mi, c.s, 2030, 1, 1, 0, 0, 0),
              4)
        << c.name;
    EXPECT_EQ(Q_SetUserVD(handle, "ann", 0, 0, 2020, 1, 1, 0, 0, 0, c.y, c.mo, c.d, c.h, c.mi, c.s),
              4)
        << c.name;
  }
  EXPECT_EQ(Q_SetUserVD(handle, nullptr, 0, 0, 2020, 1, 1, 0, 0, 0, 2030, 1, 1, 0, 0, 0), 4);
  EXPECT_EQ(Sent(kSetValidity), 0u);
}

TEST_F(FacesE2E, AShortValidityReplyLeavesTheOutputs) {
  Start();
  sim->SetCannedReply(kGetValidity, std::vector<uint8_t>(39, 1));
  int32_t v[14];
  std::fill(std::begin(v), std::end(v), -7);
  EXPECT_EQ(Q_GetUserVD(handle, "ann", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                        &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]),
            -2);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(v[i], -7) << i;
  sim->SetCannedReply(kGetValidity, std::nullopt);
  EXPECT_EQ(Q_GetUserVD(handle, "ann", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                        &v[8], &v[9], &v[10], &v[11], &v[12], &v[13]),
            -2);  // none stored: refused
}

TEST_F(FacesE2E, VerifyStylesByIdText) {
  Start();
  EXPECT_EQ(Q_SetUserVerifyStyle(handle, "nobody", 3, 0), 0);
  int32_t style = -1;
  EXPECT_EQ(Q_GetUserVerifyStyle(handle, "nobody", &style, 0), 0);
  EXPECT_EQ(Sent(79) + Sent(80), 0u);
  EXPECT_EQ(style, -1);
  ASSERT_EQ(Q_SetUserVerifyStyle(handle, "bob", 6, 0), 1);
  EXPECT_EQ(sim->FindUser(4)->verify_style, 6);
  ASSERT_EQ(Q_GetUserVerifyStyle(handle, "bob", &style, 0), 1);
  EXPECT_EQ(style, 6);
  sim->SetCannedReply(80, std::vector<uint8_t>{4, 0});
  style = -1;
  EXPECT_EQ(Q_GetUserVerifyStyle(handle, "bob", &style, 0), -2);
  EXPECT_EQ(style, -1);
  EXPECT_EQ(Q_GetUserVerifyStyle(handle, nullptr, &style, 0), 4);
}

}  // namespace
