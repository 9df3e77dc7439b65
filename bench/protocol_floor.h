// What the protocol's fixed waits cost a transfer over loopback, counted
// from what the simulated terminal received: a 50 ms pause before each
// synchronous read, and a 10 ms pause after each frame the host sent — every
// frame over TCP (each carries an 8-byte frame header besides its packet),
// datagrams of more than 10 bytes over UDP. The benchmarks print their times
// beside this floor.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "devwire.h"
#include "termsim/simulator.h"

namespace bench {

inline constexpr double kSyncReadPauseMs = 50;
inline constexpr double kLongSendPauseMs = 10;
inline constexpr size_t kLongSendBytes = 10;

enum class Transport { kUdp, kTcp };

inline const char* TransportName(Transport t) { return t == Transport::kTcp ? "tcp" : "udp"; }

inline const char* PluginName(Transport t) {
  return t == Transport::kTcp ? "tcplink.dll" : "comms.dll";
}

// An event callback that takes nothing: it only starts the reader thread.
inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The floor of everything `sim` received; `reads_for_itself`: the host read
// synchronously (no reader thread), so every exchange paid the read pause.
// A TCP frame is never 10 bytes or less, so the size on the wire tells both.
inline double FloorMs(const termsim::Simulator& sim, bool reads_for_itself) {
  double floor = 0;
  for (const auto& packet : sim.Received()) {
    if (reads_for_itself) floor += kSyncReadPauseMs;
    if (packet.wire_size > kLongSendBytes) floor += kLongSendPauseMs;
  }
  return floor;
}

inline bool StartSimulator(termsim::Simulator& sim, Transport transport) {
  return transport == Transport::kTcp ? sim.StartTcp("127.0.0.1", 0)
                                      : sim.StartUdp("127.0.0.1", 0);
}

// An engine connection to a simulator on a loopback port of `transport`.
struct EngineLink {
  termsim::Simulator sim;
  DEVWIRE_HANDLE handle = nullptr;
  Transport transport = Transport::kUdp;
  bool reader = false;

  bool Open(Transport over, bool with_reader) {
    transport = over;
    reader = with_reader;
    if (!StartSimulator(sim, transport)) return false;
    const uint16_t port = transport == Transport::kTcp ? sim.tcp_port() : sim.udp_port();
    handle = DEVWIRE_INIT(PluginName(transport), "127.0.0.1", port, 0,
                          reader ? IgnoreEvent : nullptr, nullptr, 0, nullptr);
    sim.ClearReceived();
    return handle != nullptr;
  }
  ~EngineLink() {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  double FloorMs() const { return bench::FloorMs(sim, !reader); }
};

}  // namespace bench
