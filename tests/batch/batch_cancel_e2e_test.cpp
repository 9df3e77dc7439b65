// A terminal that falls silent after the upload: a cancel from another
// thread ends the apply's long wait.
#include <atomic>
#include <chrono>
#include <thread>

#include "batch_fixture.h"

namespace batch_test {
namespace {

// With the engine's reader thread, and reading for itself.
class SilentApply : public BatchE2E, public ::testing::WithParamInterface<bool> {};

TEST_P(SilentApply, CancelByUserEndsItWithin1s) {
  ASSERT_NE(Connect(Wide()), nullptr);
  if (GetParam()) {
    Q_Close(handle);
    handle = Q_Connect_NET("127.0.0.1", sim->udp_port(), nullptr, nullptr, 0);
    ASSERT_NE(handle, nullptr);
    int32_t width = 0;
    ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  }
  ASSERT_EQ(Q_BeginBatchUpdate(handle, 0), 1);
  const uint8_t card[5] = {};
  ASSERT_EQ(Q_SetUserInfo(handle, 3, "A", 0, 1, "1", card, 3, 1, nullptr), 1);
  termsim::Faults mute;
  mute.unanswered_command = wire::kTakeUploadedData;
  sim->SetFaults(mute);

  using Clock = std::chrono::steady_clock;
  std::atomic<int64_t> cancelled_at{0};
  std::thread canceller([&] {
    const auto give_up = Clock::now() + std::chrono::seconds(30);
    while (sim->CountReceived(wire::kTakeUploadedData) == 0 && Clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well inside the wait
    cancelled_at = Clock::now().time_since_epoch().count();
    Q_CancelByUser(handle);
  });
  const int32_t result = Q_BatchUpdate(handle);
  const int64_t returned_at = Clock::now().time_since_epoch().count();
  canceller.join();
  EXPECT_EQ(result, -2);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                Clock::duration(returned_at - cancelled_at.load()))
                .count(),
            1000);
  EXPECT_EQ(sim->CountReceived(kReload), 0u);
  EXPECT_TRUE(sim->Users().empty());
  EXPECT_FALSE(Batch().active);
  // The session goes on.
  sim->SetFaults({});
  EXPECT_EQ(Q_EnableDevice(handle), 1);
}

INSTANTIATE_TEST_SUITE_P(Reads, SilentApply, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "OwnReads" : "ReaderThread"; });

}  // namespace
}  // namespace batch_test
