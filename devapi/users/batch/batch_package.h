// The package Q_BatchUpdate uploads: u32 U, u32 O, u32 T (the byte counts
// of the user entries, the template operations and the template data),
// then the three streams, 12 + U + O + T bytes in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/device_session.h"

namespace users {

inline constexpr size_t kBatchPackageHead = 12;

// Throws std::bad_alloc when the package cannot be had.
std::vector<uint8_t> BuildBatchPackage(const devapi::DeviceSession::BatchState& batch);

}  // namespace users
