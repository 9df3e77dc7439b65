// A devapi session over USB (Q_Connect_USB) against the terminal simulator
// serving a drive directory, with the plug-in's file access direct or in
// its buffered fallback.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link.h"
#include "termsim/simulator.h"

namespace usbtest {

enum class Io { kDirect, kFallback };

inline std::string IoName(const ::testing::TestParamInfo<Io>& info) {
  return info.param == Io::kDirect ? "Direct" : "Fallback";
}

// Waits up to `limit_ms` for `done`.
template <typename F>
bool Eventually(F&& done, int limit_ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class UsbE2E : public ::testing::Test {
 protected:
  void SetUp() override { Q_LastError(nullptr); }
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
    ::unsetenv("TERMKIT_USB_IO");
  }

  // Hosts on USB keep the compact operation log: the terminals do too.
  static termsim::Profile UsbProfile() {
    termsim::Profile p = termsim::Profile::Ver660();
    p.options["ExtendOPLog"] = "0";
    return p;
  }

  void UseIo(Io io) {
    if (io == Io::kFallback) {
      ::setenv("TERMKIT_USB_IO", "buffered", 1);
    } else {
      ::unsetenv("TERMKIT_USB_IO");
    }
  }

  bool StartSim(termsim::Profile profile = UsbProfile()) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    if (!sim->StartUsb(simlink::NewUsbDrive())) {
      ADD_FAILURE() << "simulator did not start";
      return false;
    }
    simlink::UseUsbDrive(*sim);
    return true;
  }

  // Connects over USB; with `callback` the engine gets a reader thread.
  DEVAPI_HANDLE Connect(termsim::Profile profile = UsbProfile(),
                        DEVAPI_EVENT_CALLBACK callback = nullptr, void* context = nullptr,
                        int32_t password = 0) {
    if (!StartSim(std::move(profile))) return nullptr;
    handle = Q_Connect_USB(simlink::kUsbDevice, callback, context, password);
    EXPECT_NE(handle, nullptr) << "Q_LastError " << Q_LastError(nullptr);
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

}  // namespace usbtest
