// Where batch update takes over template writes and deletions. While a
// batch is open the calls below queue the operation in the batch instead of
// sending it, and the exported call then reports 1. Batch update is not
// built yet: nothing is queued and every operation goes to the terminal.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "session/device_session.h"

namespace users {

// One template write or deletion as batch update records it.
struct TemplateBatchOperation {
  bool erase = false;  // a deletion (no template)
  int64_t pin = 0;     // the PIN, unless `id_text` names the user
  std::string_view id_text;
  uint8_t finger = 0;             // Q_SetUserTmpEx: flag << 4 | finger & 15
  std::span<const uint8_t> tmpl;  // the prepared template of a write

  static TemplateBatchOperation Write(int64_t pin, std::string_view id_text, uint8_t finger,
                                      std::span<const uint8_t> tmpl) {
    TemplateBatchOperation op;
    op.pin = pin;
    op.id_text = id_text;
    op.finger = finger;
    op.tmpl = tmpl;
    return op;
  }
  static TemplateBatchOperation Erase(int64_t pin, std::string_view id_text, uint8_t finger) {
    TemplateBatchOperation op;
    op.erase = true;
    op.pin = pin;
    op.id_text = id_text;
    op.finger = finger;
    return op;
  }
};

// True when an open batch took the operation (the caller then returns 1).
inline bool BatchTakesTemplateOperation(devapi::DeviceSession& /*session*/,
                                        const TemplateBatchOperation& /*operation*/) {
  return false;  // no batch can be open yet
}

}  // namespace users
