// Short keys: the firmware's own record (commands 85 and 86) with the
// conflict test against the stored table, and the sixteen-slot "new" form
// (commands 2225 and 2226).
#include <cstring>
#include <new>
#include <string_view>

#include "devapi.h"
#include "extras/extras_io.h"
#include "extras/short_key_codec.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdSetKey = 85;
constexpr uint16_t kCmdReadKeys = 86;
constexpr uint16_t kCmdSetNewKey = 2225;
constexpr uint16_t kCmdReadNewKeys = 2226;
constexpr uint32_t kMaxByte = 255;

bool WideKeys(const DeviceSession& s) { return !FirmwareBelow(s, "Ver 6.60"); }

bool KeyArgumentsFit(int32_t number, int32_t function, int32_t state) {
  return Fits(number, kMaxByte) && Fits(function, kMaxByte) && Fits(state, kMaxByte);
}

std::string_view TextOrEmpty(const char* text) { return text ? std::string_view(text) : ""; }

// The body of a short-key export: a key table that cannot be allocated
// gives -4, and nothing is thrown across the C border.
template <typename F>
int32_t WithTableMemory(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return -4;
  } catch (...) {
    return -101;
  }
}

// The stored records of a key table, or nullopt for a bad answer.
std::optional<std::vector<std::span<const uint8_t>>> ReadKeys(DeviceSession& s, uint16_t command,
                                                              size_t record_size,
                                                              CountedTable& table) {
  auto read = ReadCountedTable(s, command, kKeyTableBuffer);
  if (!read) return std::nullopt;
  table = std::move(*read);
  return SplitRecords(table.records, record_size);
}

struct KeyOutputs {
  int32_t* function;
  int32_t* state;
  int32_t* values;
  int32_t* flag;
};

// A key of another function reports nothing but its function.
void ClearOutputs(const KeyOutputs& out, char* text) {
  *out.state = 0;
  for (int i = 0; i < 4; ++i) out.values[i] = 0;
  *out.flag = 0;
  text[0] = '\0';
}

}  // namespace

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_SSR_SetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t function,
                                     int32_t state, const int32_t* values, int32_t flag,
                                     const char* times) {
  return x::WithTableMemory([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (values == nullptr || !x::KeyArgumentsFit(number, function, state)) return 4;
    const bool wide = x::WideKeys(*s);
    x::ShortKey key;
    if (function == x::kAttendanceKey) {
      const auto parsed = x::ParseSwitchTimes(x::TextOrEmpty(times));
      if (!parsed) return 4;
      key.number = static_cast<uint8_t>(number);
      key.function = x::kAttendanceKey;
      key.state = static_cast<uint8_t>(state);
      for (int i = 0; i < 4; ++i) key.values[i] = static_cast<uint32_t>(values[i]);
      key.times = *parsed;
      key.auto_switch = flag != 0 ? 1 : 0;
    } else {
      key = x::OtherFunctionKey(static_cast<uint8_t>(number), static_cast<uint8_t>(function));
    }
    x::CountedTable table;
    const auto stored = x::ReadKeys(*s, x::kCmdReadKeys, x::KeyRecordSize(wide), table);
    if (!stored) return -2;
    for (const auto record : *stored) {
      if (x::KeysConflict(key, x::DecodeKey(record, wide), wide)) return 4;
    }
    return x::SendSimple(*s, x::kCmdSetKey, x::EncodeKey(key, wide));
  });
}

DEVAPI_API int32_t Q_SSR_GetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t* function,
                                     int32_t* state, int32_t* values, int32_t* flag,
                                     char* times) {
  return x::WithTableMemory([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (function == nullptr || state == nullptr || values == nullptr || flag == nullptr ||
        times == nullptr || !x::Fits(number, x::kMaxByte)) {
      return 4;
    }
    const bool wide = x::WideKeys(*s);
    x::CountedTable table;
    const auto stored = x::ReadKeys(*s, x::kCmdReadKeys, x::KeyRecordSize(wide), table);
    if (!stored) return -2;
    for (const auto record : *stored) {
      const x::ShortKey key = x::DecodeKey(record, wide);
      if (key.number != number) continue;
      const x::KeyOutputs out{function, state, values, flag};
      if (key.function != x::kAttendanceKey) {
        *function = key.function;
        x::ClearOutputs(out, times);
        return 1;
      }
      char text[x::kTimeTextSize];
      if (!x::FormatSwitchTimes(key.times, text, sizeof(text))) return -2;
      *function = key.function;
      *state = key.state;
      for (int i = 0; i < 4; ++i) values[i] = static_cast<int32_t>(key.values[i]);
      *flag = key.auto_switch;
      std::memcpy(times, text, std::strlen(text) + 1);
      return 1;
    }
    return 0;
  });
}

DEVAPI_API int32_t Q_SSR_NewSetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t function,
                                        int32_t state, const int32_t* values, int32_t flag,
                                        const char* groups) {
  return x::WithTableMemory([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (values == nullptr || !x::KeyArgumentsFit(number, function, state)) return 4;
    x::NewShortKey key;
    if (function == x::kAttendanceKey) {
      const auto parsed = x::ParseNewGroups(x::TextOrEmpty(groups));
      if (!parsed) return 4;
      key = *parsed;
      key.state = static_cast<uint8_t>(state);
      for (int i = 0; i < 4; ++i) key.values[i] = static_cast<uint32_t>(values[i]);
      key.auto_switch = flag != 0 ? 1 : 0;
    } else {
      key.state = x::kOtherState;
    }
    key.number = static_cast<uint8_t>(number);
    key.function = static_cast<uint8_t>(function);
    return x::SendSimple(*s, x::kCmdSetNewKey, x::EncodeNewKey(key));
  });
}

DEVAPI_API int32_t Q_SSR_NewGetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t* function,
                                        int32_t* state, int32_t* values, int32_t* flag,
                                        char* groups) {
  return x::WithTableMemory([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (function == nullptr || state == nullptr || values == nullptr || flag == nullptr ||
        groups == nullptr || !x::Fits(number, x::kMaxByte)) {
      return 4;
    }
    x::CountedTable table;
    const auto stored = x::ReadKeys(*s, x::kCmdReadNewKeys, x::kNewKeyRecord, table);
    if (!stored) return -2;
    for (const auto record : *stored) {
      const x::NewShortKey key = x::DecodeNewKey(record);
      if (key.number != number) continue;
      const x::KeyOutputs out{function, state, values, flag};
      if (key.function != x::kAttendanceKey) {
        *function = key.function;
        x::ClearOutputs(out, groups);
        return 1;
      }
      char text[x::kNewTimeTextSize];
      if (!x::FormatNewGroups(key, text, sizeof(text))) return -2;
      *function = key.function;
      *state = key.state;
      for (int i = 0; i < 4; ++i) values[i] = static_cast<int32_t>(key.values[i]);
      *flag = key.auto_switch;
      std::memcpy(groups, text, std::strlen(text) + 1);
      return 1;
    }
    return 0;
  });
}
