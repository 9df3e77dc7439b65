// The link a test talks to the simulator over. Suites that run over every
// transport take it from the environment: ctest registers each of them once
// per link (see termkit_tests_over_links in tests/CMakeLists.txt), and a
// test binary run by hand talks UDP unless TERMKIT_TEST_LINK=tcp.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "devwire.h"
#include "termsim/simulator.h"

namespace simlink {

enum class Link { kUdp, kTcp };

inline Link CurrentLink() {
  const char* v = std::getenv("TERMKIT_TEST_LINK");
  return v != nullptr && std::strcmp(v, "tcp") == 0 ? Link::kTcp : Link::kUdp;
}

inline const char* LinkName(Link link) { return link == Link::kTcp ? "tcp" : "udp"; }

// The plug-in the engine loads for the link.
inline const char* PluginName(Link link) {
  return link == Link::kTcp ? "tcplink.dll" : "comms.dll";
}

// Starts the simulator on a free loopback port of the link.
inline bool Start(termsim::Simulator& sim, Link link = CurrentLink()) {
  return link == Link::kTcp ? sim.StartTcp("127.0.0.1", 0) : sim.StartUdp("127.0.0.1", 0);
}

inline uint16_t Port(const termsim::Simulator& sim, Link link = CurrentLink()) {
  return link == Link::kTcp ? sim.tcp_port() : sim.udp_port();
}

// An engine connection to the simulator over the link.
inline DEVWIRE_HANDLE OpenEngine(const termsim::Simulator& sim, DEVWIRE_EVENT_CALLBACK callback,
                                 void* context, Link link = CurrentLink()) {
  return DEVWIRE_INIT(PluginName(link), "127.0.0.1", Port(sim, link), 0, callback, context, 0,
                      nullptr);
}

}  // namespace simlink
