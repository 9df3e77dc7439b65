#include "users/pin_allocation.h"

#include <algorithm>
#include <vector>

#include "users/user_batch_seam.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"

namespace users {

namespace {

constexpr size_t kPinMapSize = 65536;

// True when the table is known: loaded now, or loaded once more on demand.
bool EnsureLoaded(devapi::DeviceSession& s) {
  if (!s.user_cache.loaded) LoadUserCache(s);
  return s.user_cache.loaded;
}

void MarkCachedPins(const devapi::DeviceSession& s, std::vector<uint8_t>& map) {
  const auto records = CachedRecords(s);
  const size_t stride = CacheStride(s);
  for (size_t at = 0; at + stride <= records.size(); at += stride) {
    map[RecordPin(records.subspan(at, stride))] = 1;
  }
}

void Remember(devapi::DeviceSession& s, uint32_t pin, std::string_view id_text) {
  s.user_cache.last_free_user_no = pin;
  s.user_cache.last_free_id_text.assign(id_text.substr(0, kIdTextMax));
}

}  // namespace

std::optional<uint32_t> NextFreePin(devapi::DeviceSession& s, int64_t suggestion) {
  if (!EnsureLoaded(s)) return std::nullopt;
  std::vector<uint8_t> used(kPinMapSize, 0);
  MarkCachedPins(s, used);
  MarkBatchNewUserPins(s, used);
  if (IsValidPin(suggestion) && used[static_cast<size_t>(suggestion)] == 0) {
    return static_cast<uint32_t>(suggestion);
  }
  for (uint32_t n = 1; n <= kMaxPin; n += 2) {
    if (used[n] == 0) return n;
    if (n + 1 <= kMaxPin && used[n + 1] == 0) return n + 1;
  }
  return kNoFreePin;
}

std::optional<uint32_t> NextFreePinTft(devapi::DeviceSession& s, std::string_view id_text) {
  if (!EnsureLoaded(s)) return std::nullopt;
  if (s.user_len == 0) {
    if (s.user_cache.last_free_user_no >= kMaxPin) return kNoFreePin;
    Remember(s, s.user_cache.last_free_user_no + 1, id_text);
    return s.user_cache.last_free_user_no;
  }
  auto& map = s.user_cache.user_no_map;
  if (map.size() != kPinMapSize) map.assign(kPinMapSize, 0);
  MarkCachedPins(s, map);
  for (uint32_t n = 1; n <= kMaxPin; ++n) {
    if (map[n] == 0) {
      map[n] = 1;
      Remember(s, n, id_text);
      return n;
    }
  }
  return kNoFreePin;
}

void ResetPinAllocation(devapi::DeviceSession& s) {
  s.user_cache.last_free_user_no = 0;
  s.user_cache.last_free_id_text.clear();
  std::fill(s.user_cache.user_no_map.begin(), s.user_cache.user_no_map.end(), uint8_t{0});
}

}  // namespace users
