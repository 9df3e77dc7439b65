// A devapi session over TCP (Q_Connect_NETEX) against the terminal
// simulator on loopback, with the helpers the TCP suites share.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devapi.h"
#include "devwire.h"
#include "session/device_session.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace tcptest {

inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

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

template <typename F>
int64_t ElapsedMs(F&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

class TcpE2E : public ::testing::Test {
 protected:
  void SetUp() override { Q_LastError(nullptr); }
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  bool StartSim(termsim::Profile profile = termsim::Profile::Ver660()) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    if (!sim->StartTcp("127.0.0.1", 0)) {
      ADD_FAILURE() << "simulator did not start";
      return false;
    }
    return true;
  }

  // Connects over TCP; with `reader` the engine gets a reader thread (an
  // event callback), else the connection reads for itself.
  DEVAPI_HANDLE Connect(termsim::Profile profile = termsim::Profile::Ver660(),
                        DEVAPI_EVENT_CALLBACK callback = nullptr, void* context = nullptr) {
    if (!StartSim(std::move(profile))) return nullptr;
    handle = Q_Connect_NETEX("127.0.0.1", sim->tcp_port(), callback, context, 0);
    EXPECT_NE(handle, nullptr) << "Q_LastError " << Q_LastError(nullptr);
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }
  DEVWIRE_HANDLE Engine() { return Session().engine; }

  // Connections the terminal accepted beyond the first: the reconnects.
  size_t Reconnects() const {
    const size_t accepted = sim->TcpConnectionsAccepted();
    return accepted == 0 ? 0 : accepted - 1;
  }

  // How often the terminal carried out control command `code`.
  size_t Carried(uint16_t code) const {
    size_t n = 0;
    for (const auto& c : sim->ControlCommands()) n += c.code == code ? 1 : 0;
    return n;
  }

  // One command straight through the engine with `data_length` data bytes.
  uint16_t SendRaw(uint16_t code, size_t data_length, int32_t timeout_ms = 2000) {
    std::vector<uint8_t> buffer(std::max<size_t>(data_length, 16));
    DEVWIRE_SENDCMD(Engine(), &code, buffer.data(), static_cast<int32_t>(buffer.size()),
                    static_cast<int32_t>(data_length), timeout_ms);
    return code;
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

}  // namespace tcptest
