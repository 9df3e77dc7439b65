// User numbers and the mappings between them.
//
// A terminal keys every user, template, log record and per-user command by
// its internal 16-bit number, the PIN (1 to 65534). People see another
// number, the PIN2 (32 bits), when the terminal uses wide user numbers
// (pin_width above 5), and colour-screen terminals identify users by an ID
// text of up to 24 characters. These functions turn one into the other
// through the session's user cache, loading it from the terminal when they
// need it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "session/device_session.h"

namespace users {

// The PINs a terminal can address.
inline constexpr int64_t kMinPin = 1;
inline constexpr int64_t kMaxPin = 65534;
constexpr bool IsValidPin(int64_t pin) { return pin >= kMinPin && pin <= kMaxPin; }

// Longest ID text (the width of the records' ID field).
inline constexpr size_t kIdTextMax = 24;

// The PIN for a caller's user number. The number itself for firmware below
// "Ver 5.04" and for narrow user numbers below 65535; otherwise the PIN of
// the cached user with this PIN2 (the cache is loaded first when absent, and
// reloaded while the session's user table is stale), else the number itself.
// The result may lie outside 1..65534: callers check IsValidPin and send
// nothing for such a number, never a number cut to 16 bits.
int64_t PinFromPin2(devapi::DeviceSession& session, int64_t number);

// The user number to report for a PIN: the cached user's PIN2 when it has a
// non-zero one (firmware "Ver 5.04" and later; the cache is loaded first
// when absent), else the PIN itself.
uint32_t Pin2FromPin(devapi::DeviceSession& session, uint32_t pin);

// The PIN of the user with this ID text (at most 24 characters compared),
// or -1. A text that the cache does not hold yet but that was just given a
// new PIN by this session maps to that PIN.
int32_t PinFromIdText(devapi::DeviceSession& session, std::string_view id_text);

// The PIN of the user with this PIN2 as the exported query reports it:
// the PIN, 0 when no user has it, -2 when the user table cannot be loaded.
int32_t QueryPinByPin2(devapi::DeviceSession& session, uint32_t pin2);

// A caller's ID text, read up to its terminator but never beyond 24
// characters; nullopt for a null pointer or a text longer than 24.
std::optional<std::string_view> CallerIdText(const char* text);

}  // namespace users
