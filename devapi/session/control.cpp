// Device control commands and the device search.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/user_numbers.h"

namespace devapi {
namespace {

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The common shape: one command, 1 on CMD_ACK_OK, else -2.
int32_t Simple(void* handle, uint16_t command, std::vector<uint8_t> data = {},
               size_t reply_size = 0, int32_t extra_timeout_ms = 0) {
  DeviceSession* s = BeginCall(handle);
  if (s == nullptr) return -1;
  const Reply r =
      SendCommand(*s, command, data, reply_size, AddTimeout(s->cmd_timeout_ms, extra_timeout_ms));
  return r.ok() ? 1 : -2;
}

// The same, for the decorated functions that leave the cancel flag alone.
int32_t SimpleKeepCancel(void* handle, uint16_t command) {
  DeviceSession* s = SessionFromHandle(handle);
  if (s == nullptr) return -1;
  return SendCommand(*s, command, {}, 0, s->cmd_timeout_ms).ok() ? 1 : -2;
}

// One command whose failure result is the engine's exchange result.
int32_t EngineResult(DeviceSession& s, uint16_t command, const std::vector<uint8_t>& data,
                     size_t reply_size) {
  const Reply r = SendCommand(s, command, data, reply_size, s.cmd_timeout_ms);
  return r.ok() ? 1 : r.result;
}

// The sound request of command 1020: kind, length, two zero bytes, data.
int32_t SoundRequest(DeviceSession& s, uint8_t kind, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> data = {kind, static_cast<uint8_t>(payload.size()), 0, 0};
  data.insert(data.end(), payload.begin(), payload.end());
  return SendCommand(s, 1020, data, 100, s.cmd_timeout_ms).ok() ? 1 : -2;
}

// The integer value of a decimal user-number text, when it is one.
bool ParseUserNumber(const char* text, int64_t* out) {
  if (text == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  *out = v;
  return true;
}

bool FitsU16(int64_t v) { return v >= 0 && v <= 0xFFFF; }
bool FitsI32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }
bool FitsU8(int32_t v) { return v >= 0 && v <= 0xFF; }

}  // namespace
}  // namespace devapi

using namespace devapi;  // NOLINT: thin exported functions

extern "C" {

DEVAPI_API int32_t Q_EnableDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1002); });
}

DEVAPI_API int32_t Q_DisableDevice(DEVAPI_HANDLE handle, int32_t value) {
  return devapi::Guarded([&]() -> int32_t {
    std::vector<uint8_t> data;
    PutLE(data, static_cast<uint32_t>(value), 4);
    return Simple(handle, 1003, data, 4);
  });
}

DEVAPI_API int32_t Q_RebootDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (!SendCommand(*s, 1004, {}, 0, s->cmd_timeout_ms).ok()) return -2;
    CloseSession(s);  // the handle is no longer valid
    return 1;
  });
}

DEVAPI_API int32_t Q_PowerOffDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1005); });
}
DEVAPI_API int32_t Q_SleepDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1006); });
}
DEVAPI_API int32_t Q_ResumeDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1007); });
}
DEVAPI_API int32_t Q_SuspendDevice(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1022); });
}

DEVAPI_API int32_t Q_AutoPowerOff(DEVAPI_HANDLE handle, int32_t) {
  return devapi::Guarded(
      [&]() -> int32_t { return SessionFromHandle(handle) == nullptr ? -1 : -100; });
}

DEVAPI_API int32_t Q_PowerOffTime(DEVAPI_HANDLE handle, int32_t, int32_t, int32_t, int32_t,
                                  int32_t) {
  return devapi::Guarded(
      [&]() -> int32_t { return SessionFromHandle(handle) == nullptr ? -1 : -100; });
}

DEVAPI_API int32_t Q_RefreshData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 1013, {}, 0, 1000); });
}

DEVAPI_API int32_t Q_Unlock(DEVAPI_HANDLE handle, int32_t delay) {
  return devapi::Guarded([&]() -> int32_t {
    std::vector<uint8_t> data;
    PutLE(data, static_cast<uint32_t>(delay), 4);
    return Simple(handle, 31, data, 0);
  });
}

DEVAPI_API int32_t Q_GetDoorState(DEVAPI_HANDLE handle, int32_t* state) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (state == nullptr) return 4;
    const Reply r = SendCommand(*s, 75, {}, 1, s->cmd_timeout_ms);
    if (!r.HasAtLeast(1)) return -2;
    *state = r.bytes[0];
    return 1;
  });
}

DEVAPI_API int32_t Q_StartEnroll(DEVAPI_HANDLE handle, int32_t user, int32_t index) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (!FitsU8(index)) return 4;
    std::vector<uint8_t> data;
    const bool wide = s->pin_width > 5;
    if (wide) {
      PutLE(data, static_cast<uint32_t>(user), 4);
    } else {
      if (!FitsU16(user)) return 4;
      PutLE(data, static_cast<uint32_t>(user), 2);
    }
    data.push_back(static_cast<uint8_t>(index));
    if (wide) s->user_table_stale = 1;
    return EngineResult(*s, 61, data, 10);
  });
}

DEVAPI_API int32_t Q_StartEnrollEx(DEVAPI_HANDLE handle, const char* user_id, int32_t index,
                                   int32_t flag) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (user_id == nullptr || !FitsU8(index)) return 4;
    std::vector<uint8_t> data;
    bool wide = false;
    if (s->is_tft != 0) {
      const size_t n = strnlen(user_id, 25);
      if (n > 24) return 4;  // never cut an identifier
      data.assign(24, 0);
      std::memcpy(data.data(), user_id, n);
    } else {
      int64_t number = 0;
      if (!ParseUserNumber(user_id, &number)) return 4;
      wide = s->pin_width > 5;
      if (wide) {
        if (!FitsI32(number)) return 4;
        PutLE(data, static_cast<uint32_t>(static_cast<int32_t>(number)), 4);
      } else {
        if (!FitsU16(number)) return 4;
        PutLE(data, static_cast<uint32_t>(number), 2);
      }
    }
    data.push_back(static_cast<uint8_t>(index));
    data.push_back(static_cast<uint8_t>(flag));
    if (wide) s->user_table_stale = 1;
    return EngineResult(*s, 61, data, 30);
  });
}

DEVAPI_API int32_t Q_StartVerify(DEVAPI_HANDLE handle, int32_t user, int32_t index) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (!FitsU8(index)) return 4;
    // The terminal's internal number (users); it must fit the 16-bit
    // field, or another user would be addressed.
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!FitsU16(pin)) return 4;
    std::vector<uint8_t> data;
    PutLE(data, static_cast<uint32_t>(pin), 2);
    data.push_back(static_cast<uint8_t>(index));
    return EngineResult(*s, 60, data, 100);
  });
}

DEVAPI_API int32_t Q_StartIdentify(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return EngineResult(*s, 60, {}, 0);
  });
}

DEVAPI_API int32_t Q_CancelOperation(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return EngineResult(*s, 62, {}, 0);
  });
}

DEVAPI_API int32_t Q_QueryState(DEVAPI_HANDLE handle, int32_t* state) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (state == nullptr) return 4;
    const Reply r = SendCommand(*s, 64, {}, 100, s->cmd_timeout_ms);
    if (!r.ok()) return -2;
    *state = r.result;
    return 1;
  });
}

DEVAPI_API int32_t Q_WriteLCD(DEVAPI_HANDLE handle, int32_t row, int32_t column, const char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (text == nullptr) return 4;
    std::vector<uint8_t> data = {static_cast<uint8_t>(row), static_cast<uint8_t>(column), 0};
    const size_t n = strnlen(text, 100);
    data.insert(data.end(), text, text + n);
    data.push_back(0);
    if (data.size() > 100) data.resize(100);  // the request is cut at 100 bytes
    return SendCommand(*s, 66, data, 100, s->cmd_timeout_ms).ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_ClearLCD(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return Simple(handle, 67); });
}

DEVAPI_API int32_t Q_Beep(DEVAPI_HANDLE handle, int32_t duration_ms) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    // One byte of 20 ms units: clamp instead of wrapping.
    const int32_t units = std::clamp(duration_ms / 20, 0, 255);
    return SoundRequest(*s, 3, {static_cast<uint8_t>(units)});
  });
}

DEVAPI_API int32_t Q_PlayVoice(DEVAPI_HANDLE handle, int32_t first, int32_t second) {
  return devapi::Guarded([&]() -> int32_t {
    return Simple(handle, 1017, {static_cast<uint8_t>(first), static_cast<uint8_t>(second)});
  });
}

DEVAPI_API int32_t Q_PlayVoiceByIndex(DEVAPI_HANDLE handle, int32_t index) {
  return devapi::Guarded(
      [&]() -> int32_t { return Simple(handle, 1017, {static_cast<uint8_t>(index)}); });
}

DEVAPI_API int32_t Q_EnableClock(DEVAPI_HANDLE handle, int32_t flag) {
  return devapi::Guarded(
      [&]() -> int32_t { return Simple(handle, 57, {static_cast<uint8_t>(flag)}); });
}

DEVAPI_API int32_t Q_SaveCurTime(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return SimpleKeepCancel(handle, 10008); });
}
DEVAPI_API int32_t Q_TurnOffAlarm(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return SimpleKeepCancel(handle, 10030); });
}
DEVAPI_API int32_t Q_CloseAlarm(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t { return SimpleKeepCancel(handle, 10034); });
}

DEVAPI_API int32_t Q_SearchDevice(const char* kind, const char* address, char* result,
                                  int32_t size) {
  return devapi::Guarded([&]() -> int32_t {
    if (kind == nullptr || address == nullptr || result == nullptr || size <= 0) return 4;
    if (std::strcmp(kind, "UDP") != 0 && std::strcmp(kind, "Eth") != 0 &&
        std::strcmp(kind, "Ethernet") != 0) {
      return -100;  // "RS232", "RS485", "SerialPort" and anything else
    }
    result[0] = '\0';
    const int32_t found = DEVWIRE_BROADCAST("comms.dll", address, "X", 1, result, size, 5000);
    result[size - 1] = '\0';  // terminated within the caller's size, whatever happened
    return found;
  });
}

}  // extern "C"
