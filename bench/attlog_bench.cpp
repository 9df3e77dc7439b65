// The attendance log over loopback UDP against the terminal simulator:
// 100,000 records in the extended layout downloaded (LZO1X-compressed by the
// terminal, and plain for comparison; with the engine's reader thread and
// reading for itself), then iterated with Q_GetLog. Beside each download
// stand the floor that the protocol's fixed waits impose on it, counted
// from what the terminal received (a 50 ms pause before each synchronous
// read, a 10 ms pause after each datagram of more than 10 bytes), and the
// measured time over that floor.
#include <chrono>
#include <cstdio>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_connect.h"
#include "termsim/simulator.h"

namespace {

constexpr uint32_t kRecords = 100000;
using bench::FloorMs;
using bench::MsSince;

void Run(const std::vector<termsim::AttendanceRecord>& records, bool compress, bool reader_thread,
         bool iterate) {
  termsim::Simulator sim(termsim::Profile::Ver660());  // extended records
  sim.SetAttendanceLog(records);
  DEVAPI_HANDLE h = bench::ConnectToSimulator(sim, compress, reader_thread);
  if (h == nullptr) return;
  sim.ClearReceived();
  const auto start = std::chrono::steady_clock::now();
  const int32_t loaded = Q_ReadLog(h, 0);
  const double total = MsSince(start);
  const double floor = FloorMs(sim, !reader_thread);
  std::printf(
      "download %u records %-5s %-13s  result %d  %8.1f ms  packets %4zu  fixed waits "
      "%7.1f ms  ratio %.2f\n",
      kRecords, compress ? "lzo" : "plain", reader_thread ? "reader thread" : "own reads", loaded,
      total, sim.ReceivedCount(), floor, floor > 0 ? total / floor : 0.0);

  if (iterate) {
    auto& session = *static_cast<devapi::DeviceSession*>(h);
    constexpr int kPasses = 20;
    int32_t user = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint8_t verify = 0, state = 0;
    size_t calls = 0;
    int64_t checksum = 0;
    const auto walk = std::chrono::steady_clock::now();
    for (int pass = 0; pass < kPasses; ++pass) {
      session.attlog_cursor = session.attlog_start;
      while (Q_GetLog(h, &user, &verify, &state, &year, &month, &day, &hour, &minute, &second) ==
             1) {
        ++calls;
        checksum += user + second;
      }
    }
    const double walk_ms = MsSince(walk);
    std::printf("iterate  %zu Q_GetLog calls: %.1f ns per call (checksum %lld)\n", calls,
                walk_ms * 1e6 / static_cast<double>(calls), static_cast<long long>(checksum));
  }
  Q_Close(h);
}

}  // namespace

int main() {
  const auto records = termsim::GenerateAttendance({2000, kRecords, 60, 2024, 0});
  Run(records, true, true, true);
  Run(records, false, true, false);
  Run(records, true, false, false);
  Run(records, false, false, false);
  return 0;
}
