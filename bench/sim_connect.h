// A device-library session to a simulated terminal on loopback UDP, for the
// benchmarks of the library's downloads.
#pragma once

#include <cstdio>

#include "devapi.h"
#include "protocol_floor.h"
#include "termsim/simulator.h"

namespace bench {

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
