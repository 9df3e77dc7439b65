// The option cache of the engine library, over the UDP plug-in, against the
// terminal simulator: which option commands actually reach the terminal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using wire::CMD_ACK_ERROR;
using wire::CMD_ACK_OK;

constexpr int32_t kTimeoutMs = 1000;
constexpr uint16_t kManufacturerWrite = 2999;

// What the device library sends for a '~' option to a terminal without "~OS".
std::string Scramble(const std::string& plain, uint8_t key) {
  std::string hex;
  char pair[3];
  uint8_t b = key;
  std::snprintf(pair, sizeof(pair), "%02X", b);
  hex += pair;
  for (char c : plain) {
    b = static_cast<uint8_t>(b ^ static_cast<uint8_t>(c));
    std::snprintf(pair, sizeof(pair), "%02X", b);
    hex += pair;
  }
  return hex;
}

class OptionCacheE2ETest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle_ != nullptr) DEVWIRE_CLOSE(handle_);
  }

  void Connect(const termsim::Profile& profile) {
    sim_ = std::make_unique<termsim::Simulator>(profile);
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    handle_ = DEVWIRE_INIT("comms.dll", "127.0.0.1", sim_->udp_port(), 0, nullptr, nullptr,
                           static_cast<int32_t>(profile.comm_password), nullptr);
    ASSERT_NE(handle_, nullptr);
  }

  // An option read as the device library makes it: name and terminator in,
  // 200 bytes of room. The answer text, or nothing when not CMD_ACK_OK.
  uint16_t Read(const std::string& name, std::string* value = nullptr) {
    std::vector<char> buffer(200, 0);
    std::memcpy(buffer.data(), name.c_str(), name.size() + 1);
    uint16_t code = wire::CMD_OPTIONS_RRQ;
    DEVWIRE_SENDCMD(handle_, &code, buffer.data(), 200, static_cast<int32_t>(name.size() + 1),
                    kTimeoutMs);
    if (value != nullptr) {
      const std::string text(buffer.data());
      *value = text.substr(0, name.size() + 1) == name + "=" ? text.substr(name.size() + 1) : "";
    }
    return code;
  }

  uint16_t Write(const std::string& assignment, uint16_t command = wire::CMD_OPTIONS_WRQ) {
    std::vector<char> buffer(assignment.begin(), assignment.end());
    buffer.push_back('\0');
    uint16_t code = command;
    DEVWIRE_SENDCMD(handle_, &code, buffer.data(), 0, static_cast<int32_t>(buffer.size()),
                    kTimeoutMs);
    return code;
  }

  uint16_t FirmwareVersion() {
    std::vector<char> buffer(50, 0);
    uint16_t code = wire::kFirmwareVersion;
    DEVWIRE_SENDCMD(handle_, &code, buffer.data(), 50, 0, kTimeoutMs);
    return code;
  }

  std::unique_ptr<termsim::Simulator> sim_;
  DEVWIRE_HANDLE handle_ = nullptr;
};

TEST_F(OptionCacheE2ETest, ConnectProbeOfAVer660TerminalCostsOneProbe) {
  Connect(termsim::Profile::Ver660());
  sim_->ClearReceived();

  // What the device library asks while it connects.
  EXPECT_EQ(Write("SDKBuild=1"), CMD_ACK_OK);
  std::string value;
  EXPECT_EQ(Read("QXFaceVersion"), CMD_ACK_ERROR);  // not a probe key, and unknown here
  EXPECT_EQ(FirmwareVersion(), CMD_ACK_OK);
  EXPECT_EQ(Read("~OS", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(Read("~ExtendFmt", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(Read("ExtendOPLog", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "1");
  EXPECT_EQ(Read("~Platform", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "ZEM510");
  EXPECT_EQ(Read("~QXFPVersion", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "10");

  std::vector<uint16_t> codes;
  for (const auto& p : sim_->Received()) codes.push_back(p.code);
  EXPECT_EQ(codes, (std::vector<uint16_t>{wire::CMD_OPTIONS_WRQ, wire::kOptionProbe,
                                          wire::CMD_OPTIONS_RRQ, wire::kFirmwareVersion}));
  EXPECT_EQ(sim_->Option("SDKBuild"), "1");
}

TEST_F(OptionCacheE2ETest, CachedReadsCostNoPacket) {
  Connect(termsim::Profile::Tft());
  std::string value;
  ASSERT_EQ(Read("~DeviceName", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "iFace302");
  const size_t before = sim_->ReceivedCount();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Read("~DeviceName", &value), CMD_ACK_OK);
    EXPECT_EQ(Read("FaceFunOn", &value), CMD_ACK_OK);
    EXPECT_EQ(value, "1");
  }
  EXPECT_EQ(sim_->ReceivedCount(), before);
}

TEST_F(OptionCacheE2ETest, ListedOptionsTheTerminalLacksAreNotAsked) {
  Connect(termsim::Profile::Ver660());
  std::string value;
  ASSERT_EQ(Read("~OS"), CMD_ACK_OK);
  sim_->ClearReceived();
  EXPECT_EQ(Read("FaceFunOn"), CMD_ACK_ERROR);
  EXPECT_EQ(sim_->ReceivedCount(), 0u);
  // Options the probe does not ask for are asked every time.
  EXPECT_EQ(Read("IPAddress", &value), CMD_ACK_OK);
  EXPECT_EQ(Read("IPAddress", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "192.168.1.201");
  EXPECT_EQ(sim_->CountReceived(wire::CMD_OPTIONS_RRQ), 2u);
}

TEST_F(OptionCacheE2ETest, WritesOfBothCommandsReachTheCache) {
  Connect(termsim::Profile::Ver660());
  std::string value;
  for (const auto& [command, language] :
       {std::pair<uint16_t, const char*>{wire::CMD_OPTIONS_WRQ, "2"},
        std::pair<uint16_t, const char*>{kManufacturerWrite, "3"}}) {
    ASSERT_EQ(Write(std::string("Language=") + language, command), CMD_ACK_OK);
    EXPECT_EQ(sim_->Option("Language"), language);
    sim_->ClearReceived();
    EXPECT_EQ(Read("Language", &value), CMD_ACK_OK);
    EXPECT_EQ(value, language);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
  }

  // A write the terminal turns down leaves the cached value alone.
  sim_->SetCommandRefused(wire::CMD_OPTIONS_WRQ, true);
  EXPECT_EQ(Write("Language=4"), CMD_ACK_ERROR);
  EXPECT_EQ(Read("Language", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "3");
}

TEST_F(OptionCacheE2ETest, ScrambledWriteIsReadBackPlainFromTheTerminal) {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.options.erase("~OS");  // the device library scrambles '~' values
  Connect(profile);
  std::string value;
  ASSERT_EQ(Read("~DeviceName", &value), CMD_ACK_OK);
  EXPECT_EQ(value, "B3-C");

  for (const uint16_t command : {uint16_t{wire::CMD_OPTIONS_WRQ}, kManufacturerWrite}) {
    const std::string plain = command == kManufacturerWrite ? "Gate 2" : "Lobby";
    ASSERT_EQ(Write("~DeviceName=" + Scramble(plain, 0x5B), command), CMD_ACK_OK);
    EXPECT_EQ(sim_->Option("~DeviceName"), plain);
    sim_->ClearReceived();
    EXPECT_EQ(Read("~DeviceName", &value), CMD_ACK_OK);
    EXPECT_EQ(value, plain);  // never the hexadecimal text
    EXPECT_EQ(sim_->CountReceived(wire::CMD_OPTIONS_RRQ), 1u);
  }
}

TEST_F(OptionCacheE2ETest, TerminalWithoutTheProbeIsAskedForEachOption) {
  Connect(termsim::Profile::Old());
  std::string value;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Read("~Platform", &value), CMD_ACK_OK);
    EXPECT_EQ(value, "ZEM100");
    EXPECT_EQ(Read("~OS"), CMD_ACK_ERROR);
  }
  EXPECT_EQ(sim_->CountReceived(wire::kOptionProbe), 1u);
  EXPECT_EQ(sim_->CountReceived(wire::CMD_OPTIONS_RRQ), 6u);
}

TEST_F(OptionCacheE2ETest, ProbeAnsweredWithNothingUsableIsNoProbe) {
  for (const termsim::ProbeAnswer mode :
       {termsim::ProbeAnswer::kEmpty, termsim::ProbeAnswer::kGarbage}) {
    termsim::Profile profile = termsim::Profile::Ver660();
    profile.option_probe = mode;
    Connect(profile);
    std::string value;
    EXPECT_EQ(Read("~Platform", &value), CMD_ACK_OK);
    EXPECT_EQ(value, "ZEM510");
    EXPECT_EQ(Read("FaceFunOn"), CMD_ACK_ERROR);
    EXPECT_EQ(Read("~Platform", &value), CMD_ACK_OK);
    EXPECT_EQ(sim_->CountReceived(wire::kOptionProbe), 1u);
    EXPECT_EQ(sim_->CountReceived(wire::CMD_OPTIONS_RRQ), 3u);
    DEVWIRE_CLOSE(handle_);
    handle_ = nullptr;
  }
}

}  // namespace
