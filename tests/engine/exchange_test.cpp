// One exchange over a scripted transport: what goes out, which replies count,
// and what reaches the caller's buffer.
#include "exchange/exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "devwire.h"
#include "engine_fixture.h"
#include "exchange/reader_channel.h"
#include "wire/packet.h"

namespace enginetest {
namespace {

using wire::CMD_ACK_OK;

class ExchangeTest : public EngineFixture {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(ExchangeTest, CommandsCarryTheConnectionAndCounter) {
  EXPECT_EQ(conn->connection_id, 0x1234);
  EXPECT_EQ(Run(wire::CMD_ENABLEDEVICE), CMD_ACK_OK);
  EXPECT_EQ(Run(wire::CMD_DISABLEDEVICE), CMD_ACK_OK);
  ASSERT_EQ(term.commands.size(), 2u);
  EXPECT_EQ(term.commands[0].connection_id, 0x1234);
  EXPECT_EQ(term.commands[0].counter, 1);
  EXPECT_EQ(term.commands[1].counter, 2);
  EXPECT_TRUE(term.commands[1].checksum_ok);
}

TEST_F(ExchangeTest, ResultIsTheReplysConnectionWord) {
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Push(CMD_ACK_OK, 0xBEEF, c.counter);
  };
  int32_t result = 0;
  EXPECT_EQ(Run(1002, {}, {}, 100, &result), CMD_ACK_OK);
  EXPECT_EQ(result, 0xBEEF);
}

// Whatever precedes the reply is read past without harm; the command is sent
// again and the reply to either send is taken.
struct JunkCase {
  const char* what;
  std::vector<uint8_t> bytes;
  std::optional<int32_t> result;
  int32_t last_error;
  int32_t connect_status;
};

class JunkBeforeReplyTest : public ExchangeTest, public ::testing::WithParamInterface<JunkCase> {};

TEST_P(JunkBeforeReplyTest, IsDroppedAndTheCommandSucceeds) {
  const JunkCase& junk = GetParam();
  term.PushRaw(junk.bytes, junk.result);
  std::array<uint8_t, 8> reply{};
  EXPECT_EQ(Run(60, {}, reply), CMD_ACK_OK) << junk.what;
  EXPECT_EQ(term.commands.size(), 2u) << junk.what;
  EXPECT_EQ(term.commands[0].raw, term.commands[1].raw) << "a resend is the same packet";
  EXPECT_EQ(conn->last_error.load(), junk.last_error) << junk.what;
  EXPECT_EQ(conn->connect_status.load(), junk.connect_status) << junk.what;
}

std::vector<uint8_t> BadChecksum() {
  auto p = FakeTerminal::Packet(CMD_ACK_OK, 0x1234, 1, {1, 2, 3});
  p[2] ^= 0xFF;
  return p;
}

INSTANTIATE_TEST_SUITE_P(
    Junk, JunkBeforeReplyTest,
    ::testing::Values(
        JunkCase{"silence", {}, 0, 0, 0},
        JunkCase{"runt of 7 bytes", {0xD0, 0x07, 0x00, 0x00, 0x34, 0x12, 0x01}, std::nullopt, 0, 0},
        JunkCase{"bad checksum", BadChecksum(), std::nullopt, DEVWIRE_E_BAD_CHECKSUM, 0},
        JunkCase{"count beyond the buffer", FakeTerminal::Packet(CMD_ACK_OK, 0x1234, 1, {}), 5000,
                 0, 0},
        JunkCase{"socket error", {}, -10054, 0, -10054},
        JunkCase{"reconnected", {}, DEVORU_RECONNECTED, 0, DEVORU_RECONNECTED}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(ExchangeTest, LongReplyIsCutToTheCallersBuffer) {
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, CMD_ACK_OK, std::vector<uint8_t>(1024, 0x5A));
  };
  std::array<uint8_t, 48> area{};
  area.fill(0xC3);
  std::span<uint8_t> buffer(area.data() + 16, 16);
  EXPECT_EQ(Run(1002, {}, buffer), CMD_ACK_OK);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x5A; }));
  EXPECT_TRUE(std::all_of(area.begin(), area.begin() + 16, [](uint8_t b) { return b == 0xC3; }));
  EXPECT_TRUE(std::all_of(area.begin() + 32, area.end(), [](uint8_t b) { return b == 0xC3; }));
}

TEST_F(ExchangeTest, AcceptedReplyZeroesTheBufferOthersDoNot) {
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, c.code == 1 ? wire::CMD_ACK_ERROR : CMD_ACK_OK, {7, 8, 9});
  };
  std::array<uint8_t, 6> buffer;
  buffer.fill(0xFF);
  EXPECT_EQ(Run(2, {}, buffer), CMD_ACK_OK);
  EXPECT_EQ(buffer, (std::array<uint8_t, 6>{7, 8, 9, 0, 0, 0}));
  EXPECT_EQ(conn->last_error.load(), 0);

  buffer.fill(0xFF);
  EXPECT_EQ(Run(1, {}, buffer), wire::CMD_ACK_ERROR);
  EXPECT_EQ(buffer, (std::array<uint8_t, 6>{7, 8, 9, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(conn->last_error.load(), -2001);
}

TEST_F(ExchangeTest, StaleReplyIsIgnoredWithoutResending) {
  EXPECT_EQ(Run(1002), CMD_ACK_OK);  // counter 1
  term.commands.clear();
  // A duplicate answer to counter 1 is still on its way when counter 2 goes out.
  term.Push(wire::CMD_ACK_ERROR, 0x1234, 1);
  std::array<uint8_t, 4> reply{};
  EXPECT_EQ(Run(1003, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(term.commands.size(), 1u);
  EXPECT_EQ(conn->last_error.load(), DEVWIRE_E_STALE_REPLY);
}

TEST_F(ExchangeTest, LateReplyToAnEarlierAttemptIsAccepted) {
  // The first send goes unanswered until the second is out; the answer
  // carries the number both sends carried.
  std::optional<uint16_t> first_counter;
  term.on_command = [&](FakeTerminal& t, const enginetest::Command& c) {
    if (!first_counter) {
      first_counter = c.counter;
      return;
    }
    t.Push(CMD_ACK_OK, t.session_id, *first_counter, {42});
  };
  std::array<uint8_t, 1> reply{};
  EXPECT_EQ(Run(1002, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(reply[0], 42);
  EXPECT_EQ(term.commands.size(), 2u);
}

TEST_F(ExchangeTest, CounterWrapNeverDropsAGoodReplyButDropsAnOldOne) {
  conn->reply_counter = 65535;
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  EXPECT_EQ(term.commands.back().counter, 65535);
  EXPECT_EQ(conn->reply_counter, 0);

  // Counter 0 goes out; a late duplicate answer to 65535 arrives first.
  term.Push(wire::CMD_ACK_ERROR, 0x1234, 65535, {0xEE});
  std::array<uint8_t, 1> reply{};
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, CMD_ACK_OK, {0x11});
  };
  EXPECT_EQ(Run(1003, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(term.commands.back().counter, 0);
  EXPECT_EQ(reply[0], 0x11);
  EXPECT_EQ(conn->last_error.load(), DEVWIRE_E_STALE_REPLY);
}

TEST_F(ExchangeTest, EventIsAcknowledgedAndTheWaitGoesOn) {
  term.Push(wire::kEventPacket, 8, 77, {1, 2, 3, 4});
  std::array<uint8_t, 4> reply{};
  EXPECT_EQ(Run(1002, {}, reply), CMD_ACK_OK);
  ASSERT_EQ(term.commands.size(), 2u) << "the command once, then the acknowledgement";
  EXPECT_EQ(term.commands[0].code, 1002);
  EXPECT_EQ(term.commands[1].raw, FakeTerminal::Packet(CMD_ACK_OK, 0x1234, 77, {}));
}

TEST_F(ExchangeTest, EventFloodCannotHoldTheExchange) {
  term.on_command = [](FakeTerminal&, const enginetest::Command&) {};
  for (int i = 0; i < 200; ++i) term.Push(wire::kEventPacket, 1, static_cast<uint16_t>(i));
  EXPECT_EQ(Run(60, {}, {}, 0), wire::CMD_ACK_NO);
  EXPECT_EQ(term.read_calls, devwire::kMaxExtraReads + 1) << "one attempt, then the cap";
}

TEST_F(ExchangeTest, RetryWaitsAndResends) {
  int sends = 0;
  term.on_command = [&](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, ++sends == 1 ? wire::CMD_ACK_RETRY : CMD_ACK_OK);
  };
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  EXPECT_EQ(sends, 2);
  EXPECT_EQ(conn->last_error.load(), -2003);
}

TEST_F(ExchangeTest, RepeatCountsAsDoneOnlyWithoutAReplyBuffer) {
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, wire::CMD_ACK_REPEAT);
  };
  EXPECT_EQ(Run(60), CMD_ACK_OK);
  EXPECT_EQ(term.commands.size(), 1u);

  term.commands.clear();
  std::array<uint8_t, 4> reply{};
  EXPECT_EQ(Run(60, {}, reply), wire::CMD_ACK_REPEAT);
  EXPECT_EQ(term.commands.size(), 2u) << "tried again once";
  EXPECT_EQ(conn->last_error.load(), -2004);
}

TEST_F(ExchangeTest, UnansweredCommandIsTriedTwiceButStateChangingOnesOnce) {
  term.on_command = [](FakeTerminal&, const enginetest::Command&) {};
  int32_t result = 0;
  EXPECT_EQ(Run(60, {}, {}, 100, &result), wire::CMD_ACK_NO);
  EXPECT_EQ(result, -2);
  EXPECT_EQ(term.commands.size(), 4u) << "2 tries of 2 attempts";

  for (uint16_t code : {wire::CMD_APPEND_USER, wire::CMD_APPEND_USERTEMP, wire::CMD_ENABLEDEVICE}) {
    term.commands.clear();
    EXPECT_EQ(Run(code), wire::CMD_ACK_NO);
    EXPECT_EQ(term.commands.size(), 2u) << code;
  }
  term.commands.clear();
  std::array<uint8_t, 4> reply{};
  EXPECT_EQ(Run(30, {}, reply, 0), wire::CMD_ACK_NO);
  EXPECT_EQ(term.commands.size(), 1u) << "a time-out of 0 allows one attempt";
}

TEST_F(ExchangeTest, ExitToASilentTerminalReportsOk) {
  term.on_command = [](FakeTerminal&, const enginetest::Command&) {};
  EXPECT_EQ(Run(wire::CMD_EXIT, {}, {}, 10), CMD_ACK_OK);
  EXPECT_EQ(term.commands.size(), 1u);
}

TEST_F(ExchangeTest, ReconnectingTransportRestartsAFewTimesOnly) {
  for (int i = 0; i < 100; ++i) term.send_results.push_back(DEVORU_RECONNECTED);
  int32_t result = 0;
  EXPECT_EQ(Run(60, {}, {}, 100, &result), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(result, -1);
  // Two tries, each of 2 attempts plus the capped restarts.
  EXPECT_EQ(term.send_calls, 2 * (2 + devwire::kMaxAttemptRestarts));

  term.send_results.clear();
  term.send_results.push_back(DEVORU_RECONNECTED);
  term.commands.clear();
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  EXPECT_EQ(term.commands.size(), 1u);
}

TEST_F(ExchangeTest, OldLineFailureIsARecordNotATrap) {
  term.send_results = {-10054};
  EXPECT_EQ(Run(60), CMD_ACK_OK) << "the next attempt went out";
  EXPECT_EQ(conn->connect_status.load(), -10054);
  EXPECT_EQ(Run(1003), CMD_ACK_OK);
  EXPECT_EQ(conn->connect_status.load(), -10054);
}

TEST(WaitTimeoutTest, OnlyAFailureOfTheRunningAttemptCounts) {
  using devwire::WaitVerdict;
  struct Case {
    int32_t failure;
    WaitVerdict verdict;
  };
  const Case cases[] = {
      {0, WaitVerdict::kNextAttempt},
      {-10054, WaitVerdict::kStop},
      {-10004, WaitVerdict::kStop},
      {-11004, WaitVerdict::kStop},
      {DEVORU_LINE_LOST, WaitVerdict::kStop},
      {DEVORU_RECONNECTED, WaitVerdict::kRestart},
      {DEVORU_LINE_GONE, WaitVerdict::kNextAttempt},
      {-1, WaitVerdict::kNextAttempt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(devwire::ClassifyWaitTimeout(c.failure), c.verdict) << c.failure;
  }
}

TEST_F(ExchangeTest, DataLongerThanAPacketIsRefusedUnsent) {
  std::vector<uint8_t> data(1025, 1);
  int32_t result = 7;
  EXPECT_EQ(Run(8, data, {}, 100, &result), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(term.send_calls, 0) << "not even on the second try";
  EXPECT_EQ(result, 0);
  data.resize(1024);
  EXPECT_EQ(Run(8, data), CMD_ACK_OK);
  EXPECT_EQ(term.commands.back().raw.size(), 1032u);
}

TEST_F(ExchangeTest, CancelStopsEverythingButReleasingData) {
  conn->abort_flag = 1;
  EXPECT_EQ(Run(1002), wire::CMD_ACK_ERROR);
  EXPECT_EQ(term.send_calls, 0);
  EXPECT_EQ(Run(wire::CMD_FREE_DATA), CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::CMD_FREE_DATA), 1u);
  conn->abort_flag = 0;
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
}

TEST_F(ExchangeTest, SynchronousReadsUseTheWholePacketLength) {
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  ASSERT_FALSE(term.read_sizes.empty());
  EXPECT_EQ(term.read_sizes.back(), 1032);
  EXPECT_EQ(term.read_timeouts.back(), 100);
}

// --- Reply caches

TEST_F(ExchangeTest, FreeSizesSecondQueryIsAnsweredFromTheCache) {
  term.on_command = [](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, CMD_ACK_OK, std::vector<uint8_t>(300, 0x33));
  };
  std::array<uint8_t, 256> first{}, second{};
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, first), CMD_ACK_OK);
  int32_t result = -9;
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, second, 100, &result), CMD_ACK_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(term.Count(wire::CMD_GET_FREE_SIZES), 1u);
  // 200 bytes are kept; the rest of the buffer reads as zeros.
  EXPECT_TRUE(
      std::all_of(second.begin(), second.begin() + 200, [](uint8_t b) { return b == 0x33; }));
  EXPECT_TRUE(std::all_of(second.begin() + 200, second.end(), [](uint8_t b) { return b == 0; }));

  // Another command in between refreshes it.
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, second), CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::CMD_GET_FREE_SIZES), 2u);
}

TEST_F(ExchangeTest, FreeSizesCacheCanBeSwitchedOff) {
  conn->free_sizes_cache_off = 1;
  std::array<uint8_t, 16> reply{};
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(term.Count(wire::CMD_GET_FREE_SIZES), 2u);
}

TEST_F(ExchangeTest, FailedFreeSizesQueryIsNotServedFromTheCache) {
  int calls = 0;
  term.on_command = [&](FakeTerminal& t, const enginetest::Command& c) {
    t.Answer(c, ++calls == 1 ? wire::CMD_ACK_ERROR : CMD_ACK_OK, {5});
  };
  std::array<uint8_t, 4> reply{};
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, reply), wire::CMD_ACK_ERROR);
  EXPECT_EQ(Run(wire::CMD_GET_FREE_SIZES, {}, reply), CMD_ACK_OK);
  EXPECT_EQ(reply[0], 5);
  EXPECT_EQ(term.Count(wire::CMD_GET_FREE_SIZES), 2u);
}

TEST_F(ExchangeTest, FirmwareVersionIsAskedOnceAndAlwaysTerminated) {
  const std::string version = "Ver 6.60 Oct 26 2009";
  term.on_command = [&](FakeTerminal& t, const enginetest::Command& c) {
    // No terminator on the wire.
    t.Answer(c, CMD_ACK_OK, std::vector<uint8_t>(version.begin(), version.end()));
  };
  std::array<uint8_t, 8> small;
  small.fill(0xFF);
  EXPECT_EQ(Run(wire::kFirmwareVersion, {}, small), CMD_ACK_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small.data())), "Ver 6.6");

  std::array<uint8_t, 64> big;
  big.fill(0xFF);
  EXPECT_EQ(Run(wire::kFirmwareVersion, {}, big), CMD_ACK_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(big.data())), version);
  EXPECT_EQ(term.Count(wire::kFirmwareVersion), 1u);

  small.fill(0xFF);
  EXPECT_EQ(Run(wire::kFirmwareVersion, {}, small), CMD_ACK_OK);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(small.data())), "Ver 6.6");
  EXPECT_EQ(term.Count(wire::kFirmwareVersion), 1u);
}

TEST_F(ExchangeTest, PacketLengthStaysWithinTheBuffer) {
  EXPECT_EQ(SetBuffLen(conn.get(), 1 << 20), 1032);
  EXPECT_EQ(SetBuffLen(conn.get(), -5), 8);
  EXPECT_EQ(SetBuffLen(conn.get(), 512), 512);
  std::vector<uint8_t> data(505, 0);
  EXPECT_EQ(Run(8, data), wire::CMD_ACK_ERROR_CMD);
  data.resize(504);
  EXPECT_EQ(Run(8, data), CMD_ACK_OK);
  EXPECT_EQ(term.read_sizes.back(), 512);
}

}  // namespace
}  // namespace enginetest
