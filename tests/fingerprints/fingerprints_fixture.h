// A devapi session against a simulated terminal holding users and
// fingerprint templates, over loopback UDP; and realistic templates.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "template_codec.h"
#include "template_samples.h"
#include "termsim/simulator.h"
#include "termsim/templates.h"

namespace fingerprints_test {

using Bytes = std::vector<uint8_t>;

inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

// A compact version-9 template of `minutiae` minutiae (5 + 5 per minutia
// bytes), varied by `seed`.
inline Bytes Version9(int minutiae, int seed = 0) {
  auto m = templates::testing::SpreadMinutiae(minutiae);
  for (auto& p : m) p.direction = (p.direction + seed * 13) % 240;
  return templates::testing::CompactTemplate(40 + seed % 50, m, {}, {});
}

// A plain version-10 container of `length` bytes (at least 29).
inline Bytes Version10(int length, int seed = 0) {
  return templates::testing::PlainContainer({templates::testing::Block(length - 24, 0, seed)});
}

// A black-and-white terminal with version-9 templates.
inline termsim::Profile Ver9() {
  termsim::Profile p = termsim::Profile::Ver660();
  p.options.erase("~QXFPVersion");
  return p;
}

inline termsim::FingerTemplate Stored(uint16_t pin, uint8_t finger, Bytes bytes, uint8_t flag = 1) {
  termsim::FingerTemplate t;
  t.pin = pin;
  t.finger = finger;
  t.flag = flag;
  t.bytes = std::move(bytes);
  return t;
}

inline termsim::User MakeUser(uint16_t pin, std::string id_text = "") {
  termsim::User u;
  u.pin = pin;
  u.pin2 = pin;
  u.name = "U" + std::to_string(pin);
  u.id_text = id_text.empty() ? std::to_string(pin) : std::move(id_text);
  return u;
}

class FingerprintsE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  DEVAPI_HANDLE Connect(termsim::Profile profile, std::vector<termsim::FingerTemplate> stored,
                        std::vector<termsim::User> users = {}) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    sim->SetUsers(std::move(users));
    sim->SetTemplates(std::move(stored));
    if (!sim->StartUdp("127.0.0.1", 0)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    handle = Q_Connect_NET("127.0.0.1", sim->udp_port(), &IgnoreEvent, nullptr, 0);
    EXPECT_NE(handle, nullptr);
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }
  size_t Sent(uint16_t code) const { return sim->CountReceived(code); }
  Bytes LastPayload(uint16_t code) const {
    Bytes out;
    for (const auto& p : sim->Received()) {
      if (p.code == code) out = p.payload;
    }
    return out;
  }
  Bytes StoredBytes(uint16_t pin, uint8_t finger) const {
    const auto t = sim->FindTemplate(pin, finger);
    return t ? t->bytes : Bytes{};
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

}  // namespace fingerprints_test
