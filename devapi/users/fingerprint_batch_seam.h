// Where batch update takes over template writes and deletions. While a
// batch is open the calls below queue the operation in the batch instead of
// sending it, and report what the batch made of it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "session/device_session.h"

namespace users {

// One template write or deletion as batch update records it: for a PIN, or
// for the user an ID text names.
struct TemplateBatchOperation {
  bool erase = false;     // a deletion (no template)
  bool by_id_text = false;
  int64_t pin = 0;        // the mapped PIN (-1 or another non-PIN: unknown user)
  std::string_view id_text;
  uint8_t finger = 0;             // Q_SetUserTmpEx: flag << 4 | finger & 15
  std::span<const uint8_t> tmpl;  // the prepared template of a write

  static TemplateBatchOperation Write(int64_t pin, uint8_t finger, std::span<const uint8_t> tmpl) {
    TemplateBatchOperation op;
    op.pin = pin;
    op.finger = finger;
    op.tmpl = tmpl;
    return op;
  }
  static TemplateBatchOperation WriteById(std::string_view id_text, uint8_t finger,
                                          std::span<const uint8_t> tmpl) {
    TemplateBatchOperation op = Write(0, finger, tmpl);
    op.by_id_text = true;
    op.id_text = id_text;
    return op;
  }
  static TemplateBatchOperation Erase(int64_t pin, uint8_t finger) {
    TemplateBatchOperation op = Write(pin, finger, {});
    op.erase = true;
    return op;
  }
  static TemplateBatchOperation EraseById(std::string_view id_text, uint8_t finger) {
    TemplateBatchOperation op = WriteById(id_text, finger, {});
    op.erase = true;
    return op;
  }
};

// nullopt when no batch is open: the call goes to the terminal. Otherwise
// the call's result: 1 queued; 0 the PIN names nobody (nothing queued, as
// the terminal would refuse it); -4 a stream is full; 4 the batch holds
// operations of the other form (by PIN / by ID text).
std::optional<int32_t> BatchTakesTemplateOperation(devapi::DeviceSession& session,
                                                   const TemplateBatchOperation& operation);

}  // namespace users
