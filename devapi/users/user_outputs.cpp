#include "users/user_outputs.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "users/caller_fields.h"
#include "users/privilege.h"
#include "users/time_zones.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_records.h"
#include "wire/le_bytes.h"

namespace users {

namespace {

constexpr size_t kNarrowName = 8;
constexpr size_t kNarrowPassword = 5;
constexpr size_t kWideName = 24;
constexpr size_t kWidePassword = 8;
// Colour-screen time-zone word 0 says whether the user has zones of its own.
constexpr uint16_t kOwnZonesMode = 1;
// Users of the narrow layouts that have no group of their own.
constexpr int32_t kDefaultGroup = 1;

uint32_t CardNumber(const UserFields& f) {
  wire::ByteReader r(f.card);
  return r.U32();
}

// The ID text a user of a numeric layout is known by: its PIN2, or its
// PIN when it has none.
std::array<uint8_t, kIdTextMax> NumericIdText(uint32_t number) {
  std::array<uint8_t, kIdTextMax> text{};
  char* begin = reinterpret_cast<char*>(text.data());
  std::to_chars(begin, begin + text.size(), number);
  return text;
}

void FillZones(std::span<int32_t, 4> zones, int32_t z1, int32_t z2, int32_t z3, int32_t z4) {
  zones[0] = z1;
  zones[1] = z2;
  zones[2] = z3;
  zones[3] = z4;
}

}  // namespace

size_t IdTextWidth(const devapi::DeviceSession& s) {
  return static_cast<size_t>(std::clamp<int32_t>(s.pin_width, 0, kIdTextMax));
}

void FillNarrowOut(const devapi::DeviceSession& s, std::span<const uint8_t> record,
                   const NarrowUserOut& out) {
  const UserLayout layout = CacheLayout(s);
  UserFields f;
  DecodeUserRecord(layout, record, &f);
  PutInt(out.pin, f.pin);
  PutFieldText(out.name, f.name, kNarrowName);
  PutInt(out.privilege, DecodePrivilege(CodingOf(s), f.privilege));
  PutInt(out.enabled, EnabledOf(f.privilege));
  PutFieldText(out.password, f.password, kNarrowPassword);
  switch (layout) {
    case UserLayout::kShort:
      if (out.card != nullptr) std::fill_n(out.card, f.card.size(), uint8_t{0});
      PutInt(out.pin2, 0);
      PutInt(out.group, kDefaultGroup);
      if (out.time_zones != nullptr) out.time_zones[0] = -1;
      break;
    case UserLayout::kExtended:
      if (out.card != nullptr) std::copy(f.card.begin(), f.card.end(), out.card);
      PutInt(out.pin2, static_cast<int32_t>(f.pin2));
      PutInt(out.group, f.group & 0x0F);
      if (out.time_zones != nullptr) {
        UnpackTimeZones({f.group, f.tz_word}, std::span<int32_t, 4>(out.time_zones, 4));
      }
      break;
    case UserLayout::kTft:
      if (out.card != nullptr) std::copy(f.card.begin(), f.card.end(), out.card);
      PutInt(out.pin2, static_cast<int32_t>(CachedPin2(layout, record)));
      PutInt(out.group, f.group);
      if (out.time_zones != nullptr) {
        std::span<int32_t, 4> zones(out.time_zones, 4);
        if (f.tz_words[0] != kOwnZonesMode) {
          zones[0] = -1;
        } else {
          FillZones(zones, f.tz_words[1], f.tz_words[2], f.tz_words[3], 0);
        }
      }
      break;
  }
}

void FillWideOut(const devapi::DeviceSession& s, std::span<const uint8_t> record,
                 const WideUserOut& out) {
  const UserLayout layout = CacheLayout(s);
  UserFields f;
  DecodeUserRecord(layout, record, &f);
  PutInt(out.pin, f.pin);
  const auto id_text =
      layout == UserLayout::kTft ? f.id_text : NumericIdText(f.pin2 != 0 ? f.pin2 : f.pin);
  PutFieldText(out.id_text, id_text, IdTextWidth(s));
  PutFieldText(out.name, f.name, kWideName);
  PutInt(out.privilege, DecodePrivilege(CodingOf(s), f.privilege));
  PutInt(out.enabled, EnabledOf(f.privilege));
  PutFieldText(out.password, f.password, kWidePassword);
  PutInt(out.card, static_cast<int32_t>(CardNumber(f)));
  PutInt(out.group, layout == UserLayout::kShort      ? kDefaultGroup
                    : layout == UserLayout::kExtended ? (f.group & 0x0F)
                                                      : f.group);
  if (out.tz_words == nullptr) return;
  std::span<int32_t, 4> words(out.tz_words, 4);
  switch (layout) {
    case UserLayout::kShort:
      FillZones(words, 0, 0, 0, 0);
      break;
    case UserLayout::kExtended: {
      // Word 0 carries the mode, as on colour-screen terminals.
      std::array<int32_t, 4> zones{0, 0, 0, 0};
      if (UnpackTimeZones({f.group, f.tz_word}, zones) >= 0) {
        FillZones(words, kOwnZonesMode, zones[0], zones[1], zones[2]);
      } else {
        FillZones(words, 0, 0, 0, 0);
      }
      break;
    }
    case UserLayout::kTft:
      FillZones(words, f.tz_words[0], f.tz_words[1], f.tz_words[2], f.tz_words[3]);
      break;
  }
}

}  // namespace users
