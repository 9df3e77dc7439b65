// The texts of the access-control calls: time zones (seven weekdays of
// HHMMhhmm, 56 digits) and holidays (up to 24 groups of MMDDmmdd). Each
// group is four bytes on the wire, each byte two decimal digits in the text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace users {

inline constexpr size_t kZoneDays = 7;
inline constexpr size_t kZoneBytes = 4 * kZoneDays;
inline constexpr size_t kZoneTextSize = 8 * kZoneDays + 1;  // 57
inline constexpr size_t kHolidayEntries = 24;
inline constexpr size_t kHolidayBytes = 4 * kHolidayEntries;
inline constexpr size_t kHolidayTextSize = 8 * kHolidayEntries + 1;  // 193

// Ten times the first character plus the second minus 528, in 8 bits: "07"
// gives 7; other characters are taken as they come.
constexpr uint8_t DigitPair(char first, char second) {
  return static_cast<uint8_t>(10 * first + second - 528);
}

// Writes every byte as two digits ("%02d") and a terminator: `out` holds
// 2 x bytes.size() + 1 characters. False (out untouched) when a byte is
// above 99 and would take three.
bool FormatDigitPairs(std::span<const uint8_t> bytes, std::span<char> out);

// Seven days of start hour, start minute, end hour, end minute from the
// first 56 characters: nullopt for a null or shorter text, an hour of 24
// or more or a minute of 60 or more.
std::optional<std::array<uint8_t, kZoneBytes>> ParseZoneText(const char* text);

// Groups of eight characters while characters remain and fewer than 24
// entries are filled (the rest stay zero): nullopt for a null text, a
// partial group, a month above 12 or a day of 32 or more.
std::optional<std::array<uint8_t, kHolidayBytes>> ParseHolidayText(const char* text);

}  // namespace users
