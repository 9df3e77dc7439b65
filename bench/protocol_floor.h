// What the protocol's fixed waits cost a transfer over loopback UDP, counted
// from what the simulated terminal received: a 50 ms pause before each
// synchronous read and a 10 ms pause after each datagram of more than 10
// bytes. The benchmarks print their times beside this floor.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "devapi.h"
#include "termsim/simulator.h"

namespace bench {

inline constexpr double kSyncReadPauseMs = 50;
inline constexpr double kLongSendPauseMs = 10;
inline constexpr size_t kLongSendBytes = 10;

// An event callback that takes nothing: it only starts the reader thread.
inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The floor of everything `sim` received; `reads_for_itself`: the host read
// synchronously (no reader thread), so every exchange paid the read pause.
inline double FloorMs(const termsim::Simulator& sim, bool reads_for_itself) {
  double floor = 0;
  for (const auto& packet : sim.Received()) {
    if (reads_for_itself) floor += kSyncReadPauseMs;
    if (packet.raw.size() > kLongSendBytes) floor += kLongSendPauseMs;
  }
  return floor;
}

// Starts `sim` on a loopback port, sending bulk data LZO1X-compressed or
// plain, and connects to it (with the engine's reader thread when asked).
// Null after saying why.
inline DEVAPI_HANDLE ConnectToSimulator(termsim::Simulator& sim, bool compress,
                                        bool reader_thread) {
  termsim::BulkOptions options;
  options.compress = compress;
  sim.SetBulkOptions(options);
  if (!sim.StartUdp("127.0.0.1", 0)) {
    std::printf("simulator did not start\n");
    return nullptr;
  }
  DEVAPI_HANDLE h = Q_Connect_NET("127.0.0.1", sim.udp_port(),
                                  reader_thread ? &IgnoreEvent : nullptr, nullptr, 0);
  if (h == nullptr) std::printf("no connection\n");
  return h;
}

}  // namespace bench
