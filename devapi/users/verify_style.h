// A user's verification style (commands 79 and 80), shared by the numeric
// calls (Q_SetUserInfoEx, Q_GetUserInfoEx) and the ID-text calls.
#pragma once

#include <cstdint>

#include "session/device_session.h"

namespace users {

// Command 79: u16 PIN, the style byte, zero-padded to 24 bytes. 1; -2.
int32_t WriteVerifyStyle(devapi::DeviceSession& session, uint32_t pin, int32_t style);
// Command 80: u16 PIN; the style is reply byte 2. 1 (style stored when the
// place is given); -2 refused or a reply shorter than 3 bytes.
int32_t ReadVerifyStyle(devapi::DeviceSession& session, uint32_t pin, int32_t* style);

}  // namespace users
