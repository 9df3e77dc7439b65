// A devapi session against a simulated terminal holding extras tables,
// over the test's loopback link (sim_link.h).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link_devapi.h"
#include "termsim/extras.h"
#include "termsim/simulator.h"

namespace extras_test {

inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

class ExtrasE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  DEVAPI_HANDLE Connect(termsim::Profile profile, termsim::ExtrasData data = {}) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    sim->SetExtras(std::move(data));
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    // The reader thread takes the replies: no pause of a self-reading link.
    handle = simlink::Connect(*sim, &IgnoreEvent, nullptr);
    EXPECT_NE(handle, nullptr);
    // Hostile-table tests fail fast.
    if (handle != nullptr) Session().data_timeout_ms = 2000;
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }
  size_t Sent(uint16_t code) const { return sim->CountReceived(code); }
  // The payload of the last packet with `code`.
  std::vector<uint8_t> LastPayload(uint16_t code) const {
    std::vector<uint8_t> out;
    for (const auto& p : sim->Received()) {
      if (p.code == code) out = p.payload;
    }
    return out;
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

// A counted table reply as a hostile terminal sends it.
inline std::vector<uint8_t> CountedBytes(uint32_t count, std::vector<uint8_t> records) {
  std::vector<uint8_t> out = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                              static_cast<uint8_t>(count >> 16),
                              static_cast<uint8_t>(count >> 24)};
  out.insert(out.end(), records.begin(), records.end());
  return out;
}

inline uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b.size() < at + 4 ? 0 : b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

}  // namespace extras_test
