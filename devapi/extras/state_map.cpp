// The attendance-state map: 8-byte entries {key, value}. The writer keys an
// entry by the state itself, the reader looks for state + 1: terminals
// number the map that way.
#include <array>
#include <new>

#include "devapi.h"
#include "extras/extras_io.h"
#include "extras/short_key_codec.h"
#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdSetMapValue = 2227;
constexpr uint16_t kCmdReadMap = 2228;
constexpr size_t kEntry = 8;
constexpr uint32_t kMaxMapState = 0xFFFF;

}  // namespace

// The map read behind Q_GetAttStateMapValue.
int32_t ReadMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t* value);

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_GetAttStateMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t* value) {
  return devapi::Guarded([&]() -> int32_t {
    try {
      return x::ReadMapValue(handle, state, value);
    } catch (const std::bad_alloc&) {
      return -4;  // the map's buffer
    }
  });
}

int32_t devapi::extras::ReadMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t* value) {
  DeviceSession* s = devapi::SessionFromHandle(handle);
  if (s == nullptr) return -1;
  if (value == nullptr || !x::Fits(state, x::kMaxMapState)) return 4;
  const auto table = x::ReadCountedTable(*s, x::kCmdReadMap, x::kStateMapBuffer);
  if (!table) return -2;
  const auto entries = x::SplitRecords(table->records, x::kEntry);
  if (!entries) return -2;
  const uint32_t wanted = static_cast<uint32_t>(state) + 1;
  for (const auto entry : *entries) {
    wire::ByteReader r(entry);
    const uint16_t key = r.U16();
    const int32_t found = r.I32();
    if (key == wanted) {
      *value = found;
      return 1;
    }
  }
  return -2;
}

DEVAPI_API int32_t Q_SetAttStateMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(state, x::kMaxMapState)) return 4;
    std::array<uint8_t, x::kEntry> data{};
    wire::ByteWriter w(data);
    w.U16(static_cast<uint16_t>(state));
    w.I32(value);
    return x::SendSimple(*s, x::kCmdSetMapValue, data);
  });
}
