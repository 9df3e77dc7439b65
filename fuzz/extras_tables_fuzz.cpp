// Walks one input as each of the extras tables a terminal sends: the short
// keys in both record sizes and the sixteen-slot form, the state map and
// the bells. Every record taken lies inside what arrived, every text
// written stays in its buffer and is terminated, and a text the codec
// writes parses back to the same times.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "extras/counted_table.h"
#include "extras/short_key_codec.h"
#include "logs/read_buffer.h"

namespace {

namespace x = devapi::extras;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void Inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
  Check(part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void WalkKeys(std::span<const uint8_t> buffer, int32_t received, bool wide) {
  const auto records = x::CountedRecords(buffer, received);
  if (!records) return;
  Inside(*records, buffer);
  const auto keys = x::SplitRecords(*records, x::KeyRecordSize(wide));
  if (!keys) return;
  for (const auto record : *keys) {
    Inside(record, buffer);
    const x::ShortKey key = x::DecodeKey(record, wide);
    char text[x::kTimeTextSize + 8];
    std::memset(text, 0x55, sizeof(text));
    if (x::FormatSwitchTimes(key.times, text, x::kTimeTextSize)) {
      Check(std::strlen(text) < x::kTimeTextSize);
      const auto back = x::ParseSwitchTimes(text);
      Check(back.has_value() && *back == key.times);
    }
    for (size_t i = x::kTimeTextSize; i < sizeof(text); ++i) Check(text[i] == 0x55);
    Check(x::EncodeKey(key, wide).size() == record.size());
  }
}

void WalkNewKeys(std::span<const uint8_t> buffer, int32_t received) {
  const auto records = x::CountedRecords(buffer, received);
  if (!records) return;
  const auto keys = x::SplitRecords(*records, x::kNewKeyRecord);
  if (!keys) return;
  for (const auto record : *keys) {
    Inside(record, buffer);
    const x::NewShortKey key = x::DecodeNewKey(record);
    char text[x::kNewTimeTextSize + 8];
    std::memset(text, 0x55, sizeof(text));
    if (x::FormatNewGroups(key, text, x::kNewTimeTextSize)) {
      Check(std::strlen(text) < x::kNewTimeTextSize);
      const auto back = x::ParseNewGroups(text);
      Check(back.has_value() && back->slot_times == key.slot_times);
    }
    for (size_t i = x::kNewTimeTextSize; i < sizeof(text); ++i) Check(text[i] == 0x55);
  }
}

void WalkMap(std::span<const uint8_t> buffer, int32_t received) {
  const auto records = x::CountedRecords(buffer, received);
  if (!records) return;
  const auto entries = x::SplitRecords(*records, 8);
  if (entries) {
    for (const auto e : *entries) Inside(e, buffer);
  }
}

// The bell view as the download sets it, walked in 24-byte steps.
void WalkBells(std::span<const uint8_t> input, int32_t received) {
  devapi::DeviceSession s;
  s.read_buf.assign(input.begin(), input.end());
  const devapi::ViewRange view = devapi::CountedView(s, received);
  uint32_t cursor = view.start;
  for (;;) {
    const auto rest = devapi::ViewRest(s, view.start, view.len, cursor);
    if (rest.size() < 24) break;
    Inside(rest.first(24), s.read_buf);
    cursor += 24;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes overstate or understate what arrived.
  const int32_t received = static_cast<int32_t>(size - 2) + (static_cast<int8_t>(data[0]) * 4);
  const std::span<const uint8_t> buffer(data + 2, size - 2);
  WalkKeys(buffer, received, true);
  WalkKeys(buffer, received, false);
  WalkNewKeys(buffer, received);
  WalkMap(buffer, received);
  WalkBells(buffer, received);
  // The same bytes as caller texts.
  const std::string_view text(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  (void)x::ParseSwitchTimes(text);
  (void)x::ParseNewGroups(text);
  (void)data[1];
  return 0;
}
