#include "users/user_numbers.h"

#include <cstring>

#include "users/user_batch_seam.h"
#include "users/user_cache.h"

namespace users {

namespace {

constexpr int32_t kNarrowWidth = 5;
constexpr int64_t kNarrowLimit = 65535;

}  // namespace

int64_t PinFromPin2(devapi::DeviceSession& s, int64_t number) {
  if (IsOldFirmware(s)) return number;
  if (s.pin_width <= kNarrowWidth && number < kNarrowLimit) return number;
  if (!CacheAllocated(s) || s.user_table_stale != 0) LoadUserCache(s);
  // A PIN2 is a 32-bit word: callers hand the large ones over as negative
  // int values.
  if (number >= INT32_MIN && number <= UINT32_MAX) {
    if (const auto found = FindUserByPin2(s, static_cast<uint32_t>(number))) {
      return RecordPin(RecordAt(s, *found));
    }
    // A user created in the open batch, which the cache does not hold.
    if (s.pin_width > kNarrowWidth) {
      const auto created = BatchNewUserByPin2(s, static_cast<uint32_t>(number));
      if (!created.empty()) return RecordPin(created);
    }
  }
  return number;
}

uint32_t Pin2FromPin(devapi::DeviceSession& s, uint32_t pin) {
  if (IsOldFirmware(s)) return pin;
  if (!CacheAllocated(s)) LoadUserCache(s);
  const auto found = FindUserByPin(s, pin);
  if (!found) return pin;
  const uint32_t pin2 = CachedPin2(CacheLayout(s), RecordAt(s, *found));
  return pin2 != 0 ? pin2 : pin;
}

int32_t PinFromIdText(devapi::DeviceSession& s, std::string_view id_text) {
  if (!CacheAllocated(s)) LoadUserCache(s);
  if (const auto found = FindUserByIdText(s, id_text)) return RecordPin(RecordAt(s, *found));
  // A user this session just numbered, that the cache does not hold yet.
  const uint32_t last = s.user_cache.last_free_user_no;
  if (last != 0 && !id_text.empty() && id_text == s.user_cache.last_free_id_text &&
      !FindUserByPin(s, last)) {
    return static_cast<int32_t>(last);
  }
  return -1;
}

int32_t QueryPinByPin2(devapi::DeviceSession& s, uint32_t pin2) {
  if (EnsureUserCache(s) != 1) return -2;
  const auto found = FindUserByPin2(s, pin2);
  return found ? RecordPin(RecordAt(s, *found)) : 0;
}

std::optional<std::string_view> CallerIdText(const char* text) {
  if (text == nullptr) return std::nullopt;
  const size_t n = strnlen(text, kIdTextMax + 1);
  if (n > kIdTextMax) return std::nullopt;
  return std::string_view(text, n);
}

}  // namespace users
