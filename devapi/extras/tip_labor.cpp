// Tip codes, labor groups and labor codes: 33-byte records keyed by number
// (labor codes by two numbers), names of up to 24 characters.
#include <array>
#include <cstring>
#include <string_view>

#include "devapi.h"
#include "extras/extras_io.h"
#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdGetTipCode = 20000;
constexpr uint16_t kCmdSetTipCode = 20001;
constexpr uint16_t kCmdDeleteTipCode = 20002;
constexpr uint16_t kCmdGetLaborGroup = 20003;
constexpr uint16_t kCmdSetLaborGroup = 20004;
constexpr uint16_t kCmdDeleteLaborGroup = 20005;
constexpr uint16_t kCmdGetLaborCode = 20006;
constexpr uint16_t kCmdSetLaborCode = 20007;
constexpr uint16_t kCmdDeleteLaborCode = 20008;
constexpr size_t kRecord = 33;
constexpr size_t kNameChars = 24;
constexpr size_t kNameField = 25;
constexpr size_t kNameValues = 6;  // the caller's name: six values and a seventh

std::string_view NameOf(const char* name) {
  return std::string_view(name, ::strnlen(name, kNameChars));
}

// The name field into the caller's seven values: 24 bytes, seventh 0, so
// the copy is terminated whatever the terminal sent.
void TakeName(std::span<const uint8_t> field, int32_t* out) {
  wire::ByteReader r(field);
  for (size_t i = 0; i < kNameValues; ++i) out[i] = r.I32();
  out[kNameValues] = 0;
}

std::array<uint8_t, 4> One(int32_t v) {
  std::array<uint8_t, 4> out{};
  wire::ByteWriter(out).I32(v);
  return out;
}

std::array<uint8_t, 8> Two(int32_t a, int32_t b) {
  std::array<uint8_t, 8> out{};
  wire::ByteWriter w(out);
  w.I32(a);
  w.I32(b);
  return out;
}

// Tip codes and labor groups: number, name, value.
int32_t GetNamed(DeviceSession& s, uint16_t command, int32_t number, int32_t* name,
                 int32_t* value) {
  if (name == nullptr || value == nullptr) return 4;
  const Reply r = SendCommand(s, command, One(number), kRecord, s.cmd_timeout_ms);
  if (!r.HasAtLeast(kRecord)) return -2;
  const std::span<const uint8_t> bytes(r.bytes);
  TakeName(bytes.subspan(4, kNameChars), name);
  *value = static_cast<int32_t>(wire::ByteReader(bytes.subspan(4 + kNameField)).U32());
  return 1;
}

int32_t SetNamed(DeviceSession& s, uint16_t command, int32_t number, const char* name,
                 int32_t value) {
  if (name == nullptr) return 4;
  std::array<uint8_t, kRecord> data{};
  wire::ByteWriter w(data);
  w.I32(number);
  w.FixedText(NameOf(name), kNameField);
  w.I32(value);
  return SendSimple(s, command, data);
}

}  // namespace

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

#define EXTRAS_OPEN()                                         \
  DeviceSession* s = devapi::SessionFromHandle(handle);       \
  if (s == nullptr) return -1

DEVAPI_API int32_t Q_GetTipCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t* name,
                                     int32_t* value) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::GetNamed(*s, x::kCmdGetTipCode, number, name, value);
  });
}

DEVAPI_API int32_t Q_SetTipCodeByNum(DEVAPI_HANDLE handle, int32_t number, const char* name,
                                     int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::SetNamed(*s, x::kCmdSetTipCode, number, name, value);
  });
}

DEVAPI_API int32_t Q_DelTipCodeByNum(DEVAPI_HANDLE handle, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::SendSimple(*s, x::kCmdDeleteTipCode, x::One(number));
  });
}

DEVAPI_API int32_t Q_GetLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number, int32_t* name,
                                        int32_t* value) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::GetNamed(*s, x::kCmdGetLaborGroup, number, name, value);
  });
}

DEVAPI_API int32_t Q_SetLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number, const char* name,
                                        int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::SetNamed(*s, x::kCmdSetLaborGroup, number, name, value);
  });
}

DEVAPI_API int32_t Q_DelLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::SendSimple(*s, x::kCmdDeleteLaborGroup, x::One(number));
  });
}

DEVAPI_API int32_t Q_GetLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second,
                                       int32_t* name) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    if (name == nullptr) return 4;
    const devapi::Reply r = devapi::SendCommand(*s, x::kCmdGetLaborCode, x::Two(number, second),
                                                x::kRecord, s->cmd_timeout_ms);
    if (!r.HasAtLeast(x::kRecord)) return -2;
    x::TakeName(std::span<const uint8_t>(r.bytes).subspan(8, x::kNameChars), name);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second,
                                       const char* name) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    if (name == nullptr) return 4;
    std::array<uint8_t, x::kRecord> data{};
    wire::ByteWriter w(data);
    w.I32(number);
    w.I32(second);
    w.FixedText(x::NameOf(name), x::kNameField);
    return x::SendSimple(*s, x::kCmdSetLaborCode, data);
  });
}

DEVAPI_API int32_t Q_DelLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second) {
  return devapi::Guarded([&]() -> int32_t {
    EXTRAS_OPEN();
    return x::SendSimple(*s, x::kCmdDeleteLaborCode, x::Two(number, second));
  });
}
