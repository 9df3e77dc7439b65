#include "extras/short_key_codec.h"

#include <cstdio>
#include <cstring>

#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr size_t kWideTimesAt = 29;
constexpr size_t kNarrowTimesAt = 17;
constexpr size_t kNewSlotTimesAt = 29;
constexpr size_t kNewDaysAt = 61;
constexpr size_t kNewFlagAt = 285;
// Room of one group of the new form: "HH:MM" and seven flags need 19
// characters; a little slack for leading zeros, nothing unbounded.
constexpr size_t kGroupRoom = 31;

constexpr uint32_t kMaxHour = 23;
constexpr uint32_t kMaxMinute = 59;

// A decimal number as "%d" reads it: optional sign, then digits. Values
// beyond the 32-bit range saturate, so they fail the range checks.
bool ReadNumber(std::string_view text, size_t& pos, int64_t& value) {
  size_t p = pos;
  bool negative = false;
  if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
  const size_t digits_at = p;
  int64_t v = 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
    if (v < (int64_t{1} << 40)) v = v * 10 + (text[p] - '0');
    ++p;
  }
  if (p == digits_at) return false;
  value = negative ? -v : v;
  pos = p;
  return true;
}

bool ValidTime(int64_t hour, int64_t minute) {
  // Compared as unsigned numbers: a negative hour is out of range too.
  return hour >= 0 && hour <= kMaxHour && minute >= 0 && minute <= kMaxMinute;
}

uint16_t TimeValue(int64_t hour, int64_t minute) {
  return static_cast<uint16_t>(hour * 100 + minute);
}

// A stored time as hour and minute; false when it is no clock time.
bool SplitTime(uint16_t time, int& hour, int& minute) {
  hour = time / 100;
  minute = time % 100;
  return static_cast<uint32_t>(hour) <= kMaxHour && static_cast<uint32_t>(minute) <= kMaxMinute;
}

void WriteValues(wire::ByteWriter& w, const std::array<uint32_t, 4>& values, bool wide) {
  for (size_t i = 0; i < values.size(); ++i) {
    w.U32(i == 3 && !wide ? (values[i] & 0xFFFFu) : values[i]);
  }
}

}  // namespace

std::vector<uint8_t> EncodeKey(const ShortKey& key, bool wide) {
  std::vector<uint8_t> out(KeyRecordSize(wide), 0);
  wire::ByteWriter w(out);
  w.U8(key.number);
  w.U8(key.function);
  w.U8(key.state);
  if (wide) {
    WriteValues(w, key.values, true);
    w.Bytes(std::array<uint8_t, 10>{});
  } else {
    for (size_t i = 0; i < 3; ++i) w.U32(key.values[i]);
    w.U16(static_cast<uint16_t>(key.values[3]));
  }
  for (uint16_t t : key.times) w.U16(t);
  w.U8(key.auto_switch);
  return out;
}

ShortKey DecodeKey(std::span<const uint8_t> record, bool wide) {
  ShortKey key;
  wire::ByteReader r(record);
  key.number = r.U8();
  key.function = r.U8();
  key.state = r.U8();
  if (wide) {
    for (uint32_t& v : key.values) v = r.U32();
  } else {
    for (size_t i = 0; i < 3; ++i) key.values[i] = r.U32();
    key.values[3] = r.U16();
  }
  wire::ByteReader t(record.subspan(std::min(record.size(), wide ? kWideTimesAt : kNarrowTimesAt)));
  for (uint16_t& time : key.times) time = t.U16();
  key.auto_switch = t.U8();
  return key;
}

std::vector<uint8_t> EncodeNewKey(const NewShortKey& key) {
  std::vector<uint8_t> out(kNewKeyRecord, 0);
  wire::ByteWriter w(out);
  w.U8(key.number);
  w.U8(key.function);
  w.U8(key.state);
  WriteValues(w, key.values, true);
  w.Bytes(std::array<uint8_t, 10>{});
  for (uint16_t t : key.slot_times) w.U16(t);
  for (const auto& day : key.days) {
    for (uint16_t t : day) w.U16(t);
  }
  w.U8(key.auto_switch);
  return out;
}

NewShortKey DecodeNewKey(std::span<const uint8_t> record) {
  NewShortKey key;
  wire::ByteReader r(record);
  key.number = r.U8();
  key.function = r.U8();
  key.state = r.U8();
  for (uint32_t& v : key.values) v = r.U32();
  wire::ByteReader t(record.subspan(std::min(record.size(), kNewSlotTimesAt)));
  for (uint16_t& time : key.slot_times) time = t.U16();
  wire::ByteReader d(record.subspan(std::min(record.size(), kNewDaysAt)));
  for (auto& day : key.days) {
    for (uint16_t& time : day) time = d.U16();
  }
  wire::ByteReader f(record.subspan(std::min(record.size(), kNewFlagAt)));
  key.auto_switch = f.U8();
  return key;
}

ShortKey OtherFunctionKey(uint8_t number, uint8_t function) {
  ShortKey key;
  key.number = number;
  key.function = function;
  key.state = kOtherState;
  return key;
}

std::optional<std::array<uint16_t, kWeekdays>> ParseSwitchTimes(std::string_view text) {
  std::array<uint16_t, kWeekdays> times{};
  size_t pos = 0;
  for (size_t day = 0; day < kWeekdays; ++day) {
    int64_t hour = 0, minute = 0;
    if (!ReadNumber(text, pos, hour)) break;
    const bool has_colon = pos < text.size() && text[pos] == ':';
    bool has_minute = false;
    if (has_colon) {
      ++pos;
      has_minute = ReadNumber(text, pos, minute);
    }
    if (!ValidTime(hour, minute)) return std::nullopt;
    times[day] = TimeValue(hour, minute);
    // The pattern ends at the first character it does not expect.
    if (!has_minute || pos >= text.size() || text[pos] != ';') break;
    ++pos;
  }
  return times;
}

std::optional<NewShortKey> ParseNewGroups(std::string_view text) {
  NewShortKey key;
  size_t pos = 0;
  for (size_t slot = 0; slot < kNewSlots && pos < text.size(); ++slot) {
    const size_t end = std::min(text.find(';', pos), text.size());
    const std::string_view group = text.substr(pos, end - pos);
    pos = end + 1;
    if (group.size() > kGroupRoom) return std::nullopt;
    if (group.find_first_not_of("0123456789,:") != std::string_view::npos) return std::nullopt;
    // Nine ':'-separated numbers; a missing or unreadable field is 0.
    std::array<int64_t, 2 + kWeekdays> fields{};
    size_t at = 0;
    for (size_t f = 0; f < fields.size(); ++f) {
      if (!ReadNumber(group, at, fields[f])) break;
      if (at >= group.size() || group[at] != ':') break;
      ++at;
    }
    if (!ValidTime(fields[0], fields[1])) return std::nullopt;
    const uint16_t time = TimeValue(fields[0], fields[1]);
    key.slot_times[slot] = time;
    for (size_t d = 0; d < kWeekdays; ++d) key.days[d][slot] = fields[2 + d] != 0 ? time : 0;
  }
  return key;
}

bool FormatSwitchTimes(const std::array<uint16_t, kWeekdays>& times, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  char text[kTimeTextSize] = {};
  size_t used = 0;
  for (uint16_t t : times) {
    int hour = 0, minute = 0;
    if (!SplitTime(t, hour, minute)) return false;
    used += static_cast<size_t>(
        std::snprintf(text + used, sizeof(text) - used, "%02d:%02d;", hour, minute));
  }
  if (used + 1 > size) return false;
  std::memcpy(out, text, used + 1);
  return true;
}

bool FormatNewGroups(const NewShortKey& key, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = '\0';
  char text[kNewTimeTextSize] = {};
  size_t used = 0;
  for (size_t slot = 0; slot < kNewSlots; ++slot) {
    int hour = 0, minute = 0;
    if (!SplitTime(key.slot_times[slot], hour, minute)) return false;
    used += static_cast<size_t>(
        std::snprintf(text + used, sizeof(text) - used, "%02d:%02d", hour, minute));
    for (size_t d = 0; d < kWeekdays; ++d) {
      used += static_cast<size_t>(std::snprintf(text + used, sizeof(text) - used, ":%d",
                                                key.days[d][slot] != 0 ? 1 : 0));
    }
    text[used++] = ';';
  }
  if (used + 1 > size) return false;
  std::memcpy(out, text, used);
  out[used] = '\0';
  return true;
}

bool KeysConflict(const ShortKey& candidate, const ShortKey& other, bool wide) {
  if (other.number == candidate.number) return false;
  if (candidate.function == 2 || candidate.function == 3) {
    return other.function == candidate.function;
  }
  if (candidate.function != kAttendanceKey) return false;
  // Older firmware keeps one key per state whatever the key does.
  if (other.state == candidate.state && (!wide || other.function == kAttendanceKey)) return true;
  if (candidate.auto_switch != 0 && other.function == kAttendanceKey && other.auto_switch != 0) {
    for (size_t d = 0; d < kWeekdays; ++d) {
      if (candidate.times[d] != 0 && candidate.times[d] == other.times[d]) return true;
    }
  }
  return false;
}

std::optional<std::vector<std::span<const uint8_t>>> SplitRecords(std::span<const uint8_t> bytes,
                                                                  size_t record_size) {
  if (record_size == 0 || bytes.size() % record_size != 0) return std::nullopt;
  std::vector<std::span<const uint8_t>> records;
  for (size_t at = 0; at < bytes.size(); at += record_size) {
    records.push_back(bytes.subspan(at, record_size));
  }
  return records;
}

}  // namespace devapi::extras
