#include "users/access_texts.h"

#include <cstring>

namespace users {
namespace {

constexpr uint8_t kMaxPair = 99;
constexpr uint8_t kHours = 24;
constexpr uint8_t kMinutes = 60;
constexpr uint8_t kMaxMonth = 12;
constexpr uint8_t kDays = 32;

// The four pairs of one eight-character group.
std::array<uint8_t, 4> Group(const char* text) {
  return {DigitPair(text[0], text[1]), DigitPair(text[2], text[3]), DigitPair(text[4], text[5]),
          DigitPair(text[6], text[7])};
}

}  // namespace

bool FormatDigitPairs(std::span<const uint8_t> bytes, std::span<char> out) {
  if (out.size() < 2 * bytes.size() + 1) return false;
  for (uint8_t b : bytes) {
    if (b > kMaxPair) return false;
  }
  size_t at = 0;
  for (uint8_t b : bytes) {
    out[at++] = static_cast<char>('0' + b / 10);
    out[at++] = static_cast<char>('0' + b % 10);
  }
  out[at] = '\0';
  return true;
}

std::optional<std::array<uint8_t, kZoneBytes>> ParseZoneText(const char* text) {
  if (text == nullptr || strnlen(text, 8 * kZoneDays) < 8 * kZoneDays) return std::nullopt;
  std::array<uint8_t, kZoneBytes> zone{};
  for (size_t day = 0; day < kZoneDays; ++day) {
    const auto g = Group(text + 8 * day);
    if (g[0] >= kHours || g[1] >= kMinutes || g[2] >= kHours || g[3] >= kMinutes) {
      return std::nullopt;
    }
    std::memcpy(zone.data() + 4 * day, g.data(), g.size());
  }
  return zone;
}

std::optional<std::array<uint8_t, kHolidayBytes>> ParseHolidayText(const char* text) {
  if (text == nullptr) return std::nullopt;
  const size_t length = strnlen(text, 8 * kHolidayEntries);
  if (length % 8 != 0) return std::nullopt;
  std::array<uint8_t, kHolidayBytes> entries{};
  for (size_t i = 0; i < length / 8; ++i) {
    const auto g = Group(text + 8 * i);
    if (g[0] > kMaxMonth || g[1] >= kDays || g[2] > kMaxMonth || g[3] >= kDays) {
      return std::nullopt;
    }
    std::memcpy(entries.data() + 4 * i, g.data(), g.size());
  }
  return entries;
}

}  // namespace users
