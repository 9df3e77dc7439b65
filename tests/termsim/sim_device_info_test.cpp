// What the terminal reports about itself: clock, storage counters, PIN
// width, status text and device firmware.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/tick.h"
#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using simtest::Bytes;
using simtest::SimClient;

std::vector<uint8_t> Word(uint32_t v) {
  std::vector<uint8_t> out(4);
  wire::ByteWriter(out).U32(v);
  return out;
}

uint32_t WordOf(const std::vector<uint8_t>& payload) {
  wire::ByteReader r(payload);
  return r.U32();
}

class SimDeviceInfoTest : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile = termsim::Profile::Ver660()) {
    sim_ = std::make_unique<termsim::Simulator>(profile);
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    client_ = std::make_unique<SimClient>(sim_->udp_port());
    ASSERT_TRUE(client_->Connect());
  }

  std::optional<simtest::Answer> Ask(uint16_t code, const std::vector<uint8_t>& data = {}) {
    return client_->Exchange(code, counter_++, data);
  }

  uint16_t counter_ = 1;
  std::unique_ptr<termsim::Simulator> sim_;
  std::unique_ptr<SimClient> client_;
};

TEST(PackedTimeTest, PacksAndUnpacks) {
  const termsim::DateTime last{2030, 12, 31, 23, 59, 59};
  EXPECT_EQ(termsim::PackTime(last), 996364799u);
  EXPECT_EQ(termsim::UnpackTime(996364799u), last);
  EXPECT_EQ(termsim::PackTime({2000, 1, 1, 0, 0, 0}), 0u);
  EXPECT_EQ(termsim::UnpackTime(0), (termsim::DateTime{2000, 1, 1, 0, 0, 0}));
  const termsim::DateTime leap{2024, 2, 29, 12, 0, 1};
  EXPECT_EQ(termsim::UnpackTime(termsim::PackTime(leap)), leap);
}

TEST_F(SimDeviceInfoTest, ClockIsSetAndReadInPackedTime) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.clock = {2024, 1, 15, 8, 30, 0};
  Start(profile);
  auto now = Ask(201);
  ASSERT_TRUE(now);
  EXPECT_EQ(now->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(now->payload, Word(termsim::PackTime(profile.clock)));

  auto set = Ask(202, Word(996364799u));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->ClockPacked(), 996364799u);
  auto back = Ask(201);
  ASSERT_TRUE(back);
  EXPECT_EQ(WordOf(back->payload), 996364799u);

  auto short_set = Ask(202, {1, 2, 3});
  ASSERT_TRUE(short_set);
  EXPECT_EQ(short_set->header.code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim_->ClockPacked(), 996364799u);
}

TEST_F(SimDeviceInfoTest, RunningClockGoesOnThroughTheCalendar) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.clock_runs = true;
  Start(profile);
  // 30 April 23:59:59 is followed by 1 May, not by 31 April.
  sim_->SetClockPacked(termsim::PackTime({2023, 4, 30, 23, 59, 59}));
  termsim::DateTime later;
  for (int i = 0; i < 40; ++i) {
    later = termsim::UnpackTime(sim_->ClockPacked());
    if (later.second != 59) break;
    platform::SleepMs(50);
  }
  EXPECT_EQ(later, (termsim::DateTime{2023, 5, 1, 0, 0, 0}));
}

TEST_F(SimDeviceInfoTest, StorageCountersInBothRequestForms) {
  Start();
  sim_->SetStorageWord(6, 1234);
  auto all = Ask(wire::CMD_GET_FREE_SIZES);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->header.code, wire::CMD_ACK_OK);
  ASSERT_EQ(all->payload.size(), 25u * 4);
  wire::ByteReader r(all->payload);
  std::vector<uint32_t> words;
  for (int i = 0; i < 25; ++i) words.push_back(r.U32());
  // Stored fingerprints (word 6) and faces (word 20) within their
  // capacities (words 14 and 22).
  EXPECT_EQ(words[6], 1234u);
  EXPECT_EQ(words[14], sim_->StorageWord(14));
  EXPECT_GT(words[14], words[6]);
  EXPECT_LE(words[20], words[22]);

  for (int word : {6, 14, 20, 22, 24}) {
    auto one = Ask(wire::CMD_GET_FREE_SIZES, Word(static_cast<uint32_t>(word)));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->header.code, wire::CMD_ACK_OK);
    EXPECT_EQ(one->payload, Word(words[static_cast<size_t>(word)])) << word;
  }
  for (const std::vector<uint8_t>& bad : {Word(25), std::vector<uint8_t>{6, 0}}) {
    auto refused = Ask(wire::CMD_GET_FREE_SIZES, bad);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->header.code, wire::CMD_ACK_ERROR);
  }
}

TEST_F(SimDeviceInfoTest, PinWidthStatusAndDeviceFirmware) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.device_status = 3;
  profile.device_firmware = "Ver 6.60 Oct 26 2009 (MCU 2.1)";
  Start(profile);
  auto width = Ask(69, {0, 0});
  ASSERT_TRUE(width);
  EXPECT_EQ(width->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(width->payload, (std::vector<uint8_t>{9}));
  sim_->SetPinWidth(14);
  EXPECT_EQ(Ask(69, {0, 0})->payload, (std::vector<uint8_t>{14}));

  auto status = Ask(2998);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(status->payload, Bytes("~Busy=0\n~DeviceStatus=3\n"));

  auto firmware = Ask(10019);
  ASSERT_TRUE(firmware);
  EXPECT_EQ(firmware->payload, Bytes(profile.device_firmware));
}

TEST_F(SimDeviceInfoTest, OldFirmwareLacksNewerCommands) {
  Start(termsim::Profile::Old());
  for (uint16_t code : {uint16_t{501}, uint16_t{69}, uint16_t{2998}, uint16_t{10019}}) {
    auto a = Ask(code);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_UNKNOWN) << code;
  }
  auto fw = Ask(wire::kFirmwareVersion);
  ASSERT_TRUE(fw);
  EXPECT_EQ(fw->payload, Bytes("Ver 4.52 Mar 15 2006"));
}

TEST_F(SimDeviceInfoTest, RefusedCommands) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.refused_commands = {69};
  Start(profile);
  EXPECT_EQ(Ask(69, {0, 0})->header.code, wire::CMD_ACK_ERROR);
  sim_->SetCommandRefused(69, false);
  sim_->SetCommandRefused(201, true);
  EXPECT_EQ(Ask(69, {0, 0})->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(Ask(201)->header.code, wire::CMD_ACK_ERROR);
}

}  // namespace
