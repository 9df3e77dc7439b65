// Registering for events and polling the real-time log through the device
// library, against the terminal simulator over the test's loopback link
// (sim_link.h).
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "event_recorder.h"
#include "sim_link_devapi.h"
#include "session/device_session.h"
#include "termsim/simulator.h"

namespace eventstest {
namespace {

constexpr uint16_t kRegisterEvents = 500;
constexpr uint16_t kPollRealtimeLog = 90;

class RealtimeEventsE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
  }

  DEVAPI_HANDLE Connect(termsim::Profile profile) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    handle = simlink::Connect(*sim, EventRecorder::Callback, &events);
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }

  struct Polled {
    int32_t code = 0;
    std::vector<uint8_t> payload;
  };
  // Fetches every polled event; `payload_size` bytes of each are kept.
  std::vector<Polled> FetchAll(size_t payload_size) {
    std::vector<Polled> out;
    for (;;) {
      std::array<uint8_t, 64> payload{};
      payload.fill(0xCC);
      int32_t code = -1;
      const int32_t r = Q_GetRTLog(handle, &code, payload.data());
      if (r != 1) {
        EXPECT_EQ(r, 0);
        break;
      }
      // Nothing beyond the record's payload is written.
      EXPECT_EQ(payload[payload_size], 0xCC);
      out.push_back({code, std::vector<uint8_t>(payload.begin(), payload.begin() + payload_size)});
      if (out.size() > 100) break;
    }
    return out;
  }

  EventRecorder events;
  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

TEST_F(RealtimeEventsE2E, RegisteredEventsReachTheCallback) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  EXPECT_EQ(sim->CountReceived(kRegisterEvents), 0u) << "newer firmware: the host registers";
  const uint32_t mask = termsim::EventMaskBit(termsim::kEventVerification) |
                        termsim::EventMaskBit(termsim::kEventAlarm);
  EXPECT_EQ(Q_RegEvent(handle, static_cast<int32_t>(mask)), 1);
  EXPECT_EQ(sim->RegisteredMask(), mask);
  sim->PushEvent(termsim::kEventDoor, {1});
  sim->PushEvent(termsim::kEventAlarm, {2, 3});
  ASSERT_TRUE(events.WaitForCount(1));
  EXPECT_EQ(events.Events()[0].kind, termsim::kEventAlarm);
  EXPECT_EQ(events.Events()[0].payload, (std::vector<uint8_t>{2, 3}));
}

TEST_F(RealtimeEventsE2E, OldFirmwareIsRegisteredAtConnect) {
  ASSERT_NE(Connect(termsim::Profile::Old()), nullptr);
  EXPECT_EQ(sim->CountReceived(kRegisterEvents), 1u);
  EXPECT_EQ(sim->RegisteredMask(), 0x7FFFu);
  sim->PushEvent(termsim::kEventKeyPress, {4});
  EXPECT_TRUE(events.WaitForCount(1));
}

TEST_F(RealtimeEventsE2E, RegistrationRefusedAndNullHandle) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  sim->SetCommandRefused(kRegisterEvents, true);
  EXPECT_EQ(Q_RegEvent(handle, 1), -2);
  EXPECT_EQ(Q_RegEvent(nullptr, 1), -1);
  EXPECT_EQ(Q_ReadRTLog(nullptr), -1);
  int32_t code = 0;
  uint8_t payload[64];
  EXPECT_EQ(Q_GetRTLog(nullptr, &code, payload), -1);
  EXPECT_EQ(Q_GetRTLog(handle, nullptr, payload), 4);
  EXPECT_EQ(Q_GetRTLog(handle, &code, nullptr), 4);
}

// Records come in the terminal's size and go out to the host one by one.
struct SizeCase {
  const char* what;
  termsim::Profile profile;
  size_t payload_size;
};

termsim::Profile Between601And618() {
  termsim::Profile p = termsim::Profile::Ver660();
  p.firmware = "Ver 6.10 Jan 12 2006";
  return p;
}

class PollBySizeTest : public RealtimeEventsE2E, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PollBySizeTest, EventsInOrderThenNothing) {
  ASSERT_NE(Connect(GetParam().profile), nullptr);
  const size_t payload_size = GetParam().payload_size;
  ASSERT_EQ(sim->RealtimeRecordSize(), payload_size + 2);
  std::vector<uint8_t> long_payload(40);
  for (size_t i = 0; i < long_payload.size(); ++i) long_payload[i] = static_cast<uint8_t>(i + 1);
  sim->AddRealtimeRecord(0x8001, long_payload);
  sim->AddRealtimeRecord(2, {0xAB});

  EXPECT_EQ(Q_ReadRTLog(handle), 1);
  EXPECT_EQ(Session().rt_seq, 1u);
  const auto polled = FetchAll(payload_size);
  ASSERT_EQ(polled.size(), 2u) << GetParam().what;
  EXPECT_EQ(polled[0].code, 0x8001);
  EXPECT_EQ(polled[0].payload,
            std::vector<uint8_t>(long_payload.begin(), long_payload.begin() + payload_size));
  EXPECT_EQ(polled[1].code, 2);
  EXPECT_EQ(polled[1].payload[0], 0xAB);
  EXPECT_EQ(polled[1].payload[1], 0);
}

INSTANTIATE_TEST_SUITE_P(Terminals, PollBySizeTest,
                         ::testing::Values(SizeCase{"colour screen", termsim::Profile::Tft(), 36},
                                           SizeCase{"Ver 6.60", termsim::Profile::Ver660(), 16},
                                           SizeCase{"Ver 6.10", Between601And618(), 14}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(RealtimeEventsE2E, EmptyPollKeepsTheSequenceNumber) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  EXPECT_EQ(Q_ReadRTLog(handle), 1);
  EXPECT_EQ(Session().rt_seq, 0u);
  EXPECT_TRUE(FetchAll(16).empty());
  sim->AddRealtimeRecord(5, {});
  EXPECT_EQ(Q_ReadRTLog(handle), 1);
  EXPECT_EQ(FetchAll(16).size(), 1u);
  EXPECT_EQ(Q_ReadRTLog(handle), 1);
  EXPECT_TRUE(FetchAll(16).empty());
  const termsim::RealtimePollCounts counts = sim->RealtimePolls();
  EXPECT_EQ(counts.polls, 3u);
  EXPECT_EQ(counts.repeated, 0u);
  EXPECT_EQ(counts.last_sequence, 1u);
}

TEST_F(RealtimeEventsE2E, OldFirmwareHasNoRealtimeLog) {
  termsim::Profile p = termsim::Profile::Ver660();
  p.firmware = "Ver 6.00 Jan 5 2005";
  ASSERT_NE(Connect(p), nullptr);
  EXPECT_EQ(Q_ReadRTLog(handle), -100);
  EXPECT_EQ(sim->CountReceived(kPollRealtimeLog), 0u);
}

TEST_F(RealtimeEventsE2E, OverstatedCountNeverWalksPastTheReply) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  termsim::EventSettings settings;
  settings.poll_count_excess = 100000;
  sim->SetEventSettings(settings);
  sim->AddRealtimeRecord(1, {});
  sim->AddRealtimeRecord(2, {});
  EXPECT_EQ(Q_ReadRTLog(handle), 1);
  EXPECT_LT(Session().rt_len, 1020) << "cut to the bytes that arrived";
  // Only the two records the terminal really sent are handed out; nothing
  // zero-filled follows them.
  const auto polled = FetchAll(16);
  ASSERT_EQ(polled.size(), 2u);
  EXPECT_EQ(polled[0].code, 1);
  EXPECT_EQ(polled[1].code, 2);
}

TEST_F(RealtimeEventsE2E, FailedPollLeavesNothingToFetch) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  sim->AddRealtimeRecord(1, {});
  sim->AddRealtimeRecord(2, {});
  ASSERT_EQ(Q_ReadRTLog(handle), 1);
  int32_t code = 0;
  std::array<uint8_t, 16> payload{};
  ASSERT_EQ(Q_GetRTLog(handle, &code, payload.data()), 1);

  sim->SetCommandRefused(kPollRealtimeLog, true);
  EXPECT_EQ(Q_ReadRTLog(handle), -2);
  EXPECT_EQ(Q_GetRTLog(handle, &code, payload.data()), 0) << "no zero-filled events";
  EXPECT_EQ(Session().rt_seq, 1u);
}

}  // namespace
}  // namespace eventstest
