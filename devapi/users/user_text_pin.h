// The PIN named by a "user text" argument: colour-screen terminals know
// users by ID text, the others by number, written in decimal.
#pragma once

#include <cstdint>

#include "session/device_session.h"

namespace users {

// On colour-screen terminals PinFromIdText of the text (at most 24
// characters; a longer one names nobody and gives -1); elsewhere the text's
// leading decimal number (0 when there is none) through PinFromPin2. The
// caller has checked the text is not null.
int64_t PinFromUserText(devapi::DeviceSession& session, const char* text);

}  // namespace users
