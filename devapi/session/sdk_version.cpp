#include <cstring>

#include "devapi.h"

namespace {
constexpr char kSdkVersion[] = "5.2.0.47.U.3";
static_assert(sizeof(kSdkVersion) == 13);
}  // namespace

int32_t Q_GetSDKVersion(char* version) {
  if (version == nullptr) return 4;
  std::memcpy(version, kSdkVersion, sizeof(kSdkVersion));
  return 1;
}
