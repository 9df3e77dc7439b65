// The terminal's option probe and its scrambled system-option writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using simtest::Bytes;
using simtest::SimClient;

// What a host sends for a '~' option to a terminal without "~OS".
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

class SimOptionsTest : public ::testing::Test {
 protected:
  void Start(termsim::Profile profile) {
    sim_ = std::make_unique<termsim::Simulator>(profile);
    ASSERT_TRUE(sim_->StartUdp("127.0.0.1", 0));
    client_ = std::make_unique<SimClient>(sim_->udp_port());
    ASSERT_TRUE(client_->Connect());
  }

  uint16_t counter_ = 1;
  std::optional<simtest::Answer> Ask(uint16_t code, const std::vector<uint8_t>& data) {
    return client_->Exchange(code, counter_++, data);
  }

  std::unique_ptr<termsim::Simulator> sim_;
  std::unique_ptr<SimClient> client_;
};

TEST_F(SimOptionsTest, ProbeListsTheAskedOptionsTheTerminalHas) {
  termsim::Profile profile;
  profile.options = {{"~OS", "1"}, {"~Platform", "ZEM560_TFT"}, {"Language", ""}, {"X", "9"}};
  Start(profile);
  auto a = Ask(wire::kOptionProbe, Bytes("~OS=?,FaceFunOn=?,~Platform=?,Language=?", false));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(a->payload, Bytes("~OS=1,~Platform=ZEM560_TFT,Language="));
}

TEST_F(SimOptionsTest, ProbeAnswerModes) {
  struct Case {
    termsim::ProbeAnswer mode;
    uint16_t code;
    std::vector<uint8_t> payload;
  };
  const Case cases[] = {
      {termsim::ProbeAnswer::kUnknown, wire::CMD_ACK_UNKNOWN, {}},
      {termsim::ProbeAnswer::kError, wire::CMD_ACK_ERROR, {}},
      {termsim::ProbeAnswer::kEmpty, wire::CMD_ACK_OK, Bytes("")},
      {termsim::ProbeAnswer::kGarbage, wire::CMD_ACK_OK, Bytes("NOT SUPPORTED")},
  };
  for (const Case& c : cases) {
    termsim::Profile profile = termsim::Profile::Ver660();
    profile.option_probe = c.mode;
    Start(profile);
    auto a = Ask(wire::kOptionProbe, Bytes("~OS=?", false));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, c.code);
    EXPECT_EQ(a->payload, c.payload);
  }
}

TEST_F(SimOptionsTest, ProbeAnswerStaysWithinOnePacket) {
  termsim::Profile profile;
  std::string asked;
  for (int i = 0; i < 30; ++i) {
    const std::string key = "K" + std::to_string(i);
    profile.options[key] = std::string(60, 'v');
    asked += (asked.empty() ? "" : ",") + key + "=?";
  }
  Start(profile);
  auto a = Ask(wire::kOptionProbe, Bytes(asked, false));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  ASSERT_FALSE(a->payload.empty());
  EXPECT_LE(a->payload.size(), 1024u);
  EXPECT_EQ(a->payload.back(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a->payload.data())).substr(0, 4), "K0=v");
}

TEST_F(SimOptionsTest, WithoutOsSystemOptionsArriveScrambled) {
  Start(termsim::Profile::Old());
  for (uint16_t command : {uint16_t{wire::CMD_OPTIONS_WRQ}, uint16_t{2999}}) {
    auto a = Ask(command, Bytes("~Test=" + Scramble("12", 0xA7)));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
    EXPECT_EQ(sim_->Option("~Test"), "12");
    sim_->SetOption("~Test", "");
  }
  // Read back, the terminal gives the plain value.
  ASSERT_TRUE(Ask(wire::CMD_OPTIONS_WRQ, Bytes("~DeviceName=" + Scramble("Hall 3", 0x00))));
  auto back = Ask(wire::CMD_OPTIONS_RRQ, Bytes("~DeviceName"));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->payload, Bytes("~DeviceName=Hall 3"));

  // An empty value is the key byte alone.
  ASSERT_TRUE(Ask(wire::CMD_OPTIONS_WRQ, Bytes("~Test=" + Scramble("", 0x3C))));
  EXPECT_EQ(sim_->Option("~Test"), "");

  // Not scrambled: plain options, and the customer data, which hosts send
  // as it is.
  ASSERT_TRUE(Ask(wire::CMD_OPTIONS_WRQ, Bytes("Language=2")));
  EXPECT_EQ(sim_->Option("Language"), "2");
  ASSERT_TRUE(Ask(wire::CMD_OPTIONS_WRQ, Bytes("~CustData=ABCD")));
  EXPECT_EQ(sim_->Option("~CustData"), "ABCD");
}

TEST_F(SimOptionsTest, MalformedScrambledValuesAreRefused) {
  Start(termsim::Profile::Old());
  sim_->SetOption("~Test", "kept");
  for (const char* bad : {"~Test=ABC", "~Test=ZZ11", "~Test=", "~Test=4141"}) {
    auto a = Ask(wire::CMD_OPTIONS_WRQ, Bytes(bad));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_ERROR) << bad;  // 4141 decodes to a NUL
  }
  EXPECT_EQ(sim_->Option("~Test"), "kept");
}

TEST_F(SimOptionsTest, WithOsSystemOptionsArrivePlain) {
  Start(termsim::Profile::Ver660());
  auto a = Ask(wire::CMD_OPTIONS_WRQ, Bytes("~Test=12"));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->Option("~Test"), "12");
  ASSERT_TRUE(Ask(2999, Bytes("~Maker=Acme")));
  EXPECT_EQ(sim_->Option("~Maker"), "Acme");
}

}  // namespace
