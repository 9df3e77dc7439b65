// Pushed events end to end: the engine library with a reader thread over the
// test's link (sim_link.h), against the terminal simulator on loopback.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "devwire.h"
#include "event_recorder.h"
#include "sim_link.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace eventstest {
namespace {

using wire::CMD_ACK_OK;

constexpr int32_t kTimeoutMs = 500;
constexpr uint16_t kRegisterEvents = 500;
constexpr uint16_t kFirmwareVersion = 1100;

// One simulated terminal with an engine connection that has a reader.
struct Terminal {
  Terminal() {
    sim = std::make_unique<termsim::Simulator>();
    EXPECT_TRUE(simlink::Start(*sim));
    handle = simlink::OpenEngine(*sim, EventRecorder::Callback, &events);
    EXPECT_NE(handle, nullptr);
  }
  ~Terminal() {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  uint16_t Send(uint16_t code, std::span<uint8_t> buffer = {}, int32_t data_length = 0,
                int32_t timeout_ms = kTimeoutMs) {
    DEVWIRE_SENDCMD(handle, &code, buffer.data(), static_cast<int32_t>(buffer.size()), data_length,
                    timeout_ms);
    return code;
  }
  uint16_t Register(uint32_t mask) {
    std::array<uint8_t, 4> data{};
    wire::ByteWriter(data).U32(mask);
    return Send(kRegisterEvents, data, 4);
  }
  // Acknowledgements the terminal received for its event `counter`.
  size_t AcksFor(uint16_t counter) const {
    size_t n = 0;
    for (const auto& p : sim->Received()) {
      if (p.code == CMD_ACK_OK && p.reply_counter == counter && p.raw.size() == 8) ++n;
    }
    return n;
  }

  EventRecorder events;  // outlives the connection
  std::unique_ptr<termsim::Simulator> sim;
  DEVWIRE_HANDLE handle = nullptr;
};

class EngineEventsE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    term = std::make_unique<Terminal>();
    ASSERT_NE(term->handle, nullptr);
  }
  std::unique_ptr<Terminal> term;
};

TEST_F(EngineEventsE2E, PushedEventReachesTheCallbackAndIsAcknowledged) {
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  const uint16_t counter = term->sim->PushEvent(termsim::kEventVerification, {1, 0, 0, 0, 7});
  ASSERT_TRUE(term->events.WaitForCount(1));
  EXPECT_EQ(term->events.Events()[0].kind, termsim::kEventVerification);
  EXPECT_EQ(term->events.Events()[0].payload, (std::vector<uint8_t>{1, 0, 0, 0, 7}));
  EXPECT_TRUE(Eventually([&] { return term->sim->EventCounts().acknowledged == 1; }));
  EXPECT_EQ(term->sim->EventCounts().pending, 0u);
  EXPECT_EQ(term->AcksFor(counter), 1u);
}

TEST_F(EngineEventsE2E, OnlyRegisteredKindsArePushed) {
  const uint32_t mask = termsim::EventMaskBit(termsim::kEventDoor);
  ASSERT_EQ(term->Register(mask), CMD_ACK_OK);
  EXPECT_EQ(term->sim->RegisteredMask(), mask);
  EXPECT_EQ(term->sim->EventListeners(termsim::kEventVerification), 0u);
  term->sim->PushEvent(termsim::kEventVerification, {1});
  term->sim->PushEvent(termsim::kEventDoor, {2});
  ASSERT_TRUE(term->events.WaitForCount(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(term->events.Count(), 1u);
  EXPECT_EQ(term->events.Events()[0].kind, termsim::kEventDoor);
}

TEST_F(EngineEventsE2E, EventWhileACommandWaitsIsDeliveredAndTheReplyStillArrives) {
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  termsim::Faults late;
  late.late_replies = 1;
  late.late_ms = 400;
  term->sim->SetFaults(late);
  std::array<uint8_t, 64> version{};
  auto command = std::async(std::launch::async,
                            [&] { return term->Send(kFirmwareVersion, version, 0, 2000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  term->sim->PushEvent(termsim::kEventAlarm, {0xA1});
  EXPECT_EQ(command.get(), CMD_ACK_OK);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(version.data())),
            termsim::Profile{}.firmware);
  EXPECT_EQ(term->sim->CountReceived(kFirmwareVersion), 1u);
  ASSERT_TRUE(term->events.WaitForCount(1));
  EXPECT_EQ(term->events.Events()[0].kind, termsim::kEventAlarm);
}

TEST_F(EngineEventsE2E, ResentEventIsAcknowledgedTwiceAndDeliveredOnce) {
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  termsim::EventSettings settings;
  settings.resend_ms = 200;
  settings.missed_acks = 1;  // the terminal misses the first acknowledgement
  term->sim->SetEventSettings(settings);
  const uint16_t counter = term->sim->PushEvent(termsim::kEventKeyPress, {3});
  ASSERT_TRUE(Eventually([&] { return term->sim->EventCounts().acknowledged == 1; }));
  const termsim::EventPushCounts counts = term->sim->EventCounts();
  EXPECT_EQ(counts.resent, 1u);
  EXPECT_EQ(counts.missed, 1u);
  EXPECT_EQ(term->AcksFor(counter), 2u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(term->events.Count(), 1u);
}

TEST_F(EngineEventsE2E, BadChecksumReplyMakesTheCommandResendAtOnce) {
  termsim::Faults corrupt;
  corrupt.corrupt_replies = 1;
  term->sim->SetFaults(corrupt);
  constexpr int32_t kLongTimeoutMs = 3000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(term->Send(wire::CMD_DISABLEDEVICE, {}, 0, kLongTimeoutMs), CMD_ACK_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kLongTimeoutMs));
  EXPECT_EQ(term->sim->CountReceived(wire::CMD_DISABLEDEVICE), 2u);
  EXPECT_EQ(DEVWIRE_LASTERROR(term->handle), DEVWIRE_E_BAD_CHECKSUM);
}

TEST_F(EngineEventsE2E, TwoTerminalsWithEqualCountersBothDeliver) {
  Terminal second;
  ASSERT_NE(second.handle, nullptr);
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  ASSERT_EQ(second.Register(0xFFFFFFFF), CMD_ACK_OK);
  EXPECT_EQ(term->sim->PushEvent(termsim::kEventDoor, {1}), 1);
  ASSERT_TRUE(term->events.WaitForCount(1));
  EXPECT_EQ(second.sim->PushEvent(termsim::kEventDoor, {2}), 1);
  ASSERT_TRUE(second.events.WaitForCount(1));
  EXPECT_EQ(second.events.Events()[0].payload, std::vector<uint8_t>{2});
}

TEST_F(EngineEventsE2E, EventsAndBackToBackCommandsInterleave) {
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  constexpr int kEvents = 30;
  std::thread pusher([&] {
    for (int i = 0; i < kEvents; ++i) {
      term->sim->PushEvent(termsim::kEventVerification, {static_cast<uint8_t>(i)});
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  int ok = 0;
  for (int i = 0; i < 40; ++i) ok += term->Send(wire::CMD_ENABLEDEVICE) == CMD_ACK_OK ? 1 : 0;
  pusher.join();
  EXPECT_EQ(ok, 40);
  ASSERT_TRUE(term->events.WaitForCount(kEvents));
  const auto events = term->events.Events();
  ASSERT_EQ(events.size(), static_cast<size_t>(kEvents)) << "none twice";
  for (int i = 0; i < kEvents; ++i) {
    ASSERT_EQ(events[i].payload.size(), 1u);
    EXPECT_EQ(events[i].payload[0], i) << "in order";
  }
}

TEST_F(EngineEventsE2E, CancelKeepsEventsFlowingAndLaterCommandsWork) {
  ASSERT_EQ(term->Register(0xFFFFFFFF), CMD_ACK_OK);
  DEVWIRE_SetOperate(term->handle, 1);
  EXPECT_EQ(term->Send(wire::CMD_ENABLEDEVICE), wire::CMD_ACK_ERROR);
  term->sim->PushEvent(termsim::kEventDoor, {9});
  ASSERT_TRUE(term->events.WaitForCount(1));
  DEVWIRE_SetOperate(term->handle, 0);
  EXPECT_EQ(term->Send(wire::CMD_ENABLEDEVICE), CMD_ACK_OK);
}

TEST_F(EngineEventsE2E, CloseFromInsideTheCallbackSaysGoodbye) {
  DEVWIRE_CLOSE(term->handle);
  term->handle = nullptr;
  ASSERT_TRUE(Eventually([&] { return term->sim->SessionCount() == 0; }));

  // A connection whose callback closes it.
  struct Closer {
    DEVWIRE_HANDLE handle = nullptr;
    // Set once this thread is done with the handle: only then may the
    // callback close it.
    std::atomic<bool> handed_over{false};
    std::promise<void> done;
  } closer;
  closer.handle = simlink::OpenEngine(
      *term->sim,
      [](void* context, uint16_t, int32_t, const uint8_t*) {
        auto* c = static_cast<Closer*>(context);
        while (!c->handed_over.load()) std::this_thread::yield();
        DEVWIRE_CLOSE(c->handle);
        c->done.set_value();
      },
      &closer);
  ASSERT_NE(closer.handle, nullptr);
  std::array<uint8_t, 4> mask{0xFF, 0xFF, 0xFF, 0xFF};
  uint16_t code = kRegisterEvents;
  DEVWIRE_SENDCMD(closer.handle, &code, mask.data(), 4, 4, kTimeoutMs);
  ASSERT_EQ(code, CMD_ACK_OK);
  EXPECT_EQ(term->sim->SessionCount(), 1u);

  closer.handed_over = true;
  term->sim->PushEvent(termsim::kEventDoor, {});
  auto done = closer.done.get_future();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_TRUE(Eventually([&] { return term->sim->SessionCount() == 0; }));
  EXPECT_EQ(term->sim->CountReceived(wire::CMD_EXIT), 2u);
}

}  // namespace
}  // namespace eventstest
