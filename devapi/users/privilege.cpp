#include "users/privilege.h"

namespace users {

PrivilegeCoding CodingOf(const devapi::DeviceSession& session) {
  return (session.privilege_raw != 0 || session.is_rvm_platform != 0) ? PrivilegeCoding::kPlatform
                                                                      : PrivilegeCoding::kStandard;
}

uint8_t EncodePrivilege(PrivilegeCoding coding, int32_t level, int32_t enabled) {
  const bool platform = coding == PrivilegeCoding::kPlatform;
  if (platform && enabled == 0) return 1;
  uint8_t byte = 0;
  switch (level) {
    case 0:
      byte = 0;
      break;
    case 1:
      byte = platform ? 4 : 2;
      break;
    case 2:
      byte = platform ? 8 : 6;
      break;
    case 3:
      byte = 14;
      break;
    case 4:
      byte = 10;
      break;
    default:
      byte = static_cast<uint8_t>(level);
      break;
  }
  if (enabled == 0) byte |= 1;
  return byte;
}

int32_t DecodePrivilege(PrivilegeCoding coding, uint8_t byte) {
  if (coding == PrivilegeCoding::kPlatform) {
    switch (byte) {
      case 14:
        return 3;
      case 10:
        return 4;
      case 8:
        return 2;
      case 4:
        return 1;
      case 0:
      case 1:
        return 0;
      default:
        return byte;
    }
  }
  switch (byte >> 1) {
    case 7:
      return 3;
    case 5:
      return 4;
    case 3:
      return 2;
    case 1:
      return 1;
    case 0:
      return 0;
    default:
      return byte == 255 ? -1 : byte;
  }
}

}  // namespace users
