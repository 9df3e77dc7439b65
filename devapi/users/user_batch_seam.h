// Where batch update takes over user writes and deletions, and what the
// user-number mappings learn from the users a batch creates.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "session/device_session.h"

namespace users {

// One user write or deletion as batch update records it.
struct UserBatchEntry {
  enum class Kind {
    kExtendedWrite,   // Q_SetUserInfo: a 28-byte record
    kTftWrite,        // SSR_Q_SetUserInfo: a 72-byte record
    kDeleteByPin,     // Q_DelUser: 28 bytes carrying the PIN
    kDeleteByNumber,  // SSR_Q_DelUser: the PIN as 4 bytes
    kDeleteByIdText,  // SSR_Q_DelUserExt: the PIN as 4 bytes, templates by ID text
  };
  Kind kind = Kind::kExtendedWrite;
  std::span<const uint8_t> record;  // writes
  bool new_user = false;            // kExtendedWrite: joins the new-user list
  int64_t pin = 0;                  // deletions; not a PIN: unknown user
  std::string_view id_text;         // kDeleteByIdText

  static UserBatchEntry Write(Kind kind, std::span<const uint8_t> record, bool new_user = false) {
    UserBatchEntry e;
    e.kind = kind;
    e.record = record;
    e.new_user = new_user;
    return e;
  }
  static UserBatchEntry Delete(Kind kind, int64_t pin, std::string_view id_text = {}) {
    UserBatchEntry e;
    e.kind = kind;
    e.pin = pin;
    e.id_text = id_text;
    return e;
  }
};

// nullopt when no batch is open: the call goes to the terminal. Otherwise
// the call's result: 1 queued; 0 a deletion of a user nobody is (nothing
// queued); -4 a stream is full; 4 the batch holds entries of the other
// form.
std::optional<int32_t> BatchTakesUserEntry(devapi::DeviceSession& session,
                                           const UserBatchEntry& entry);

inline bool BatchActive(const devapi::DeviceSession& session) { return session.batch.active; }

// The 28-byte record of a user this batch created with `pin2` (searched
// while a batch is open); empty when there is none.
std::span<const uint8_t> BatchNewUserByPin2(const devapi::DeviceSession& session, uint32_t pin2);

// Marks in `map` (one byte per PIN) the PINs of the users this batch
// created, so that no second new user gets one of them.
void MarkBatchNewUserPins(const devapi::DeviceSession& session, std::span<uint8_t> map);

}  // namespace users
