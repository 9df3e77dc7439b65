// The reader thread of a connection opened with an event callback, over an
// in-process terminal whose reads block like a real transport's.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "connection/connection_open.h"
#include "devwire.h"
#include "connection/engine_connection.h"
#include "exchange/exchange.h"
#include "platform/tick.h"
#include "exchange/reader_channel.h"
#include "exchange/send_command.h"
#include "threaded_terminal.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace enginetest {
namespace {

using wire::CMD_ACK_OK;

constexpr uint32_t kWaitMs = 3000;  // for things that happen within one idle read

std::unique_ptr<devwire::EngineConnection> OpenOver(bool with_terminal_read, EventLog& log) {
  devwire::OpenParams params;
  params.callback = EventLog::Callback;
  params.context = &log;
  devwire::OpenResult opened = devwire::OpenConnection(
      devwire::TransportBinding::FromEntryPoints(ThreadedTerminal::EntryPoints(with_terminal_read)),
      params);
  EXPECT_EQ(opened.error, 0);
  return std::move(opened.connection);
}

class ReaderTest : public ::testing::Test {
 protected:
  void Open(bool with_terminal_read = true) {
    conn = OpenOver(with_terminal_read, events);
    ASSERT_NE(conn, nullptr);
    ASSERT_FALSE(conn->synchronous);
  }
  void TearDown() override {
    if (conn) devwire::CloseConnection(std::move(conn));
  }

  uint16_t Run(uint16_t code, std::span<uint8_t> reply = {}, int32_t timeout_ms = 500) {
    devwire::SendCommand(*conn, code, {}, reply, timeout_ms);
    return code;
  }

  // Acknowledgements that carry `counter`.
  size_t AcksFor(uint16_t counter) const {
    const auto acks = term.Sent(CMD_ACK_OK);
    return static_cast<size_t>(std::count_if(
        acks.begin(), acks.end(), [&](const Command& a) { return a.counter == counter; }));
  }
  bool WaitForAcks(size_t count) {
    return term.WaitUntil(
        [&](const ThreadedTerminal& t) { return t.CountSentLocked(CMD_ACK_OK) >= count; }, kWaitMs);
  }

  ThreadedTerminal term;
  EventLog events;
  std::unique_ptr<devwire::EngineConnection> conn;
};

TEST_F(ReaderTest, EventDuringACommandIsDeliveredAndTheReplyStillArrives) {
  Open();
  term.SetBehaviour([](ThreadedTerminal& t, const Command& c) {
    if (c.code != 60) return t.Behave(c);
    t.PushEvent(3, 77, {1, 2, 3});
    t.Answer(c, CMD_ACK_OK, {9, 8});
  });
  std::array<uint8_t, 2> reply{};
  EXPECT_EQ(Run(60, reply), CMD_ACK_OK);
  EXPECT_EQ(reply, (std::array<uint8_t, 2>{9, 8}));
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  EXPECT_EQ(events.Events()[0].kind, 3);
  EXPECT_EQ(events.Events()[0].payload, (std::vector<uint8_t>{1, 2, 3}));

  ASSERT_TRUE(WaitForAcks(1));
  const Command ack = term.Sent(CMD_ACK_OK)[0];
  EXPECT_EQ(ack.raw.size(), 8u);
  EXPECT_TRUE(ack.checksum_ok);
  EXPECT_EQ(ack.counter, 77);
  EXPECT_EQ(ack.connection_id, term.session_id);
  EXPECT_EQ(term.CountSent(60), 1u);
}

// Every event is acknowledged; one resent with the counter just delivered is
// not delivered again. Terminals that send 0 every time get every event.
struct ResendCase {
  const char* what;
  std::vector<uint16_t> counters;
  size_t delivered;
};

class EventResendTest : public ReaderTest, public ::testing::WithParamInterface<ResendCase> {};

TEST_P(EventResendTest, AcknowledgedEveryTimeDeliveredOnce) {
  Open();
  const ResendCase& test = GetParam();
  for (uint16_t counter : test.counters) term.PushEvent(1, counter, {0x11});
  ASSERT_TRUE(WaitForAcks(test.counters.size())) << test.what;
  EXPECT_EQ(events.Count(), test.delivered) << test.what;
  for (uint16_t counter : test.counters) {
    EXPECT_EQ(AcksFor(counter),
              static_cast<size_t>(std::count(test.counters.begin(), test.counters.end(), counter)));
  }
}

INSTANTIATE_TEST_SUITE_P(Counters, EventResendTest,
                         ::testing::Values(ResendCase{"resent once", {7, 7}, 1},
                                           ResendCase{"new ones", {7, 8, 7}, 3},
                                           ResendCase{"unnumbered", {0, 0}, 2}),
                         [](const auto& info) { return std::to_string(info.index); });

// Something other than the reply wakes the waiting command at once: it sends
// again without waiting out its time-out.
struct WakeCase {
  const char* what;
  std::vector<uint8_t> bytes;
  std::optional<int32_t> result;
  int32_t last_error;
  int32_t connect_status;
};

class WakeTest : public ReaderTest, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(WakeTest, TheCommandIsSentAgainAtOnce) {
  Open();
  const WakeCase& test = GetParam();
  std::atomic<int> sends{0};
  term.SetBehaviour([&](ThreadedTerminal& t, const Command& c) {
    if (c.code != 60) return t.Behave(c);
    if (sends++ == 0) {
      t.PushRaw(test.bytes, test.result);
    } else {
      t.Answer(c, CMD_ACK_OK, {5});
    }
  });
  constexpr int32_t kTimeoutMs = 3000;
  std::array<uint8_t, 1> reply{};
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(Run(60, reply, kTimeoutMs), CMD_ACK_OK) << test.what;
  EXPECT_LT(platform::TicksSince(start), static_cast<uint32_t>(kTimeoutMs)) << test.what;
  EXPECT_EQ(reply[0], 5);
  EXPECT_EQ(term.CountSent(60), 2u);
  EXPECT_EQ(conn->last_error.load(), test.last_error) << test.what;
  EXPECT_EQ(conn->connect_status.load(), test.connect_status) << test.what;
}

std::vector<uint8_t> CorruptReply() {
  auto p = FakeTerminal::Packet(CMD_ACK_OK, 0x1234, 1, {1, 2, 3});
  p[2] ^= 0x5A;
  return p;
}

INSTANTIATE_TEST_SUITE_P(
    Wakers, WakeTest,
    ::testing::Values(WakeCase{"bad checksum", CorruptReply(), std::nullopt, DEVWIRE_E_BAD_CHECKSUM,
                               0},
                      WakeCase{"socket error", {}, -10054, 0, -10054},
                      WakeCase{"line lost", {}, DEVORU_LINE_LOST, 0, DEVORU_LINE_LOST}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(ReaderTest, ReplyToAnAbandonedCommandNeverAnswersTheNextOne) {
  Open();
  std::optional<uint16_t> abandoned;
  term.SetBehaviour([&](ThreadedTerminal& t, const Command& c) {
    if (c.code == 14) {
      abandoned = c.counter;  // no answer in time
    } else if (c.code == 60) {
      // The late answer to the abandoned command arrives first.
      t.Push(wire::CMD_ACK_ERROR, t.session_id, *abandoned, {0xAA});
      t.Answer(c, CMD_ACK_OK, {0xBB});
    } else {
      t.Behave(c);
    }
  });
  EXPECT_EQ(Run(14, {}, 50), wire::CMD_ACK_NO);
  std::array<uint8_t, 1> reply{};
  EXPECT_EQ(Run(60, reply), CMD_ACK_OK);
  EXPECT_EQ(reply[0], 0xBB);
  EXPECT_EQ(term.CountSent(60), 1u) << "the old reply did not wake the command";
  EXPECT_EQ(conn->last_error.load(), DEVWIRE_E_STALE_REPLY);
}

// Between commands nothing that arrives stops the reader from reading.
struct IdleJunkCase {
  const char* what;
  int32_t connect_status;
};

class IdleJunkTest : public ReaderTest, public ::testing::WithParamInterface<IdleJunkCase> {};

TEST_P(IdleJunkTest, EventsKeepFlowing) {
  Open();
  const std::string what = GetParam().what;
  EXPECT_EQ(Run(1002), CMD_ACK_OK);
  if (what == "late duplicate") term.Push(CMD_ACK_OK, term.session_id, 1);
  if (what == "bad checksum") term.PushRaw(CorruptReply());
  if (what == "socket error") term.PushResult(-10054);
  if (what == "oversized count") term.PushRaw(FakeTerminal::Packet(500, 1, 3, {}), 5000);
  term.PushEvent(2, 40, {0x42});
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs)) << what;
  EXPECT_EQ(events.Events()[0].payload, std::vector<uint8_t>{0x42});
  EXPECT_TRUE(conn->read_request.IsSet()) << what;
  EXPECT_EQ(conn->connect_status.load(), GetParam().connect_status) << what;
  EXPECT_EQ(Run(1003), CMD_ACK_OK);
}

INSTANTIATE_TEST_SUITE_P(Junk, IdleJunkTest,
                         ::testing::Values(IdleJunkCase{"late duplicate", 0},
                                           IdleJunkCase{"bad checksum", 0},
                                           IdleJunkCase{"socket error", -10054},
                                           IdleJunkCase{"oversized count", 0}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(ReaderTest, LargestEventPayloadIsDeliveredWhole) {
  Open();
  std::vector<uint8_t> payload(1024);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  term.PushEvent(9, 1, payload);
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  EXPECT_EQ(events.Events()[0].payload, payload);
}

TEST_F(ReaderTest, TransportWithoutTerminalReadStillWorks) {
  Open(false);
  std::array<uint8_t, 4> reply{};
  for (uint16_t code : {1002, 1003, 60}) EXPECT_EQ(Run(code, reply), CMD_ACK_OK);
  term.PushEvent(4, 12, {7});
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  EXPECT_EQ(term.TerminalReads(), 0);
  EXPECT_EQ(Run(1002, reply), CMD_ACK_OK);
}

TEST_F(ReaderTest, LoadedPluginWithoutTerminalReadStillWorks) {
  ASSERT_TRUE(InstallThreadedInPlugin("engtest_bare.dll"));
  DEVWIRE_HANDLE h = DEVWIRE_INIT("engtest_bare.dll", "127.0.0.1", 4370, 0, EventLog::Callback,
                                  &events, 0, nullptr);
  ASSERT_NE(h, nullptr);
  uint16_t code = 60;
  DEVWIRE_SENDCMD(h, &code, nullptr, 0, 0, 200);
  EXPECT_EQ(code, CMD_ACK_OK);
  term.PushEvent(4, 13, {8});
  EXPECT_TRUE(events.WaitForCount(1, kWaitMs));
  DEVWIRE_CLOSE(h);
  EXPECT_EQ(term.TerminalReads(), 0);
  EXPECT_EQ(term.ReadsRunning(), 0);
}

TEST_F(ReaderTest, CloseInterruptsTheIdleRead) {
  Open();
  ASSERT_TRUE(term.WaitUntil([](const ThreadedTerminal& t) { return t.ReadsRunningLocked() > 0; },
                             kWaitMs));
  devwire::CloseConnection(std::move(conn));
  EXPECT_EQ(term.ReadsRunning(), 0);
  EXPECT_EQ(term.CountSent(wire::CMD_EXIT), 1u);
  EXPECT_GE(term.TerminalReads(), 1);
}

TEST_F(ReaderTest, WithoutAnInterruptTheEndWaitsForTheReadToReturn) {
  Open(false);
  ASSERT_TRUE(term.WaitUntil([](const ThreadedTerminal& t) { return t.ReadsRunningLocked() > 0; },
                             kWaitMs));
  conn.reset();  // inside a 1000 ms read
  EXPECT_EQ(term.ReadsRunning(), 0);
}

TEST_F(ReaderTest, StuckReaderIsReplacedAndTouchesNothingAfterwards) {
  Open();
  // The next read hangs, deaf to the interrupt; when it finally returns it
  // brings an event that nobody may deliver or acknowledge any more.
  term.HangReads(1, FakeTerminal::Packet(wire::kEventPacket, 6, 99, {0x99}));
  ASSERT_TRUE(
      term.WaitUntil([](const ThreadedTerminal& t) { return t.HungReadsLocked() == 1; }, kWaitMs));

  std::array<uint8_t, 1> reply{};
  term.SetBehaviour([](ThreadedTerminal& t, const Command& c) {
    if (c.code == 60) return t.Answer(c, CMD_ACK_OK, {0x60});
    t.Behave(c);
  });
  EXPECT_EQ(Run(60, reply), CMD_ACK_OK);  // after waiting 5 s for the stuck reader
  EXPECT_EQ(reply[0], 0x60);

  term.ReleaseHungReads();
  ASSERT_TRUE(
      term.WaitUntil([](const ThreadedTerminal& t) { return t.HungReadsLocked() == 0; }, kWaitMs));
  term.PushEvent(6, 100, {0x10});
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  ASSERT_TRUE(WaitForAcks(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(events.Count(), 1u);
  EXPECT_EQ(events.Events()[0].payload, std::vector<uint8_t>{0x10});
  EXPECT_EQ(AcksFor(99), 0u);
}

TEST_F(ReaderTest, CancelLeavesTheReaderRunning) {
  Open();
  conn->abort_flag = 1;
  EXPECT_EQ(Run(60), wire::CMD_ACK_ERROR);
  term.PushEvent(1, 21, {});
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  conn->abort_flag = 0;
  EXPECT_EQ(Run(60), CMD_ACK_OK);
  term.PushEvent(1, 22, {});
  EXPECT_TRUE(events.WaitForCount(2, kWaitMs));
}

TEST_F(ReaderTest, CommandFromInsideTheCallbackFailsAtOnce) {
  Open();
  std::promise<uint16_t> inner;
  events.on_event = [&](const EventRecord&) {
    uint16_t code = 60;
    devwire::SendCommand(*conn, code, {}, {}, 1000);
    inner.set_value(code);
  };
  term.PushEvent(1, 5, {});
  auto outcome = inner.get_future();
  ASSERT_EQ(outcome.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_EQ(outcome.get(), wire::CMD_ACK_ERROR_CMD);
  EXPECT_EQ(term.CountSent(60), 0u);
  EXPECT_EQ(Run(60), CMD_ACK_OK);
}

TEST_F(ReaderTest, CloseFromInsideTheCallback) {
  Open();
  std::promise<void> closed;
  devwire::EngineConnection* raw = conn.release();
  events.on_event = [&](const EventRecord&) {
    devwire::CloseConnection(std::unique_ptr<devwire::EngineConnection>(raw));
    closed.set_value();
  };
  term.PushEvent(1, 5, {});
  auto done = closed.get_future();
  ASSERT_EQ(done.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  // The reader that ran the callback ends on its own without another read.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(term.ReadsRunning(), 0);
  EXPECT_EQ(AcksFor(5), 0u);
  EXPECT_EQ(term.CountSent(wire::CMD_EXIT), 1u) << "the goodbye goes out unanswered";
}

TEST_F(ReaderTest, CloseWaitsForABlockedCallbackAndThenFinishes) {
  Open();
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  events.on_event = [&](const EventRecord&) {
    entered.set_value();
    released.wait();
  };
  term.PushEvent(1, 5, {});
  entered.get_future().wait();

  std::atomic<bool> finished{false};
  std::thread closer([&] {
    devwire::CloseConnection(std::move(conn));
    finished = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(finished) << "the reader is still inside the callback";
  release.set_value();
  closer.join();
  EXPECT_TRUE(finished);
}

TEST_F(ReaderTest, EqualCountersOnTwoConnectionsAreBothDelivered) {
  Open();
  ThreadedTerminal second;  // the next open talks to this one
  EventLog second_events;
  auto other = OpenOver(true, second_events);
  ASSERT_NE(other, nullptr);
  term.PushEvent(1, 5, {1});
  ASSERT_TRUE(events.WaitForCount(1, kWaitMs));
  second.PushEvent(1, 5, {2});
  ASSERT_TRUE(second_events.WaitForCount(1, kWaitMs));
  devwire::CloseConnection(std::move(other));
}

TEST_F(ReaderTest, HeldReaderStaysOutOfTheTransportUntilRearmed) {
  Open();
  devwire::ExchangeRequest request;
  request.code = 60;
  request.timeout_ms = 500;
  request.keep_armed = true;
  EXPECT_EQ(devwire::Exchange(*conn, request).outcome, CMD_ACK_OK);
  EXPECT_FALSE(conn->read_request.IsSet());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(term.ReadsRunning(), 0);

  devwire::RearmReader(*conn);
  EXPECT_TRUE(term.WaitUntil([](const ThreadedTerminal& t) { return t.ReadsRunningLocked() > 0; },
                             kWaitMs));
  term.PushEvent(1, 8, {});
  EXPECT_TRUE(events.WaitForCount(1, kWaitMs));
}

}  // namespace
}  // namespace enginetest
