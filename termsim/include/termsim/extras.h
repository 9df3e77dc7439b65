// The terminal's small tables: work codes, short keys, custom states and
// voices, bells, tip codes, labor groups and codes, the attendance-state
// map. Numbers and values are the terminal's; the simulator keeps them as
// they arrive.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace termsim {

// A colour-screen work code: the ID the terminal assigns (from 1), the code
// text (the number's text in the text form) and a 24-byte name field.
struct TextWorkCode {
  uint32_t id = 0;
  std::string code;                 // up to 24 characters
  std::array<uint8_t, 24> name{};  // as sent: the caller's six values
};

// One short key, served in the firmware's record (seven weekday times) and
// in the sixteen-slot form.
struct ShortKeyEntry {
  uint8_t number = 0;
  uint8_t function = 0;
  uint8_t state = 0;
  std::array<uint32_t, 4> values{};
  std::array<uint16_t, 7> times{};  // hour x 100 + minute per weekday
  std::array<uint16_t, 16> slot_times{};
  std::array<std::array<uint16_t, 16>, 7> slot_days{};  // slot time when active, else 0
  uint8_t auto_switch = 0;
};

struct Bell {
  uint32_t number = 0;
  uint8_t first_byte = 0, second_byte = 0, third_byte = 0;
  uint32_t first_value = 0;
  uint32_t time = 0;  // hour x 100 + minute
  uint32_t second_value = 0, third_value = 0;
};

struct NamedCode {
  std::string name;  // up to 24 characters
  uint32_t value = 0;
};

struct CustomState {
  uint16_t value = 0;
  bool enabled = false;
};
struct CustomVoice {
  std::string file;
  bool enabled = false;
};

struct ExtrasData {
  std::map<uint16_t, uint32_t> work_codes;  // plain: index -> code
  std::vector<TextWorkCode> text_work_codes;
  uint32_t next_work_code_id = 1;
  std::map<uint8_t, ShortKeyEntry> short_keys;
  std::map<std::pair<uint32_t, uint8_t>, Bell> bells;  // by number and second byte
  std::map<uint32_t, NamedCode> tip_codes;
  std::map<uint32_t, NamedCode> labor_groups;
  std::map<std::pair<uint32_t, uint32_t>, std::string> labor_codes;
  std::map<uint8_t, CustomState> states;  // 0-7
  std::map<uint8_t, CustomVoice> voices;  // 0-20
  std::map<uint16_t, int32_t> state_map;  // key -> value
  // A hostile terminal: the counted reply of a table command (86, 2226,
  // 2228, 10017) sent exactly as given instead of the table's own.
  std::map<uint16_t, std::vector<uint8_t>> raw_tables;
};

}  // namespace termsim
