// Short-key records, their switch-time texts and the conflict test. Pure:
// no terminal, no session.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace devapi::extras {

inline constexpr uint8_t kAttendanceKey = 1;  // the attendance-state key function
inline constexpr uint8_t kOtherState = 255;   // the state of every other function
inline constexpr size_t kKeyRecordWide = 44;  // from "Ver 6.60"
inline constexpr size_t kKeyRecordNarrow = 32;
inline constexpr size_t kNewKeyRecord = 286;
inline constexpr size_t kWeekdays = 7;
inline constexpr size_t kNewSlots = 16;
// Caller texts: seven "HH:MM;" entries, sixteen "HH:MM:f:f:f:f:f:f:f;"
// groups, each with a terminator.
inline constexpr size_t kTimeTextSize = 43;
inline constexpr size_t kNewTimeTextSize = 321;

struct ShortKey {
  uint8_t number = 0;
  uint8_t function = 0;
  uint8_t state = 0;
  std::array<uint32_t, 4> values{};
  std::array<uint16_t, kWeekdays> times{};  // hour x 100 + minute, 0 = none
  uint8_t auto_switch = 0;
};

struct NewShortKey {
  uint8_t number = 0;
  uint8_t function = 0;
  uint8_t state = 0;
  std::array<uint32_t, 4> values{};
  std::array<uint16_t, kNewSlots> slot_times{};
  // days[d][i]: the slot's time when slot i is active on weekday d, else 0.
  std::array<std::array<uint16_t, kNewSlots>, kWeekdays> days{};
  uint8_t auto_switch = 0;
};

// Record size by firmware: `wide` from "Ver 6.60".
inline size_t KeyRecordSize(bool wide) { return wide ? kKeyRecordWide : kKeyRecordNarrow; }

// Encodes a key; the narrow record keeps the fourth value's low 16 bits.
std::vector<uint8_t> EncodeKey(const ShortKey& key, bool wide);
// Decodes one record of exactly KeyRecordSize(wide) bytes.
ShortKey DecodeKey(std::span<const uint8_t> record, bool wide);

std::vector<uint8_t> EncodeNewKey(const NewShortKey& key);
NewShortKey DecodeNewKey(std::span<const uint8_t> record);

// A key of another function: number, function, state 255, the rest zero.
ShortKey OtherFunctionKey(uint8_t number, uint8_t function);

// "h:m;" seven times; missing pairs are 0. Nullopt when an hour is above 23
// or a minute above 59.
std::optional<std::array<uint16_t, kWeekdays>> ParseSwitchTimes(std::string_view text);
// Up to sixteen ';'-separated groups "h:m:d1:...:d7"; a missing group or
// field is zero. Nullopt for a bad hour or minute, a group longer than its
// room or a character outside digits, ',' and ':'.
std::optional<NewShortKey> ParseNewGroups(std::string_view text);

// The texts of a stored key, written from out[0], terminated, at most
// `size` bytes. False (out left empty when size > 0) when a stored time has
// an hour above 23 or a minute above 59, or the text does not fit.
bool FormatSwitchTimes(const std::array<uint16_t, kWeekdays>& times, char* out, size_t size);
bool FormatNewGroups(const NewShortKey& key, char* out, size_t size);

// True when writing `candidate` conflicts with the stored `other`.
bool KeysConflict(const ShortKey& candidate, const ShortKey& other, bool wide);

// The records of a key table of `record_size`-byte records; nullopt when
// the bytes are not a whole number of records.
std::optional<std::vector<std::span<const uint8_t>>> SplitRecords(std::span<const uint8_t> bytes,
                                                                  size_t record_size);

}  // namespace devapi::extras
