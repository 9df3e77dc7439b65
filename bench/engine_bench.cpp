// Protocol engine over loopback UDP and TCP against the terminal simulator:
// command round trips, a 4 MiB upload, and what a TCP reset costs. Beside
// each measurement stand the host frames and the floor that the protocol's
// fixed waits impose on the same traffic (protocol_floor.h); "ratio" is the
// measured time over that floor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "devwire.h"
#include "protocol_floor.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using bench::EngineLink;
using bench::MsSince;
using bench::Transport;

Transport TransportArg(const benchmark::State& state, int index) {
  return state.range(index) != 0 ? Transport::kTcp : Transport::kUdp;
}

void Report(benchmark::State& state, const EngineLink& link, double measured) {
  const double floor = link.FloorMs();
  state.counters["host_frames"] = static_cast<double>(link.sim.ReceivedCount());
  state.counters["floor_ms"] = floor;
  // Replies of 8 bytes over UDP wait for nothing: no floor to compare.
  if (floor > 0) state.counters["ratio"] = measured / floor;
}

// range(0): 1 for TCP; range(1): 1 for a reader thread.
void BM_CommandRoundTrip(benchmark::State& state) {
  EngineLink link;
  if (!link.Open(TransportArg(state, 0), state.range(1) != 0)) {
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
  state.counters["round_trips_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1000.0 / measured);
  state.counters["ms_per_op"] = measured / static_cast<double>(state.iterations());
  Report(state, link, measured);
}
BENCHMARK(BM_CommandRoundTrip)
    ->ArgNames({"tcp", "reader"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// range(0): bytes; range(1): 1 for TCP.
void BM_Upload(benchmark::State& state) {
  EngineLink link;
  if (!link.Open(TransportArg(state, 1), false)) {
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
  const double bytes = static_cast<double>(data.size()) * static_cast<double>(state.iterations());
  state.counters["MiB_per_s"] = bytes / (1024.0 * 1024.0) / (measured / 1000.0);
  Report(state, link, measured);
  if (link.sim.LastStoredUpload() != data) state.SkipWithError("upload arrived damaged");
}
BENCHMARK(BM_Upload)
    ->ArgNames({"bytes", "tcp"})
    ->Args({4 << 20, 0})
    ->Args({4 << 20, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A command whose connection the terminal resets before answering: the
// plug-in connects again and the command goes out once more. The extra time
// over a plain round trip is what one repair costs.
void BM_TcpResetRepair(benchmark::State& state) {
  EngineLink link;
  if (!link.Open(Transport::kTcp, state.range(0) != 0)) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  double total = 0;
  for (auto _ : state) {
    termsim::StreamFaults reset;
    reset.reset_after = 1;
    link.sim.SetStreamFaults(reset);
    const auto start = std::chrono::steady_clock::now();
    uint16_t code = wire::CMD_ENABLEDEVICE;
    DEVWIRE_SENDCMD(link.handle, &code, nullptr, 0, 0, 1000);
    total += MsSince(start);
    if (code != wire::CMD_ACK_OK) state.SkipWithError("command not repaired");
  }
  state.counters["ms_per_repair"] = total / static_cast<double>(state.iterations());
  state.counters["connections"] = static_cast<double>(link.sim.TcpConnectionsAccepted());
}
BENCHMARK(BM_TcpResetRepair)
    ->ArgName("reader")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
