// What a bulk read ends with: the outcome for the caller's code slot and the
// read's result.
#pragma once

#include <cstdint>

namespace devwire {

struct BulkResult {
  uint16_t outcome = 0;
  int32_t result = 0;
};

}  // namespace devwire
