// Privilege codings of the user records' privilege byte.
//
// Hosts speak levels 0 (user) to 4 plus an enabled flag. Terminals store a
// byte in one of two codings; the platform coding is used when the host
// asked for unconverted privileges or the terminal is of the RVM family.
//
//   level     0  1  2   3   4   other v
//   standard  0  2  6  14  10   v         disabled: bit 0 set
//   platform  0  4  8  14  10   v         disabled: the byte is 1
#pragma once

#include <cstdint>

#include "session/device_session.h"

namespace users {

enum class PrivilegeCoding { kStandard, kPlatform };

PrivilegeCoding CodingOf(const devapi::DeviceSession& session);

// The byte for a level and the enabled flag (0 = disabled).
uint8_t EncodePrivilege(PrivilegeCoding coding, int32_t level, int32_t enabled);

// The level a byte stands for (-1 for 255 in the standard coding; bytes
// that stand for no level come back unchanged).
int32_t DecodePrivilege(PrivilegeCoding coding, uint8_t byte);

// The enabled flag of a byte: the inverse of bit 0.
inline int32_t EnabledOf(uint8_t byte) { return (byte & 1) == 0 ? 1 : 0; }

}  // namespace users
