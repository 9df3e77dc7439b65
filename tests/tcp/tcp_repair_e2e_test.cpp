// The TCP line repairing itself: a terminal that closes or resets the
// connection, writes its frames in pieces or several at once, sends damaged
// frames, falls silent or stops listening. Each command is answered and
// carried out once; the reconnects are what the terminal counted.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tcp_fixture.h"
#include "wire/codes.h"

namespace tcptest {
namespace {

struct StreamFaultCase {
  const char* name;
  termsim::StreamFaults faults;
  int reconnects;  // -1: not counted (a damaged frame may or may not cost one)
};

using Faults = termsim::StreamFaults;

// Stream faults with one field set.
template <typename Field, typename Value>
Faults With(Field Faults::*field, Value value) {
  Faults f;
  f.*field = value;
  return f;
}

class StreamFaultTable : public TcpE2E,
                         public ::testing::WithParamInterface<std::tuple<StreamFaultCase, bool>> {};

TEST_P(StreamFaultTable, CommandAnsweredAndCarriedOutOnce) {
  const auto& [k, reader] = GetParam();
  ASSERT_NE(Connect(termsim::Profile::Ver660(), reader ? &IgnoreEvent : nullptr), nullptr);
  ASSERT_EQ(Q_SetCommuTimeOut(handle, 1), 1);
  sim->SetStreamFaults(k.faults);
  EXPECT_EQ(Q_DisableDevice(handle, 0), 1) << k.name;
  EXPECT_EQ(Carried(wire::CMD_DISABLEDEVICE), 1u) << k.name;
  EXPECT_FALSE(sim->DeviceEnabled());
  if (k.reconnects >= 0) {
    EXPECT_EQ(Reconnects(), static_cast<size_t>(k.reconnects)) << k.name;
  }
  // The line is sound afterwards.
  sim->SetStreamFaults({});
  EXPECT_EQ(Q_EnableDevice(handle), 1) << k.name;
  EXPECT_TRUE(sim->DeviceEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StreamFaultTable,
    ::testing::Combine(
        ::testing::Values(StreamFaultCase{"Close", With(&Faults::close_after, 1), 1},
                          StreamFaultCase{"Reset", With(&Faults::reset_after, 1), 1},
                          StreamFaultCase{"Split", With(&Faults::split_bytes, 3u), 0},
                          StreamFaultCase{"Coalesce", With(&Faults::coalesce, true), 0},
                          StreamFaultCase{"BadMagic", With(&Faults::bad_magic, 1), -1},
                          StreamFaultCase{"Oversize", With(&Faults::oversize, 1), -1}),
        ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) ? "Reader" : "Sync");
    });

// Bytes that do not compress.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

class ResetMidDownload : public TcpE2E, public ::testing::WithParamInterface<bool> {};

// A reset in the middle of an 8 MiB download: the plug-in reconnects, the
// engine asks again for what is missing, and the data arrives byte-exact.
TEST_P(ResetMidDownload, EndsByteExact) {
  const bool buffered = GetParam();
  constexpr uint16_t kCommand = wire::CMD_ATTLOG_RRQ;
  ASSERT_NE(Connect(), nullptr);
  const auto data = RandomBytes(8 * 1024 * 1024, 5);
  sim->SetDataSet(kCommand, {}, data);
  termsim::BulkOptions options;
  options.chunk_size = 65472;
  sim->SetBulkOptions(options);
  termsim::StreamFaults faults;
  faults.reset_after_data = 40;
  sim->SetStreamFaults(faults);

  std::vector<uint8_t> buffer(data.size() + 64);
  uint16_t code = kCommand;
  const int32_t got = buffered
                          ? DEVWIRE_READDATA2(Engine(), &code, buffer.data(),
                                              static_cast<int32_t>(buffer.size()), 0, 65472, 4000)
                          : DEVWIRE_READDATA1(Engine(), &code, buffer.data(),
                                              static_cast<int32_t>(buffer.size()), 0, 1, 4000);
  EXPECT_EQ(code, wire::CMD_ACK_OK);
  ASSERT_EQ(got, static_cast<int32_t>(data.size()));
  buffer.resize(data.size());
  EXPECT_TRUE(buffer == data);
  EXPECT_EQ(Reconnects(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Reads, ResetMidDownload, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Buffered" : "Streamed"; });

// A terminal that falls silent: four frames go out unanswered, the fifth
// send opens a new connection first; the calls fail with -2 meanwhile.
TEST_F(TcpE2E, SilenceMakesTheFifthSendReconnect) {
  ASSERT_NE(Connect(), nullptr);
  ASSERT_EQ(Q_SetCommuTimeOut(handle, 1), 1);
  termsim::Faults silent;
  silent.silent = true;
  sim->SetFaults(silent);
  sim->ClearReceived();
  int calls = 0;
  while (sim->ReceivedCount() < 5 && calls < 5) {
    EXPECT_EQ(Q_EnableDevice(handle), -2);
    ++calls;
  }
  ASSERT_GE(sim->ReceivedCount(), 5u);
  EXPECT_EQ(Reconnects(), 1u);
  sim->SetFaults({});
  EXPECT_EQ(Q_EnableDevice(handle), 1);
}

// A terminal that stops listening: the call fails at once with the socket
// error in the link status, closing is prompt, and a terminal that listens
// again before the reconnects run out is reached once more.
TEST_F(TcpE2E, RefusedReconnectsFailFastAndListeningAgainRepairs) {
  ASSERT_NE(Connect(), nullptr);
  ASSERT_EQ(Q_SetCommuTimeOut(handle, 1), 1);
  termsim::StreamFaults refuse;
  refuse.refuse = true;
  sim->SetStreamFaults(refuse);
  int64_t ms = ElapsedMs([&] { EXPECT_EQ(Q_EnableDevice(handle), -2); });
  EXPECT_LT(ms, 6000);
  EXPECT_EQ(Q_ConnectStatus(handle), -10061);

  sim->ResumeListening();
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // failed attempts are paced
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  EXPECT_GE(sim->TcpConnectionsAccepted(), 2u);

  sim->SetStreamFaults(refuse);
  EXPECT_EQ(Q_EnableDevice(handle), -2);
  ms = ElapsedMs([&] {
    Q_Close(handle);
    handle = nullptr;
  });
  EXPECT_LT(ms, 3000);
}

struct Recorder {
  std::atomic<int> events{0};
  static void Callback(void* context, uint16_t, int32_t, const uint8_t*) {
    static_cast<Recorder*>(context)->events.fetch_add(1);
  }
};

// A host that reconnected keeps its registration: the next event reaches
// its callback over the new connection.
TEST_F(TcpE2E, EventAfterAReconnectReachesTheCallback) {
  Recorder recorder;
  ASSERT_NE(Connect(termsim::Profile::Ver660(), &Recorder::Callback, &recorder), nullptr);
  ASSERT_EQ(Q_RegEvent(handle, 0xFFFF), 1);
  sim->PushEvent(termsim::kEventDoor, {1, 2, 3, 4});
  ASSERT_TRUE(Eventually([&] { return recorder.events.load() == 1; }));

  termsim::StreamFaults reset;
  reset.reset_after = 1;
  sim->SetStreamFaults(reset);
  EXPECT_EQ(Q_EnableDevice(handle), 1);
  EXPECT_EQ(Reconnects(), 1u);
  sim->PushEvent(termsim::kEventDoor, {5, 6, 7, 8});
  EXPECT_TRUE(Eventually([&] { return recorder.events.load() == 2; }));
}

}  // namespace
}  // namespace tcptest
