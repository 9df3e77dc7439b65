// A devapi session against a simulated terminal with a user table, over
// the test's loopback link (sim_link.h).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link_devapi.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace users_test {

inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

class UsersE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  // Starts a terminal of `profile` holding `users` and connects to it.
  DEVAPI_HANDLE Connect(termsim::Profile profile, std::vector<termsim::User> users = {}) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    sim->SetUsers(std::move(users));
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    // With an event callback the engine's reader thread takes the replies,
    // without the pause a connection that reads for itself makes.
    handle = simlink::Connect(*sim, &IgnoreEvent, nullptr);
    EXPECT_NE(handle, nullptr);
    return handle;
  }

  // Learns the terminal's user-number width (wide numbers map to PINs).
  void AskPinWidth() {
    int32_t width = 0;
    ASSERT_EQ(Q_GetPINWidth(handle, &width), 1);
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }

  size_t Sent(uint16_t code) const { return sim->CountReceived(code); }
  // Downloads of the user table (buffered queries for command 9).
  size_t TableDownloads() const {
    size_t n = 0;
    for (const auto& p : sim->Received()) {
      if (p.code == wire::CMD_QUERY_DATA && p.payload.size() >= 3 && p.payload[1] == 9 &&
          p.payload[2] == 0) {
        ++n;
      }
    }
    return n;
  }
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

inline termsim::User MakeUser(uint16_t pin, uint32_t pin2, std::string name = "",
                              std::string id_text = "") {
  termsim::User u;
  u.pin = pin;
  u.pin2 = pin2;
  u.name = name.empty() ? "U" + std::to_string(pin) : std::move(name);
  u.id_text = id_text.empty() ? std::to_string(pin2 != 0 ? pin2 : pin) : std::move(id_text);
  return u;
}

// A text field as a string: up to its terminator.
inline std::string Str(const char* field) { return std::string(field); }

}  // namespace users_test
