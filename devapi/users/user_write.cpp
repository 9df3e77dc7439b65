// Q_SetUserInfo and SSR_Q_SetUserInfo: writing one user to the terminal,
// numbering new users and keeping the cache in step.
#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <span>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/pin_allocation.h"
#include "users/privilege.h"
#include "users/time_zones.h"
#include "users/user_batch_seam.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_records.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr int32_t kPinOutOfRange = -10;
constexpr int32_t kWriteExtraMs = 2000;
constexpr int32_t kShortWriteTimeoutFactor = 4;
constexpr size_t kNarrowName = 8;
constexpr size_t kNarrowPassword = 5;

// The write of old firmware: the cache is dropped on success, as the
// terminal's record differs from what was sent.
int32_t WriteShortUser(DeviceSession& s, int32_t pin, const char* name, int32_t privilege,
                       int32_t enabled, const char* password) {
  if (pin == 0) return kPinOutOfRange;  // these terminals know no PIN2 to look it up by
  UserFields f;
  f.pin = static_cast<uint16_t>(pin);
  TakeCallerText(name, std::span<uint8_t>(f.name).first(kNarrowName));
  TakeCallerText(password, std::span<uint8_t>(f.password).first(kNarrowPassword));
  f.privilege = EncodePrivilege(CodingOf(s), privilege, enabled);
  const auto request = EncodeShortWrite(f, static_cast<uint8_t>(enabled));
  const int64_t timeout = static_cast<int64_t>(s.cmd_timeout_ms) * kShortWriteTimeoutFactor;
  const devapi::Reply reply =
      devapi::SendCommand(s, wire::CMD_USER_WRQ, request, 0,
                          static_cast<int32_t>(std::clamp<int64_t>(timeout, 0, INT32_MAX)));
  if (!reply.ok()) return -2;
  FreeUserCache(s);
  return 1;
}

struct Target {
  uint32_t pin = 0;
  std::optional<size_t> found;  // the cached record of this user
  bool batch_new = false;       // a user this open batch created
  bool known() const { return found || batch_new; }
};

// Which user a write addresses: the cached one with this PIN, or with this
// PIN2 when no PIN is given; a new user gets a free PIN.
std::optional<Target> ResolveExtendedTarget(DeviceSession& s, int32_t pin, uint32_t pin2,
                                            int32_t* failure) {
  Target t;
  if (pin != 0) {
    t.pin = static_cast<uint32_t>(pin);
    t.found = FindUserByPin(s, t.pin);
    return t;
  }
  // Without either number there is no one to look up: PIN2 0 would match
  // any user stored without a PIN2 and overwrite it.
  if (pin2 != 0) t.found = FindUserByPin2(s, pin2);
  const auto batch_record = !t.found && pin2 != 0 ? BatchNewUserByPin2(s, pin2)
                                                  : std::span<const uint8_t>();
  if (t.found) {
    t.pin = RecordPin(RecordAt(s, *t.found));
  } else if (!batch_record.empty()) {
    t.pin = RecordPin(batch_record);
    t.batch_new = true;
  } else {
    const auto next = NextFreePin(s, pin2);
    if (!next) {
      *failure = -2;
      return std::nullopt;
    }
    if (*next == kNoFreePin) {
      *failure = kPinOutOfRange;
      return std::nullopt;
    }
    t.pin = *next;
  }
  if (!IsValidPin(t.pin)) {
    *failure = -2;
    return std::nullopt;
  }
  return t;
}

int32_t WriteExtendedUser(DeviceSession& s, int32_t pin, const char* name, int32_t privilege,
                          int32_t enabled, const char* password, const uint8_t* card, uint32_t pin2,
                          int32_t group, const int32_t* time_zones) {
  if (!CacheAllocated(s)) LoadUserCache(s);
  int32_t failure = -2;
  const auto target = ResolveExtendedTarget(s, pin, pin2, &failure);
  if (!target) return failure;

  UserFields f;
  f.pin = static_cast<uint16_t>(target->pin);
  if (name != nullptr) TakeCallerText(name, std::span<uint8_t>(f.name).first(kNarrowName));
  if (password != nullptr) {
    TakeCallerText(password, std::span<uint8_t>(f.password).first(kNarrowPassword));
  }
  f.privilege = EncodePrivilege(CodingOf(s), privilege, enabled);
  f.pin2 = pin2;
  if (f.pin2 == 0 && target->found) {
    f.pin2 = CachedPin2(CacheLayout(s), RecordAt(s, *target->found));
  }
  if (f.pin2 == 0) f.pin2 = target->pin;
  if (card != nullptr) std::copy(card, card + f.card.size(), f.card.begin());
  const PackedTimeZones zones = PackTimeZones(
      {static_cast<uint8_t>(group & 0x0F), 0},
      time_zones != nullptr ? std::span<const int32_t>(time_zones, 3) : std::span<const int32_t>());
  f.group = zones.group_byte;
  f.tz_word = zones.word;

  std::array<uint8_t, kExtendedRecordSize> record{};
  EncodeUserRecord(UserLayout::kExtended, f, record);
  // In a batch neither the terminal nor the cache is touched; a new user
  // joins the batch's own list.
  if (const auto taken = BatchTakesUserEntry(
          s, UserBatchEntry::Write(UserBatchEntry::Kind::kExtendedWrite, record, !target->known()))) {
    return *taken;
  }
  const devapi::Reply reply =
      devapi::SendCommand(s, wire::CMD_USER_WRQ, record, record.size(),
                          devapi::AddTimeout(s.cmd_timeout_ms, kWriteExtraMs));
  if (!reply.ok()) return -2;
  // The cache takes the record as sent: the reply buffer holds the answer.
  StoreWrittenRecord(s, UserLayout::kExtended, record, target->found);
  return 1;
}

int32_t WriteTftUser(DeviceSession& s, std::string_view id_text, const char* name,
                     int32_t privilege, int32_t enabled, const char* password, const int32_t* card,
                     int32_t group, const int32_t* tz_words) {
  if (!CacheAllocated(s)) LoadUserCache(s);
  const auto found = FindUserByIdText(s, id_text);
  uint32_t pin = 0;
  if (found) {
    pin = RecordPin(RecordAt(s, *found));
  } else {
    const auto next = NextFreePinTft(s, id_text);
    if (!next || *next == kNoFreePin) return -2;
    pin = *next;
  }
  if (!IsValidPin(pin)) return -2;

  UserFields f;
  f.pin = static_cast<uint16_t>(pin);
  std::copy(id_text.begin(), id_text.end(), f.id_text.begin());
  if (name != nullptr) TakeCallerText(name, f.name);
  if (password != nullptr) TakeCallerText(password, f.password);
  f.privilege = EncodePrivilege(CodingOf(s), privilege, enabled);
  f.group = static_cast<uint8_t>(group);
  if (tz_words != nullptr) {
    for (size_t i = 0; i < f.tz_words.size(); ++i) {
      f.tz_words[i] = static_cast<uint16_t>(tz_words[i]);
    }
  }
  if (card != nullptr) wire::ByteWriter(f.card).U32(static_cast<uint32_t>(*card));

  std::array<uint8_t, kTftRecordSize> record{};
  EncodeUserRecord(UserLayout::kTft, f, record);
  if (const auto taken =
          BatchTakesUserEntry(s, UserBatchEntry::Write(UserBatchEntry::Kind::kTftWrite, record))) {
    if (*taken == 1) StoreWrittenRecord(s, UserLayout::kTft, record, found);
    return *taken;
  }
  const devapi::Reply reply =
      devapi::SendCommand(s, wire::CMD_USER_WRQ, record, record.size(),
                          devapi::AddTimeout(s.cmd_timeout_ms, kWriteExtraMs));
  if (!reply.ok()) return -2;
  StoreWrittenRecord(s, UserLayout::kTft, record, found);
  return 1;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_SetUserInfo(DEVAPI_HANDLE handle, int32_t pin, const char* name,
                                 int32_t privilege, int32_t enabled, const char* password,
                                 const uint8_t* card, int32_t pin2, int32_t group,
                                 const int32_t* time_zones) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (pin < 0 || pin > users::kMaxPin) return users::kPinOutOfRange;
    if (users::IsOldFirmware(*s)) {
      return users::WriteShortUser(*s, pin, name, privilege, enabled, password);
    }
    return users::WriteExtendedUser(*s, pin, name, privilege, enabled, password, card,
                                    static_cast<uint32_t>(pin2), group, time_zones);
  });
}

DEVAPI_API int32_t SSR_Q_SetUserInfo(DEVAPI_HANDLE handle, const char* id_text, const char* name,
                                     int32_t privilege, int32_t enabled, const char* password,
                                     const int32_t* card, int32_t group, const int32_t* tz_words) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || text->empty()) return 4;
    return users::WriteTftUser(*s, *text, name, privilege, enabled, password, card, group,
                               tz_words);
  });
}

}  // extern "C"
