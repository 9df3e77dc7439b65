// Custom attendance states (0-7, on terminals with the extended attendance
// format) and custom voices (0-20).
#include <array>
#include <cstring>
#include <string_view>

#include "devapi.h"
#include "extras/extras_io.h"
#include "wire/le_bytes.h"

namespace devapi::extras {

namespace {

constexpr uint16_t kCmdSetState = 1703;
constexpr uint16_t kCmdSetVoice = 1704;
constexpr uint16_t kCmdEnableState = 1705;
constexpr uint16_t kCmdEnableVoice = 1706;
constexpr uint16_t kCmdDeleteState = 1707;
constexpr uint16_t kCmdDeleteVoice = 1708;
constexpr uint32_t kMaxState = 7;
constexpr uint32_t kMaxStateValue = 127;
constexpr uint32_t kMaxVoice = 20;
constexpr size_t kVoiceName = 20;  // 19 characters and a terminator

// States exist only where attendance records carry them.
bool StateUsable(const DeviceSession& s, int32_t state) {
  return s.extend_fmt != 0 && Fits(state, kMaxState);
}

// A voice file name: not empty, at most 19 characters, no path, not the
// terminal's own beep.
bool VoiceNameValid(const char* name) {
  if (name == nullptr) return false;
  const size_t len = ::strnlen(name, kVoiceName);
  if (len == 0 || len >= kVoiceName) return false;
  const std::string_view text(name, len);
  if (text.find_first_of("\\/") != std::string_view::npos) return false;
  return text != "beep.wav" && text != "." && text != "..";
}

std::array<uint8_t, 6> Triple(int32_t a, int32_t b, int32_t c) {
  std::array<uint8_t, 6> out{};
  wire::ByteWriter w(out);
  w.U16(static_cast<uint16_t>(a));
  w.U16(static_cast<uint16_t>(b));
  w.U16(static_cast<uint16_t>(c));
  return out;
}

std::array<uint8_t, 4> Word(int32_t v) {
  std::array<uint8_t, 4> out{};
  wire::ByteWriter(out).I32(v);
  return out;
}

}  // namespace

}  // namespace devapi::extras

namespace x = devapi::extras;
using devapi::DeviceSession;

DEVAPI_API int32_t Q_SetCustomizeAttState(DEVAPI_HANDLE handle, int32_t state, int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::StateUsable(*s, state) || !x::Fits(value, x::kMaxStateValue)) return 4;
    return x::SendSimple(*s, x::kCmdSetState, x::Triple(state, value, 1));
  });
}

DEVAPI_API int32_t Q_DelCustomizeAttState(DEVAPI_HANDLE handle, int32_t state) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::StateUsable(*s, state)) return 4;
    return x::SendSimple(*s, x::kCmdDeleteState, x::Word(state));
  });
}

DEVAPI_API int32_t Q_EnableCustomizeAttState(DEVAPI_HANDLE handle, int32_t state, int32_t flag) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::StateUsable(*s, state)) return 4;
    return x::SendSimple(*s, x::kCmdEnableState, x::Triple(state, flag != 0 ? 1 : 0, 0));
  });
}

DEVAPI_API int32_t Q_SetCustomizeVoice(DEVAPI_HANDLE handle, int32_t index, const char* name) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(index, x::kMaxVoice) || !x::VoiceNameValid(name)) return 4;
    std::array<uint8_t, 32> data{};
    wire::ByteWriter w(data);
    w.U16(static_cast<uint16_t>(index));
    w.Bytes(std::array<uint8_t, 8>{});
    w.FixedText(std::string_view(name, ::strnlen(name, x::kVoiceName)), x::kVoiceName);
    w.U16(1);
    return x::SendSimple(*s, x::kCmdSetVoice, data);
  });
}

DEVAPI_API int32_t Q_DelCustomizeVoice(DEVAPI_HANDLE handle, int32_t index) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(index, x::kMaxVoice)) return 4;
    return x::SendSimple(*s, x::kCmdDeleteVoice, x::Word(index));
  });
}

DEVAPI_API int32_t Q_EnableCustomizeVoice(DEVAPI_HANDLE handle, int32_t index, int32_t flag) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!x::Fits(index, x::kMaxVoice)) return 4;
    return x::SendSimple(*s, x::kCmdEnableVoice, x::Triple(index, flag != 0 ? 1 : 0, 0));
  });
}
