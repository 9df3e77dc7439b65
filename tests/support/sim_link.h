// The link a test talks to the simulator over. Suites that run over every
// transport take it from the environment: ctest registers each of them once
// per link (see termkit_tests_over_tcp and termkit_tests_over_usb in
// tests/CMakeLists.txt), and a test binary run by hand talks UDP unless
// TERMKIT_TEST_LINK=tcp or usb.
//
// Over USB the simulator serves a drive directory of its own, and the
// plug-in finds it through TERMKIT_USB_ROOTS.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"

namespace simlink {

enum class Link { kUdp, kTcp, kUsb };

inline Link CurrentLink() {
  const char* v = std::getenv("TERMKIT_TEST_LINK");
  if (v != nullptr && std::strcmp(v, "tcp") == 0) return Link::kTcp;
  if (v != nullptr && std::strcmp(v, "usb") == 0) return Link::kUsb;
  return Link::kUdp;
}

inline const char* LinkName(Link link) {
  return link == Link::kTcp ? "tcp" : link == Link::kUsb ? "usb" : "udp";
}

// The plug-in the engine loads for the link.
inline const char* PluginName(Link link) {
  return link == Link::kTcp ? "tcplink.dll" : link == Link::kUsb ? "usblink.dll" : "comms.dll";
}

// The terminal's device number on USB (the simulator's "DeviceID").
inline constexpr int32_t kUsbDevice = 1;

// A fresh drive directory for a USB simulator, removed when the test
// program ends.
inline std::string NewUsbDrive() {
  struct Drives {
    std::vector<std::filesystem::path> dirs;
    ~Drives() {
      std::error_code ec;
      for (const auto& d : dirs) std::filesystem::remove_all(d, ec);
    }
  };
  static Drives drives;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("termkit_usb_" + std::to_string(::getpid()) + "_" +
                    std::to_string(drives.dirs.size()));
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  drives.dirs.push_back(dir);
  return dir.string();
}

// Makes the USB plug-in find the simulator's drive (and only it).
inline void UseUsbDrive(const termsim::Simulator& sim) {
  const std::string file = sim.usb_file();
  const std::string dir = file.substr(0, file.rfind('/'));
  ::setenv("TERMKIT_USB_ROOTS", dir.c_str(), 1);
}

// Starts the simulator on a free loopback port of the link, or on a drive
// directory of its own. Hosts on USB never read "ExtendOPLog", so a USB
// terminal keeps the compact operation log.
inline bool Start(termsim::Simulator& sim, Link link = CurrentLink()) {
  switch (link) {
    case Link::kTcp: return sim.StartTcp("127.0.0.1", 0);
    case Link::kUsb:
      if (!sim.StartUsb(NewUsbDrive())) return false;
      sim.SetOption("ExtendOPLog", "0");
      UseUsbDrive(sim);
      return true;
    case Link::kUdp: break;
  }
  return sim.StartUdp("127.0.0.1", 0);
}

// The port of the link (0 on USB, which has none).
inline uint16_t Port(const termsim::Simulator& sim, Link link = CurrentLink()) {
  return link == Link::kTcp ? sim.tcp_port() : link == Link::kUsb ? 0 : sim.udp_port();
}

// An engine connection to the simulator over the link.
inline DEVWIRE_HANDLE OpenEngine(const termsim::Simulator& sim, DEVWIRE_EVENT_CALLBACK callback,
                                 void* context, Link link = CurrentLink()) {
  if (link == Link::kUsb) {
    UseUsbDrive(sim);
    return DEVWIRE_INIT(PluginName(link), "", kUsbDevice, 0, callback, context, 0, nullptr);
  }
  return DEVWIRE_INIT(PluginName(link), "127.0.0.1", Port(sim, link), 0, callback, context, 0,
                      nullptr);
}

}  // namespace simlink
