#include "store/extras_lines.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <map>

#include "store/line_fields.h"

namespace termsim {

namespace {

constexpr std::string_view kSections[] = {"workcodes",   "shortkeys", "bells",
                                          "tipcodes",    "laborgroups", "laborcodes",
                                          "attstates",   "voices",    "statemap"};

bool Number(const std::string& text, uint64_t max, uint64_t* out) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > max) {
    return false;
  }
  *out = v;
  return true;
}

template <typename T>
bool Field(std::map<std::string, std::string>& f, const char* name, uint64_t max, T* out,
           bool optional = false) {
  if (!f.contains(name)) return optional;
  uint64_t v = 0;
  if (!Number(f[name], max, &v)) return false;
  *out = static_cast<T>(v);
  return true;
}

// "HH:MM" as hour x 100 + minute.
bool Clock(const std::string& text, uint16_t* out) {
  const size_t colon = text.find(':');
  uint64_t h = 0, m = 0;
  if (colon == std::string::npos || !Number(text.substr(0, colon), 23, &h) ||
      !Number(text.substr(colon + 1), 59, &m)) {
    return false;
  }
  *out = static_cast<uint16_t>(h * 100 + m);
  return true;
}

bool Fail(std::string* error, const char* form) {
  if (error != nullptr) *error = std::string("want ") + form;
  return false;
}

bool WorkCode(std::map<std::string, std::string>& f, ExtrasData* d) {
  if (f.contains("index")) {
    uint16_t index = 0;
    uint32_t code = 0;
    if (!Field(f, "index", 65535, &index) || !Field(f, "code", UINT32_MAX, &code)) return false;
    d->work_codes[index] = code;
    return true;
  }
  const std::string& code = f["code"];
  const std::string& name = f["name"];
  if (code.empty() || code.size() > 24 || name.size() > 24) return false;
  TextWorkCode c;
  c.id = d->next_work_code_id++;
  c.code = code;
  std::memcpy(c.name.data(), name.data(), name.size());
  d->text_work_codes.push_back(c);
  return true;
}

bool ShortKey(std::map<std::string, std::string>& f, ExtrasData* d) {
  ShortKeyEntry k;
  if (!Field(f, "number", 255, &k.number) || !Field(f, "function", 255, &k.function) ||
      !Field(f, "state", 255, &k.state) || !Field(f, "auto", 1, &k.auto_switch, true)) {
    return false;
  }
  std::string_view times = f["times"];
  for (size_t day = 0; day < 7 && !times.empty(); ++day) {
    const size_t semi = times.find(';');
    if (!Clock(std::string(times.substr(0, semi)), &k.times[day])) return false;
    times = semi == std::string_view::npos ? std::string_view() : times.substr(semi + 1);
  }
  std::string_view values = f["values"];
  for (size_t i = 0; i < 4 && !values.empty(); ++i) {
    const size_t comma = values.find(',');
    uint64_t v = 0;
    if (!Number(std::string(values.substr(0, comma)), UINT32_MAX, &v)) return false;
    k.values[i] = static_cast<uint32_t>(v);
    values = comma == std::string_view::npos ? std::string_view() : values.substr(comma + 1);
  }
  // The sixteen-slot form sees the weekday times as one slot each.
  for (size_t day = 0; day < 7; ++day) {
    if (k.times[day] == 0) continue;
    k.slot_times[day] = k.times[day];
    k.slot_days[day][day] = k.times[day];
  }
  d->short_keys[k.number] = k;
  return true;
}

bool BellLine(std::map<std::string, std::string>& f, ExtrasData* d) {
  Bell b;
  uint16_t time = 0;
  if (!Field(f, "number", UINT32_MAX, &b.number) || !Clock(f["time"], &time) ||
      !Field(f, "kind", 255, &b.second_byte, true)) {
    return false;
  }
  b.time = time;
  d->bells[{b.number, b.second_byte}] = b;
  return true;
}

bool Named(std::map<std::string, std::string>& f, std::map<uint32_t, NamedCode>* table) {
  uint32_t number = 0;
  NamedCode c;
  if (!Field(f, "number", UINT32_MAX, &number) || !Field(f, "value", UINT32_MAX, &c.value, true) ||
      f["name"].size() > 24) {
    return false;
  }
  c.name = f["name"];
  (*table)[number] = c;
  return true;
}

}  // namespace

bool IsExtrasSection(std::string_view name) {
  return std::find(std::begin(kSections), std::end(kSections), name) != std::end(kSections);
}

void ClearExtrasSection(std::string_view name, ExtrasData* data) {
  ExtrasData empty;
  TakeExtrasSection(name, empty, data);
}

void TakeExtrasSection(std::string_view name, const ExtrasData& from, ExtrasData* to) {
  if (name == "workcodes") {
    to->work_codes = from.work_codes;
    to->text_work_codes = from.text_work_codes;
    to->next_work_code_id = from.next_work_code_id;
  }
  if (name == "shortkeys") to->short_keys = from.short_keys;
  if (name == "bells") to->bells = from.bells;
  if (name == "tipcodes") to->tip_codes = from.tip_codes;
  if (name == "laborgroups") to->labor_groups = from.labor_groups;
  if (name == "laborcodes") to->labor_codes = from.labor_codes;
  if (name == "attstates") to->states = from.states;
  if (name == "voices") to->voices = from.voices;
  if (name == "statemap") to->state_map = from.state_map;
}

bool ParseExtrasLine(std::string_view name, std::string_view line, ExtrasData* d,
                     std::string* error) {
  auto f = LineFields(line);
  if (name == "workcodes") {
    return WorkCode(f, d) || Fail(error, "index=N<TAB>code=N or code=TEXT<TAB>name=TEXT");
  }
  if (name == "shortkeys") {
    return ShortKey(f, d) ||
           Fail(error, "number=N<TAB>function=F<TAB>state=S[<TAB>times=H:M;...][<TAB>auto=0|1]"
                       "[<TAB>values=A,B,C,D]");
  }
  if (name == "bells") {
    return BellLine(f, d) || Fail(error, "number=N<TAB>time=HH:MM[<TAB>kind=B]");
  }
  if (name == "tipcodes" || name == "laborgroups") {
    return Named(f, name == "tipcodes" ? &d->tip_codes : &d->labor_groups) ||
           Fail(error, "number=N<TAB>name=TEXT[<TAB>value=V]");
  }
  if (name == "laborcodes") {
    uint32_t number = 0, second = 0;
    if (!Field(f, "number", UINT32_MAX, &number) || !Field(f, "second", UINT32_MAX, &second) ||
        f["name"].size() > 24) {
      return Fail(error, "number=N<TAB>second=M<TAB>name=TEXT");
    }
    d->labor_codes[{number, second}] = f["name"];
    return true;
  }
  if (name == "attstates") {
    uint8_t state = 0;
    CustomState s;
    uint8_t enabled = 1;
    if (!Field(f, "state", 7, &state) || !Field(f, "value", 127, &s.value) ||
        !Field(f, "enabled", 1, &enabled, true)) {
      return Fail(error, "state=0-7<TAB>value=0-127[<TAB>enabled=0|1]");
    }
    s.enabled = enabled != 0;
    d->states[state] = s;
    return true;
  }
  if (name == "voices") {
    uint8_t index = 0;
    uint8_t enabled = 1;
    CustomVoice v;
    v.file = f["file"];
    if (!Field(f, "index", 20, &index) || v.file.empty() || v.file.size() > 19 ||
        !Field(f, "enabled", 1, &enabled, true)) {
      return Fail(error, "index=0-20<TAB>file=NAME[<TAB>enabled=0|1]");
    }
    v.enabled = enabled != 0;
    d->voices[index] = v;
    return true;
  }
  if (name == "statemap") {
    uint16_t key = 0;
    uint32_t value = 0;
    if (!Field(f, "key", 65535, &key) || !Field(f, "value", UINT32_MAX, &value)) {
      return Fail(error, "key=K<TAB>value=V");
    }
    d->state_map[key] = static_cast<int32_t>(value);
    return true;
  }
  return Fail(error, "a known section");
}

}  // namespace termsim
