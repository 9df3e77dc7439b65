// Bulk reads over loopback UDP against the terminal simulator: 8 MiB by
// buffered read (plain and LZO1X-compressed) and by streamed read, on a
// connection that reads for itself ("sync") and on one with a reader thread
// ("reader"), and the speed of LZO1X decompression itself. Beside each read
// stand the number of exchanges and the floor that the protocol's fixed
// waits impose on them, counted from what the terminal received: a 50 ms
// pause before each synchronous read (sync only) and a 10 ms pause after
// each datagram of more than 10 bytes. "ratio" is the measured time over
// that floor; "ratio_with_pace" adds the time the simulated terminal's own
// pace of sending takes ("pace_s").
#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

constexpr double kSyncReadPauseMs = 50;
constexpr double kLongSendPauseMs = 10;
constexpr size_t kLongSendBytes = 10;
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

void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

struct Link {
  termsim::Simulator sim;
  DEVWIRE_HANDLE handle = nullptr;
  bool reader = false;

  bool Open(bool with_reader) {
    reader = with_reader;
    if (!sim.StartUdp("127.0.0.1", 0)) return false;
    handle = DEVWIRE_INIT("comms.dll", "127.0.0.1", sim.udp_port(), 0,
                          reader ? IgnoreEvent : nullptr, nullptr, 0, nullptr);
    sim.ClearReceived();
    return handle != nullptr;
  }
  ~Link() {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  double FloorMs() const {
    double floor = 0;
    for (const auto& packet : sim.Received()) {
      if (!reader) floor += kSyncReadPauseMs;
      if (packet.raw.size() > kLongSendBytes) floor += kLongSendPauseMs;
    }
    return floor;
  }
};

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The simulated terminal paces its data packets (16 back to back, then
// 1 ms); the time that pace takes for `bytes` on the wire.
double PaceMs(size_t bytes) {
  const double packets = static_cast<double>((bytes + 1023) / 1024);
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

// `wire_bytes`: the data bytes that travelled, for the terminal's pace.
void Report(benchmark::State& state, const Link& link, double measured_ms, size_t wire_bytes) {
  const double floor = link.FloorMs();
  const double pace = PaceMs(wire_bytes) * static_cast<double>(state.iterations());
  state.counters["pace_s"] = pace / 1000.0;
  state.counters["ratio_with_pace"] = measured_ms / (floor + pace);
  const double bytes = static_cast<double>(kSize) * static_cast<double>(state.iterations());
  state.counters["MiB_per_s"] = bytes / (1024.0 * 1024.0) / (measured_ms / 1000.0);
  state.counters["exchanges"] = static_cast<double>(link.sim.ReceivedCount());
  state.counters["floor_s"] = floor / 1000.0;
  state.counters["ratio"] = measured_ms / floor;
}

// range(0): block size; range(1): 1 for compressed data; range(2): 1 for a
// reader thread.
void BM_BufferedRead(benchmark::State& state) {
  Link link;
  if (!link.Open(state.range(2) != 0)) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  const bool compress = state.range(1) != 0;
  const auto data = compress ? RecordBytes(kSize) : RandomBytes(kSize);
  link.sim.SetDataSet(wire::CMD_DB_RRQ, {}, data);
  termsim::BulkOptions options;
  options.compress = compress;
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
  Report(state, link, MsSince(start), compress ? LzoSize(data) : data.size());
  if (buffer != data) state.SkipWithError("data arrived damaged");
}
BENCHMARK(BM_BufferedRead)
    ->ArgNames({"block", "lzo", "reader"})
    ->Args({65536, 0, 0})
    ->Args({65536, 1, 0})
    ->Args({65536, 0, 1})
    ->Args({131072, 0, 1})
    ->Args({131072, 1, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// range(0): 1 for a reader thread.
void BM_StreamedRead(benchmark::State& state) {
  Link link;
  if (!link.Open(state.range(0) != 0)) {
    state.SkipWithError("no connection to the simulator");
    return;
  }
  const auto data = RandomBytes(kSize);
  link.sim.SetDataSet(kStreamedCommand, {}, data);
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
  Report(state, link, MsSince(start), data.size());
  if (buffer != data) state.SkipWithError("data arrived damaged");
}
BENCHMARK(BM_StreamedRead)
    ->ArgName("reader")
    ->Arg(1)
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
