// Bulk reads over loopback UDP and TCP against the terminal simulator: 8 MiB
// by buffered read (plain and LZO1X-compressed) and by streamed read, on a
// connection that reads for itself ("sync") and on one with a reader thread
// ("reader"), and the speed of LZO1X decompression itself. Beside each read
// stand the host frames and the floor that the protocol's fixed waits impose
// on them (protocol_floor.h). "ratio" is the measured time over
// that floor; "ratio_with_pace" adds the time the simulated terminal's own
// pace of sending takes ("pace_s").
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "devwire.h"
#include "protocol_floor.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using bench::EngineLink;
using bench::MsSince;
using bench::Transport;

constexpr size_t kSize = 8 << 20;
constexpr uint16_t kStreamedCommand = 0x4D2;

std::vector<uint8_t> RandomBytes(size_t n) {
  std::mt19937 rng(7);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Attendance-like text records: compressible, but not trivially.
std::vector<uint8_t> RecordBytes(size_t n) {
  std::mt19937 rng(11);
  std::vector<uint8_t> v;
  v.reserve(n + 64);
  char line[64];
  const auto pick = [&](unsigned m) { return static_cast<unsigned>(rng() % m); };
  while (v.size() < n) {
    const int len = std::snprintf(line, sizeof line, "%05u\t2024-01-%02u 08:%02u:%02u\t%u\t1\n",
                                  pick(3000), 1 + pick(28), pick(60), pick(60), pick(4));
    v.insert(v.end(), line, line + len);
  }
  v.resize(n);
  return v;
}


// The simulated terminal paces its data packets (16 back to back, then
// 1 ms); the time that pace takes for `bytes` on the wire in packets of
// `chunk` bytes.
double PaceMs(size_t bytes, size_t chunk) {
  const double packets = static_cast<double>((bytes + chunk - 1) / chunk);
  return packets / termsim::BulkOptions{}.burst_packets * termsim::BulkOptions{}.burst_pause_ms;
}

size_t LzoSize(const std::vector<uint8_t>& data) {
  if (lzo_init() != LZO_E_OK) return data.size();
  std::vector<uint8_t> packed(data.size() + data.size() / 16 + 67);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint n = packed.size();
  lzo1x_1_compress(data.data(), data.size(), packed.data(), &n, work.data());
  return n;
}

// `wire_bytes`: the data bytes that travelled, in packets of `chunk`, for
// the terminal's pace.
void Report(benchmark::State& state, const EngineLink& link, double measured_ms,
            size_t wire_bytes, size_t chunk) {
  const double floor = link.FloorMs();
  const double pace = PaceMs(wire_bytes, chunk) * static_cast<double>(state.iterations());
  state.counters["pace_s"] = pace / 1000.0;
  state.counters["ratio_with_pace"] = measured_ms / (floor + pace);
  const double bytes = static_cast<double>(kSize) * static_cast<double>(state.iterations());
  state.counters["MiB_per_s"] = bytes / (1024.0 * 1024.0) / (measured_ms / 1000.0);
  state.counters["host_frames"] = static_cast<double>(link.sim.ReceivedCount());
  state.counters["floor_s"] = floor / 1000.0;
  if (floor > 0) state.counters["ratio"] = measured_ms / floor;
}

// Data packets of a TCP terminal: as large as the TCP connect's block.
constexpr uint32_t kTcpChunk = 65472;

Transport TransportArg(const benchmark::State& state, int index) {
  return state.range(index) != 0 ? Transport::kTcp : Transport::kUdp;
}

// range(0): block size; range(1): 1 for compressed data; range(2): 1 for a
// reader thread; range(3): 1 for TCP.
void BM_BufferedRead(benchmark::State& state) {
  EngineLink link;
  if (!link.Open(TransportArg(state, 3), state.range(2) != 0)) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  const bool compress = state.range(1) != 0;
  const auto data = compress ? RecordBytes(kSize) : RandomBytes(kSize);
  link.sim.SetDataSet(wire::CMD_DB_RRQ, {}, data);
  termsim::BulkOptions options;
  options.compress = compress;
  if (link.transport == Transport::kTcp) options.chunk_size = kTcpChunk;
  link.sim.SetBulkOptions(options);
  std::vector<uint8_t> buffer(kSize);

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    uint16_t code = wire::CMD_DB_RRQ;
    const int32_t got =
        DEVWIRE_READDATA(link.handle, &code, buffer.data(), static_cast<int32_t>(buffer.size()), 0,
                         static_cast<int32_t>(state.range(0)), 2000);
    if (code != wire::CMD_ACK_OK || got != static_cast<int32_t>(kSize)) {
      state.SkipWithError("read failed");
    }
  }
  Report(state, link, MsSince(start), compress ? LzoSize(data) : data.size(), options.chunk_size);
  if (buffer != data) state.SkipWithError("data arrived damaged");
}
BENCHMARK(BM_BufferedRead)
    ->ArgNames({"block", "lzo", "reader", "tcp"})
    ->Args({16384, 0, 1, 0})
    ->Args({65536, 0, 0, 0})
    ->Args({65536, 1, 0, 0})
    ->Args({65536, 0, 1, 0})
    ->Args({131072, 0, 1, 0})
    ->Args({131072, 1, 1, 0})
    ->Args({65472, 0, 0, 1})
    ->Args({65472, 1, 0, 1})
    ->Args({65472, 0, 1, 1})
    ->Args({65472, 1, 1, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// range(0): 1 for a reader thread; range(1): 1 for TCP.
void BM_StreamedRead(benchmark::State& state) {
  EngineLink link;
  if (!link.Open(TransportArg(state, 1), state.range(0) != 0)) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  const auto data = RandomBytes(kSize);
  link.sim.SetDataSet(kStreamedCommand, {}, data);
  termsim::BulkOptions options;
  if (link.transport == Transport::kTcp) options.chunk_size = kTcpChunk;
  link.sim.SetBulkOptions(options);
  std::vector<uint8_t> buffer(kSize);

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    uint16_t code = kStreamedCommand;
    const int32_t got = DEVWIRE_READDATA1(link.handle, &code, buffer.data(),
                                          static_cast<int32_t>(buffer.size()), 0, 1, 3000);
    if (code != wire::CMD_ACK_OK || got != static_cast<int32_t>(kSize)) {
      state.SkipWithError("read failed");
    }
  }
  Report(state, link, MsSince(start), data.size(), options.chunk_size);
  if (buffer != data) state.SkipWithError("data arrived damaged");
}
BENCHMARK(BM_StreamedRead)
    ->ArgNames({"reader", "tcp"})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The decoder the engine uses, bounded by its output buffer.
void BM_LzoDecompress(benchmark::State& state) {
  if (lzo_init() != LZO_E_OK) {
    state.SkipWithError("lzo_init failed");
    return;
  }
  const auto data = RecordBytes(kSize);
  std::vector<uint8_t> packed(kSize + kSize / 16 + 67);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint packed_size = packed.size();
  lzo1x_1_compress(data.data(), data.size(), packed.data(), &packed_size, work.data());
  std::vector<uint8_t> out(kSize);
  for (auto _ : state) {
    lzo_uint produced = out.size();
    if (lzo1x_decompress_safe(packed.data(), packed_size, out.data(), &produced, nullptr) !=
            LZO_E_OK ||
        produced != kSize) {
      state.SkipWithError("decompression failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(kSize) * state.iterations());
  state.counters["ratio_packed"] = static_cast<double>(packed_size) / static_cast<double>(kSize);
}
BENCHMARK(BM_LzoDecompress)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
