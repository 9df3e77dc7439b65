// Reading one template from the terminal. The template goes into the
// caller's buffer of *length bytes (never more, even when the terminal sends
// more); *length becomes the bytes that arrived.
#pragma once

#include <cstdint>
#include <string_view>

#include "session/device_session.h"

namespace users {

// Command 9 for a PIN: 1; 0 the terminal has no such template (or the PIN is
// none the terminal can address); -2.
int32_t ReadTemplateByPin(devapi::DeviceSession& session, int64_t pin, uint8_t finger,
                          uint8_t* buffer, int32_t* length);

// Command 9 for an ID text, streamed on version-10 terminals. A text that
// names no user even after the user table is reloaded gives 0.
int32_t ReadTemplateByIdText(devapi::DeviceSession& session, std::string_view id_text,
                             uint8_t finger, uint8_t* buffer, int32_t* length);

// Command 88 for a user text: the template and its flag byte, which comes
// last; *length counts the template without it. On colour-screen terminals
// the flag goes to *flag (when given).
int32_t ReadTemplateWithFlag(devapi::DeviceSession& session, const char* user, uint8_t finger,
                             int32_t* flag, uint8_t* buffer, int32_t* length);

}  // namespace users
