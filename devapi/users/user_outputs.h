// Fills the host's outputs from one cached user record, for the iterating
// and querying calls of both families.
#pragma once

#include <cstdint>
#include <span>

#include "session/device_session.h"

namespace users {

// The outputs of Q_GetUserInfo / Q_QueryUserInfo; null members are skipped.
// Sizes: name 9 bytes, password 6, card 5, time zones 4 ints.
struct NarrowUserOut {
  int32_t* pin = nullptr;
  char* name = nullptr;
  int32_t* privilege = nullptr;
  int32_t* enabled = nullptr;
  char* password = nullptr;
  uint8_t* card = nullptr;
  int32_t* pin2 = nullptr;
  int32_t* group = nullptr;
  int32_t* time_zones = nullptr;
};

// The outputs of SSR_Q_GetUserInfo / SSR_Q_QueryUserInfo. Sizes: ID text
// 25 bytes, name 25, password 9, time-zone words 4 ints.
struct WideUserOut {
  int32_t* pin = nullptr;
  char* id_text = nullptr;
  char* name = nullptr;
  int32_t* privilege = nullptr;
  int32_t* enabled = nullptr;
  char* password = nullptr;
  int32_t* card = nullptr;
  int32_t* group = nullptr;
  int32_t* tz_words = nullptr;
};

// `record` is a whole record of the cache's layout.
void FillNarrowOut(const devapi::DeviceSession& session, std::span<const uint8_t> record,
                   const NarrowUserOut& out);
void FillWideOut(const devapi::DeviceSession& session, std::span<const uint8_t> record,
                 const WideUserOut& out);

// The ID-text width the terminal reported, as a bound for copies (0-24).
size_t IdTextWidth(const devapi::DeviceSession& session);

}  // namespace users
