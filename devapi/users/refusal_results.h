// How a refusal maps to a result. A terminal that turns a command down puts
// its reason in the reply's connection word (the exchange result): 1 a
// malformed request, 2 no such user or record, 4 no room left. Some
// firmware answers 4989 or 4991 instead when there is no such data.
#pragma once

#include <cstdint>

#include "session/session_io.h"

namespace users {

inline constexpr uint16_t kAckNoSuchData = 4989;
inline constexpr uint16_t kAckNoSuchRecord = 4991;
inline constexpr int32_t kReasonMalformed = 1;
inline constexpr int32_t kReasonNotFound = 2;
inline constexpr int32_t kReasonNoRoom = 4;

inline bool IsNoSuchData(uint16_t code) {
  return code == kAckNoSuchData || code == kAckNoSuchRecord;
}

// The deletions that report why they were refused: 1; 0 for nothing to
// delete (reason 2, 4989, 4991); -2 otherwise.
inline int32_t ReasonedDeleteResult(const devapi::Reply& r) {
  if (r.ok()) return 1;
  if (r.code == devapi::kAckError) return r.result == kReasonNotFound ? 0 : -2;
  return IsNoSuchData(r.code) ? 0 : -2;
}

// The writes that report why they were refused: 1; reason 2: 0; 1: -4;
// 4: -5; anything else -2.
inline int32_t ReasonedWriteResult(uint16_t code, int32_t reason) {
  if (code == devapi::kAckOk) return 1;
  if (reason == kReasonNotFound) return 0;
  if (reason == kReasonMalformed) return -4;
  return reason == kReasonNoRoom ? -5 : -2;
}

}  // namespace users
