// Transport results that mean the line itself failed.
#pragma once

#include <cstdint>

#include "devoru.h"

namespace devwire {

// A negated socket error number.
constexpr bool IsSocketFailure(int32_t result) { return result <= -10004 && result >= -11004; }

// Any result that the engine records as a line failure.
constexpr bool IsLineFailure(int32_t result) {
  return IsSocketFailure(result) || result == DEVORU_RECONNECTED || result == DEVORU_LINE_GONE ||
         result == DEVORU_LINE_LOST;
}

}  // namespace devwire
