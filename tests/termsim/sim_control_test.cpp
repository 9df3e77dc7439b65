// Commands that drive the terminal: each is answered and kept for tests.
#include <gtest/gtest.h>

#include <memory>

#include "sim_client.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using simtest::SimClient;

class SimControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<termsim::Simulator>(termsim::Profile::Ver660());
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

struct ControlCase {
  uint16_t code;
  std::vector<uint8_t> data;
};

TEST_F(SimControlTest, EachCommandIsAnsweredAndKept) {
  const ControlCase cases[] = {
      {1003, {0, 0, 0, 0}},  // disable
      {1002, {}},            // enable
      {1005, {}},
      {1006, {}},
      {1007, {}},
      {1022, {}},
      {1013, {}},                    // refresh data
      {1014, {}},                    // refresh options
      {31, {5, 0, 0, 0}},            // unlock for 5
      {61, {0x39, 0x30, 0, 0, 3}},   // enrol user 12345, finger 3 (wide)
      {61, {0x0C, 0x00, 2}},         // enrol user 12, finger 2
      {60, {0x0C, 0x00, 1}},         // verify user 12
      {60, {}},                      // identify
      {62, {}},                      // cancel
      {66, {1, 2, 0, 'H', 'i', 0}},  // LCD text at row 1, column 2
      {67, {}},                      // clear LCD
      {1020, {3, 1, 0, 0, 50}},      // beep for 1000 ms
      {1017, {4, 7}},
      {1017, {9}},  // voices
      {57, {1}},    // clock display on
      {10008, {}},
      {10030, {}},
      {10034, {}},
  };
  std::vector<termsim::ControlCommand> expected;
  for (const ControlCase& c : cases) {
    auto a = Ask(c.code, c.data);
    ASSERT_TRUE(a) << c.code;
    EXPECT_EQ(a->header.code, wire::CMD_ACK_OK) << c.code;
    expected.push_back({c.code, c.data});
  }
  EXPECT_EQ(sim_->ControlCommands(), expected);
  EXPECT_TRUE(sim_->DeviceEnabled());
  sim_->ClearControlCommands();
  EXPECT_TRUE(sim_->ControlCommands().empty());
}

TEST_F(SimControlTest, IncompleteRequestsAreRefusedButKept) {
  const ControlCase cases[] = {
      {31, {5, 0}},              // delay cut short
      {61, {1, 0}},              // no finger index
      {60, {1}},                 // half a user number
      {66, {1, 2}},              // no text start
      {1020, {3, 5, 0, 0, 50}},  // says 5 data bytes, has 1
      {1017, {}},
      {1017, {1, 2, 3}},
      {57, {}},
  };
  for (const ControlCase& c : cases) {
    auto a = Ask(c.code, c.data);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.code, wire::CMD_ACK_ERROR) << c.code;
  }
  EXPECT_EQ(sim_->ControlCommands().size(), std::size(cases));
}

TEST_F(SimControlTest, DisableAndEnable) {
  ASSERT_TRUE(Ask(1003, {0, 0, 0, 0}));
  EXPECT_FALSE(sim_->DeviceEnabled());
  ASSERT_TRUE(Ask(1002));
  EXPECT_TRUE(sim_->DeviceEnabled());
}

TEST_F(SimControlTest, DoorStateAndMachineState) {
  sim_->SetDoorState(1);
  auto door = Ask(75);
  ASSERT_TRUE(door);
  EXPECT_EQ(door->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(door->payload, (std::vector<uint8_t>{1}));

  // The state comes back in the reply header's connection word.
  sim_->SetMachineState(3);
  auto state = Ask(64);
  ASSERT_TRUE(state);
  EXPECT_EQ(state->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(state->header.connection_id, 3);
  EXPECT_EQ(state->header.reply_counter, counter_ - 1);
}

TEST_F(SimControlTest, RestartEndsTheConversation) {
  ASSERT_TRUE(Ask(1003, {0, 0, 0, 0}));
  EXPECT_EQ(sim_->SessionCount(), 1u);
  auto a = Ask(1004);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_OK);
  EXPECT_EQ(sim_->SessionCount(), 0u);
  EXPECT_EQ(sim_->RestartCount(), 1);
  EXPECT_TRUE(sim_->DeviceEnabled());  // comes back up enabled
}

TEST_F(SimControlTest, RefusedRestartKeepsTheConversation) {
  sim_->SetCommandRefused(1004, true);
  auto a = Ask(1004);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->header.code, wire::CMD_ACK_ERROR);
  EXPECT_EQ(sim_->SessionCount(), 1u);
  EXPECT_EQ(sim_->RestartCount(), 0);
}

}  // namespace
