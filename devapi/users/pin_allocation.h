// Allocation of PINs for new users.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "session/device_session.h"

namespace users {

// Returned when every PIN from 1 to 65534 is taken.
inline constexpr uint32_t kNoFreePin = 65535;

// A PIN for a new user written with the 16/28-byte calls: `suggestion`
// itself when it is a PIN no cached user holds, else the lowest free one
// (scanning the pairs 1-2, 3-4, ...); kNoFreePin when the table is full.
// nullopt when the user table cannot be loaded: a number taken from an
// unknown table could overwrite an existing user.
std::optional<uint32_t> NextFreePin(devapi::DeviceSession& session, int64_t suggestion);

// A PIN for a new colour-screen user with `id_text`: the lowest number that
// neither a cached user holds nor this session handed out before (the marks
// persist until the data is cleared); on a terminal without users, one
// above the number last handed out. kNoFreePin when none is left; nullopt
// when the user table cannot be loaded. The number and the text are
// remembered so that the text maps to it before the cache holds the user.
std::optional<uint32_t> NextFreePinTft(devapi::DeviceSession& session, std::string_view id_text);

// Forgets the numbers handed out (data cleared on the terminal).
void ResetPinAllocation(devapi::DeviceSession& session);

}  // namespace users
