// A devapi session against the terminal simulator over loopback UDP.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "termsim/simulator.h"

namespace session_test {

inline std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class SessionE2E : public ::testing::Test {
 protected:
  void SetUp() override { Q_LastError(nullptr); }
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  // Starts a simulator with `profile` on 127.0.0.1 and connects to it.
  DEVAPI_HANDLE Connect(termsim::Profile profile = {}, int32_t password = 0) {
    StartSim(std::move(profile));
    if (!sim) return nullptr;
    handle = Q_Connect_NET("127.0.0.1", sim->udp_port(), nullptr, nullptr, password);
    return handle;
  }

  void StartSim(termsim::Profile profile) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    if (!sim->StartUdp("127.0.0.1", 0)) {
      ADD_FAILURE() << "simulator did not start";
      sim.reset();
    }
  }

  // The session behind the handle (white-box: the handle is its address).
  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }

  // Payloads the terminal received with `code`, in order.
  std::vector<std::vector<uint8_t>> Payloads(uint16_t code) const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& p : sim->Received()) {
      if (p.code == code) out.push_back(p.payload);
    }
    return out;
  }
  std::vector<uint8_t> LastPayload(uint16_t code) const {
    const auto all = Payloads(code);
    return all.empty() ? std::vector<uint8_t>{} : all.back();
  }
  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> out;
    for (const auto& p : sim->Received()) out.push_back(p.code);
    return out;
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

// Milliseconds taken by `body`.
template <typename F>
int64_t ElapsedMs(F&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

inline std::vector<uint8_t> Bytes(const std::string& text, bool terminated = true) {
  std::vector<uint8_t> out(text.begin(), text.end());
  if (terminated) out.push_back(0);
  return out;
}

}  // namespace session_test
