// Time zones, group time zones, holidays, unlock groups, lock
// combinations, Mifare cards and data files against the simulated terminal.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "users_fixture.h"

namespace {

using users_test::UsersE2E;

std::string Week(const std::string& day) {
  std::string text;
  for (int i = 0; i < 7; ++i) text += day;
  return text;
}

termsim::Profile Rvm() {
  termsim::Profile p = termsim::Profile::Tft();
  p.options["~Platform"] = "ZEM600_TFT_RVM";
  return p;
}

class AccessE2E : public UsersE2E {};

TEST_F(AccessE2E, WeeklyZonesRoundTrip) {
  for (const auto& profile : {termsim::Profile::Ver660(), termsim::Profile::Tft()}) {
    Connect(profile);
    const std::string text = "08001200" "13001730" + Week("00002359").substr(16);
    ASSERT_EQ(Q_SetTZInfo(handle, 5, text.c_str()), 1);
    EXPECT_EQ(sim->GetAccessData().zones.at(5)[2], 12);
    std::array<char, 58> back{};
    back[57] = 'g';
    ASSERT_EQ(Q_GetTZInfo(handle, 5, back.data()), 1);
    EXPECT_EQ(std::string(back.data()), text);
    EXPECT_EQ(back[57], 'g');
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(AccessE2E, ColourScreenZonesLeadWithTwoBytes) {
  Connect(termsim::Profile::Tft());
  termsim::AccessData data;
  data.zones[1] = {9, 15, 18, 45};
  sim->SetAccessData(data);
  std::array<char, 57> text{};
  ASSERT_EQ(Q_GetTZInfo(handle, 1, text.data()), 1);
  EXPECT_EQ(std::string(text.data()).substr(0, 16), "0915184500000000");
  // 29 bytes are short of the 2 + 28 this terminal sends.
  sim->SetCannedReply(27, std::vector<uint8_t>(29, 1));
  text.fill('u');
  EXPECT_EQ(Q_GetTZInfo(handle, 1, text.data()), -2);
  EXPECT_EQ(text[0], 'u');
}

TEST_F(AccessE2E, BadZonesAreNotSentAndBadRepliesNotPrinted) {
  Connect(termsim::Profile::Ver660());
  const std::string second_day_24 = "00002359" "24000000" + Week("00000000").substr(16);
  EXPECT_EQ(Q_SetTZInfo(handle, 1, second_day_24.c_str()), 4);
  EXPECT_EQ(Q_SetTZInfo(handle, 1, Week("00002400").c_str()), 4);
  EXPECT_EQ(Q_SetTZInfo(handle, 1, "0000"), 4);
  EXPECT_EQ(Q_SetTZInfo(handle, 1, nullptr), 4);
  EXPECT_EQ(Q_GetTZInfo(handle, 1, nullptr), 4);
  EXPECT_EQ(Sent(27) + Sent(28), 0u);
  std::array<char, 57> text{};
  text.fill('u');
  sim->SetCannedReply(27, std::vector<uint8_t>(27, 1));
  EXPECT_EQ(Q_GetTZInfo(handle, 1, text.data()), -2);
  // A byte above 99 would need three digits.
  std::vector<uint8_t> wide(28, 1);
  wide[20] = 100;
  sim->SetCannedReply(27, wide);
  EXPECT_EQ(Q_GetTZInfo(handle, 1, text.data()), -2);
  EXPECT_EQ(text[0], 'u');
}

TEST_F(AccessE2E, HolidaysReportTheirFilledEntriesAndWriteAll24) {
  Connect(termsim::Profile::Ver660());
  ASSERT_EQ(Q_SetHoliday(handle, "010101021225122605010501"), 1);
  EXPECT_EQ(sim->GetAccessData().holidays.size(), 3u);
  std::array<char, 194> text{};
  text[193] = 'g';
  int32_t length = -1;
  ASSERT_EQ(Q_GetHoliday(handle, text.data(), &length), 1);
  EXPECT_EQ(length, 24);
  EXPECT_EQ(std::string(text.data()), "010101021225122605010501" + std::string(168, '0'));
  EXPECT_EQ(text[193], 'g');

  EXPECT_EQ(Q_SetHoliday(handle, "0101010"), 4);
  EXPECT_EQ(Q_SetHoliday(handle, "13010101"), 4);
  EXPECT_EQ(Q_SetHoliday(handle, "01320101"), 4);
  EXPECT_EQ(Q_SetHoliday(handle, nullptr), 4);
  EXPECT_EQ(Q_GetHoliday(handle, nullptr, &length), 4);
  EXPECT_EQ(Sent(301), 1u);

  sim->SetCannedReply(300, std::vector<uint8_t>(95, 1));
  text.fill('u');
  length = -1;
  EXPECT_EQ(Q_GetHoliday(handle, text.data(), &length), -2);
  EXPECT_EQ(text[0], 'u');
  EXPECT_EQ(length, -1);
}

TEST_F(AccessE2E, HolidayZonesByNumber) {
  Connect(termsim::Profile::Ver660());
  EXPECT_EQ(Q_SetHolidayTZ(handle, 30, 1, 1, 1, 2, 3), 4);
  int32_t v[5] = {-1, -1, -1, -1, -1};
  EXPECT_EQ(Q_GetHolidayTZ(handle, 30, &v[0], &v[1], &v[2], &v[3], &v[4]), 4);
  EXPECT_EQ(Q_GetHolidayTZ(handle, 0, &v[0], &v[1], &v[2], &v[3], &v[4]), 4);
  EXPECT_EQ(Q_SetHolidayTZ(handle, 2, 13, 1, 1, 2, 3), 4);
  EXPECT_EQ(Q_SetHolidayTZ(handle, 2, 1, 32, 1, 2, 3), 4);
  EXPECT_EQ(Q_SetHolidayTZ(handle, 2, -1, 1, 1, 2, 3), 4);
  EXPECT_EQ(Q_SetHolidayTZ(handle, 2, 1, 1, 1, 2, 65536), 4);
  EXPECT_EQ(Sent(91) + Sent(92), 0u);
  ASSERT_EQ(Q_SetHolidayTZ(handle, 2, 12, 24, 12, 26, 700), 1);
  ASSERT_EQ(Q_GetHolidayTZ(handle, 2, &v[0], &v[1], &v[2], &v[3], &v[4]), 1);
  EXPECT_EQ((std::array<int32_t, 5>{v[0], v[1], v[2], v[3], v[4]}),
            (std::array<int32_t, 5>{12, 24, 12, 26, 700}));
  // Refused: not supported here.
  EXPECT_EQ(Q_GetHolidayTZ(handle, 3, &v[0], &v[1], &v[2], &v[3], &v[4]), -100);
  sim->SetCannedReply(91, std::vector<uint8_t>(7, 1));
  EXPECT_EQ(Q_GetHolidayTZ(handle, 2, &v[0], &v[1], &v[2], &v[3], &v[4]), -2);
  EXPECT_EQ(v[4], 700);
}

TEST_F(AccessE2E, RvmTerminalsNumberHolidaysTo99) {
  Connect(Rvm());
  ASSERT_EQ(Q_SetHolidayTZ(handle, 30, 5, 1, 5, 3, 9), 1);
  int32_t v[5] = {};
  ASSERT_EQ(Q_GetHolidayTZ(handle, 30, &v[0], &v[1], &v[2], &v[3], &v[4]), 1);
  EXPECT_EQ(v[4], 9);
  EXPECT_EQ(Q_GetHolidayTZ(handle, 100, &v[0], &v[1], &v[2], &v[3], &v[4]), 4);
}

TEST_F(AccessE2E, LockCombinationsAndUnlockGroups) {
  Connect(termsim::Profile::Ver660());
  EXPECT_EQ(Q_SetlockComb(handle, 11, 1, 0, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetlockComb(handle, -1, 1, 0, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetlockComb(handle, 1, 100, 0, 0, 0, 0), 4);
  EXPECT_EQ(Q_SetlockComb(handle, 1, 1, -1, 0, 0, 0), 4);
  EXPECT_EQ(Sent(30), 0u);
  ASSERT_EQ(Q_SetlockComb(handle, 2, 3, 0, 5, 0, 0), 1);
  EXPECT_EQ(LastPayload(30), (std::vector<uint8_t>{2, 3, 0, 5, 0, 0, 2, 0}));
  int32_t g[5] = {-1, -1, -1, -1, -1};
  ASSERT_EQ(Q_GetlockComb(handle, 2, &g[0], &g[1], &g[2], &g[3], &g[4]), 1);
  EXPECT_EQ((std::array<int32_t, 5>{g[0], g[1], g[2], g[3], g[4]}),
            (std::array<int32_t, 5>{3, 0, 5, 0, 0}));
  EXPECT_EQ(Q_GetlockComb(handle, 11, &g[0], &g[1], &g[2], &g[3], &g[4]), 4);

  // Eight characters of text are no combination.
  ASSERT_EQ(Q_SetUnlockGroups(handle, "12345678"), 1);
  EXPECT_EQ(LastPayload(30).size(), 8u);
  EXPECT_EQ(sim->GetAccessData().unlock_groups, "12345678");
  EXPECT_EQ(sim->GetAccessData().combinations.size(), 1u);
  std::array<char, 200> text{};
  text.fill('x');
  ASSERT_EQ(Q_GetUnlockGroups(handle, text.data()), 1);
  EXPECT_EQ(std::string(text.data()), "12345678");
  EXPECT_EQ(Q_SetUnlockGroups(handle, nullptr), 4);
  EXPECT_EQ(Q_GetUnlockGroups(handle, nullptr), 4);

  // An unterminated text of 300 bytes is cut within the 200.
  sim->SetCannedReply(29, std::vector<uint8_t>(300, 'a'));
  text.fill('x');
  ASSERT_EQ(Q_GetUnlockGroups(handle, text.data()), 1);
  EXPECT_EQ(std::string(text.data()), std::string(199, 'a'));
  sim->SetCannedReply(29, std::vector<uint8_t>{0, 1, 2, 3, 4});
  g[0] = -1;
  EXPECT_EQ(Q_GetlockComb(handle, 2, &g[0], &g[1], &g[2], &g[3], &g[4]), -2);
  EXPECT_EQ(g[0], -1);
  sim->SetCannedReply(29, std::nullopt);
  sim->SetCommandRefused(29, true);
  EXPECT_EQ(Q_GetlockComb(handle, 2, &g[0], &g[1], &g[2], &g[3], &g[4]), -100);
  text.fill('x');
  EXPECT_EQ(Q_GetUnlockGroups(handle, text.data()), -2);
  EXPECT_EQ(text[0], '\0');  // emptied first
}

TEST_F(AccessE2E, FixedGroupZones) {
  Connect(termsim::Profile::Ver660());
  EXPECT_EQ(Q_SetGroupTZ(handle, 100, 1, 2, 3, 0, 0), 4);
  EXPECT_EQ(Q_SetGroupTZ(handle, 1, 51, 2, 3, 0, 0), 4);
  EXPECT_EQ(Q_SetGroupTZ(handle, 1, -1, 2, 3, 0, 0), 4);
  EXPECT_EQ(Q_SetGroupTZ(handle, 1, 1, 2, 3, 1, 128), 4);
  EXPECT_EQ(Sent(26), 0u);
  ASSERT_EQ(Q_SetGroupTZ(handle, 7, 1, 2, 50, 1, 5), 1);
  EXPECT_EQ(LastPayload(26), (std::vector<uint8_t>{7, 1, 0, 2, 0, 50, 0, 0x85}));
  int32_t v[5] = {};
  ASSERT_EQ(Q_GetGroupTZ(handle, 7, &v[0], &v[1], &v[2], &v[3], &v[4]), 1);
  EXPECT_EQ((std::array<int32_t, 5>{v[0], v[1], v[2], v[3], v[4]}),
            (std::array<int32_t, 5>{1, 2, 50, 1, 5}));
  EXPECT_EQ(Q_GetGroupTZ(handle, 100, &v[0], &v[1], &v[2], &v[3], &v[4]), 4);
  sim->SetCannedReply(25, std::vector<uint8_t>(7, 1));
  EXPECT_EQ(Q_GetGroupTZ(handle, 7, &v[0], &v[1], &v[2], &v[3], &v[4]), -2);
  EXPECT_EQ(v[0], 1);
  sim->SetCannedReply(25, std::nullopt);
  sim->SetCommandRefused(25, true);
  EXPECT_EQ(Q_GetGroupTZ(handle, 7, &v[0], &v[1], &v[2], &v[3], &v[4]), -100);
}

TEST_F(AccessE2E, GroupZoneListsWriteThreeIntsOrFourOnColourScreens) {
  Connect(termsim::Profile::Ver660());
  const int32_t zones[4] = {4, 9, 0, 0};
  ASSERT_EQ(Q_SetGroupTZs(handle, 3, zones), 1);
  int32_t out[4] = {-1, -1, -1, 77};
  ASSERT_EQ(Q_GetGroupTZs(handle, 3, out), 1);
  EXPECT_EQ((std::array<int32_t, 4>{out[0], out[1], out[2], out[3]}),
            (std::array<int32_t, 4>{4, 9, 0, 77}));
  ASSERT_EQ(Q_SetGroupTZs(handle, 3, nullptr), 1);
  EXPECT_EQ(LastPayload(26).size(), 4u);
  EXPECT_EQ(Q_GetGroupTZs(handle, 3, nullptr), 4);
  Q_Close(handle);

  Connect(termsim::Profile::Tft());
  const int32_t tft_zones[4] = {2, 3, 5, 1};
  ASSERT_EQ(Q_SetGroupTZs(handle, 3, tft_zones), 1);
  int32_t tft_out[4] = {-1, -1, -1, 77};
  ASSERT_EQ(Q_GetGroupTZs(handle, 3, tft_out), 1);
  EXPECT_EQ((std::array<int32_t, 4>{tft_out[0], tft_out[1], tft_out[2], tft_out[3]}),
            (std::array<int32_t, 4>{2, 3, 5, 1}));
  sim->SetCannedReply(25, std::vector<uint8_t>(7, 1));
  EXPECT_EQ(Q_GetGroupTZs(handle, 3, tft_out), -2);
}

TEST_F(AccessE2E, MifareWritesCarryTheNumberHeaderAndSections) {
  Connect(termsim::Profile::Ver660());
  std::array<uint8_t, 12> header{};
  header[0] = 10;  // sections of 10, 0, 6 and 1 bytes
  header[6] = 6;
  header[9] = 1;
  std::vector<uint8_t> data(4096);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(Q_MFWrite(handle, 300, header.data(), data.data()), 1);
  auto writes = sim->GetAccessData().card_writes;
  ASSERT_EQ(writes.size(), 1u);
  ASSERT_EQ(writes[0].size(), 2u + 12 + 17);
  EXPECT_EQ(writes[0][0] | (writes[0][1] << 8), 300);
  EXPECT_EQ(writes[0][2 + 12 + 16], 16);

  // Wide user numbers: the number takes 4 bytes once the width is known.
  sim->SetPinWidth(9);
  AskPinWidth();
  ASSERT_EQ(Q_MFWrite(handle, 123456, header.data(), data.data()), 1);
  writes = sim->GetAccessData().card_writes;
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1].size(), 4u + 12 + 17);

  struct Case {
    uint16_t word;
    int32_t result;
  };
  for (const Case c : {Case{2, 0}, Case{1, -4}, Case{4, -5}, Case{7, -2}}) {
    sim->SetCommandAnswer(76, termsim::CommandAnswer{wire::CMD_ACK_ERROR, c.word});
    EXPECT_EQ(Q_MFWrite(handle, 1, header.data(), data.data()), c.result) << c.word;
  }
  sim->SetCommandAnswer(76, std::nullopt);

  std::array<uint8_t, 12> too_long{};
  too_long[0] = 0x00;
  too_long[1] = 0x10;  // 4096
  too_long[3] = 1;
  const auto sent = Sent(76);
  EXPECT_EQ(Q_MFWrite(handle, 1, too_long.data(), data.data()), 4);
  EXPECT_EQ(Q_MFWrite(handle, 1, nullptr, data.data()), 4);
  EXPECT_EQ(Q_MFWrite(handle, 1, header.data(), nullptr), 4);
  EXPECT_EQ(Sent(76), sent);

  ASSERT_EQ(Q_MFEmpty(handle), 1);
  EXPECT_EQ(sim->GetAccessData().cards_emptied, 1);
  sim->SetCommandAnswer(78, termsim::CommandAnswer{wire::CMD_ACK_ERROR, 4});
  EXPECT_EQ(Q_MFEmpty(handle), -5);
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each read that succeeds waits a second: one test holds them all.
TEST_F(AccessE2E, DataKindsAreSavedToFiles) {
  Connect(termsim::Profile::Ver660());
  const auto dir = std::filesystem::temp_directory_path() /
                   ("termkit_getdata_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                    "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
  std::filesystem::create_directories(dir);
  const auto file = dir / "kind.dat";
  {
    std::ofstream(file, std::ios::binary) << "old";
  }
  // No such data: nothing written.
  EXPECT_EQ(Q_GetData(handle, 12, file.c_str()), 0);
  EXPECT_EQ(FileText(file), "old");

  // A count of 5 but 7 bytes after it: the 5 the count names.
  sim->SetDataSet(wire::CMD_DB_RRQ, {12}, {5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'g'});
  ASSERT_EQ(Q_GetData(handle, 0x10C, file.c_str()), 1);  // only the low byte travels
  EXPECT_EQ(FileText(file), "abcde");
  EXPECT_EQ(LastPayload(wire::CMD_QUERY_DATA).at(3), 12);

  // A file that cannot be written: 4, and the old one is still there.
  EXPECT_EQ(Q_GetData(handle, 12, dir.c_str()), 4);
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_EQ(Q_GetData(handle, 12, (dir / "missing" / "x.dat").c_str()), 4);
  EXPECT_EQ(FileText(file), "abcde");
  EXPECT_EQ(Q_GetData(handle, 12, nullptr), 4);
  std::filesystem::remove_all(dir);
}

}  // namespace
