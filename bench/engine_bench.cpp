// Protocol engine over loopback UDP against the terminal simulator: command
// round trips and a 4 MiB upload. Beside each measurement stands the floor
// that the protocol's fixed waits impose on the same traffic, counted from
// what the terminal received: a 50 ms pause before each synchronous read and
// a 10 ms pause after each datagram of more than 10 bytes. "ratio" is the
// measured time over that floor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

constexpr double kSyncReadPauseMs = 50;
constexpr double kLongSendPauseMs = 10;
constexpr size_t kLongSendBytes = 10;

struct Link {
  termsim::Simulator sim;
  DEVWIRE_HANDLE handle = nullptr;

  bool Open() {
    if (!sim.StartUdp("127.0.0.1", 0)) return false;
    handle =
        DEVWIRE_INIT("comms.dll", "127.0.0.1", sim.udp_port(), 0, nullptr, nullptr, 0, nullptr);
    sim.ClearReceived();
    return handle != nullptr;
  }
  ~Link() {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  // The fixed waits behind the packets the terminal received so far.
  double FloorMs() const {
    double floor = 0;
    for (const auto& packet : sim.Received()) {
      floor += kSyncReadPauseMs;
      if (packet.raw.size() > kLongSendBytes) floor += kLongSendPauseMs;
    }
    return floor;
  }
};

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void BM_CommandRoundTrip(benchmark::State& state) {
  Link link;
  if (!link.Open()) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    uint16_t code = wire::CMD_ENABLEDEVICE;
    DEVWIRE_SENDCMD(link.handle, &code, nullptr, 0, 0, 1000);
    if (code != wire::CMD_ACK_OK) state.SkipWithError("command failed");
  }
  const double measured = MsSince(start);
  const double floor = link.FloorMs();
  state.counters["round_trips_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1000.0 / measured);
  state.counters["floor_ms_per_op"] = floor / static_cast<double>(state.iterations());
  state.counters["ratio"] = measured / floor;
}
BENCHMARK(BM_CommandRoundTrip)->Iterations(100)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Upload(benchmark::State& state) {
  Link link;
  if (!link.Open()) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 10));
  const std::vector<uint8_t> params{1, 0, 0, 0, 'b', 'e', 'n', 'c', 'h', 0};

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    uint16_t code = wire::kTakeUploadedData;
    DEVWIRE_SENDCMDDATA(link.handle, &code, data.data(), static_cast<int32_t>(data.size()),
                        params.data(), static_cast<int32_t>(params.size()), 2000);
    if (code != wire::CMD_ACK_OK) state.SkipWithError("upload failed");
  }
  const double measured = MsSince(start);
  const double floor = link.FloorMs();
  const double bytes = static_cast<double>(data.size()) * static_cast<double>(state.iterations());
  state.counters["MiB_per_s"] = bytes / (1024.0 * 1024.0) / (measured / 1000.0);
  state.counters["floor_s"] = floor / 1000.0;
  state.counters["ratio"] = measured / floor;
  if (link.sim.LastStoredUpload() != data) state.SkipWithError("upload arrived damaged");
}
BENCHMARK(BM_Upload)->Arg(4 << 20)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
