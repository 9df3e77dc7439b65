// Reading single templates from the terminal, and the exported calls that
// do nothing else.
#include "users/fingerprint_device_reads.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "devapi.h"
#include "session/session_io.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_text_pin.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdTemplateWithFlag = 88;
constexpr int32_t kVersion10 = 10;

std::array<uint8_t, 3> PinFingerRequest(int64_t pin, uint8_t finger) {
  std::array<uint8_t, 3> request{};
  wire::ByteWriter w(request);
  w.U16(static_cast<uint16_t>(pin));
  w.U8(finger);
  return request;
}

int32_t ReadResult(uint16_t code) {
  if (code == devapi::kAckOk) return 1;
  return code == devapi::kAckError ? 0 : -2;
}

// One command whose reply is the template: copied into the caller's buffer
// as far as it arrived and fits.
int32_t ReadBySendCommand(DeviceSession& s, uint16_t command, int64_t pin, uint8_t finger,
                          uint8_t* buffer, int32_t* length) {
  const auto reply = devapi::SendCommand(s, command, PinFingerRequest(pin, finger),
                                         static_cast<size_t>(*length), s.data_timeout_ms);
  const size_t n = reply.ok() ? reply.length : 0;
  if (n > 0) std::memcpy(buffer, reply.bytes.data(), n);
  *length = static_cast<int32_t>(n);
  return ReadResult(reply.code);
}

// The streamed read of version-10 terminals (whole containers may pass one
// packet).
int32_t ReadStreamed(DeviceSession& s, int64_t pin, uint8_t finger, uint8_t* buffer,
                     int32_t* length) {
  const auto request = PinFingerRequest(pin, finger);
  std::vector<uint8_t> area(std::max<size_t>(static_cast<size_t>(*length), request.size()), 0);
  std::copy(request.begin(), request.end(), area.begin());
  uint16_t code = wire::CMD_USERTEMP_RRQ;
  const int32_t n =
      DEVWIRE_READDATA1(s.engine, &code, area.data(), *length, static_cast<int32_t>(request.size()),
                        s.block_size, s.data_timeout_ms);
  const int32_t got = code == devapi::kAckOk ? std::clamp(n, 0, *length) : 0;
  if (got > 0) std::memcpy(buffer, area.data(), static_cast<size_t>(got));
  *length = got;
  return ReadResult(code);
}

// Maps an ID text; an unknown one reloads the user table once.
int32_t PinOfIdText(DeviceSession& s, std::string_view id_text) {
  int32_t pin = PinFromIdText(s, id_text);
  if (pin == -1) {
    LoadUserCache(s);
    pin = PinFromIdText(s, id_text);
  }
  return pin;
}

}  // namespace

int32_t ReadTemplateByPin(DeviceSession& s, int64_t pin, uint8_t finger, uint8_t* buffer,
                          int32_t* length) {
  if (!IsValidPin(pin)) {
    *length = 0;
    return 0;
  }
  return ReadBySendCommand(s, wire::CMD_USERTEMP_RRQ, pin, finger, buffer, length);
}

int32_t ReadTemplateByIdText(DeviceSession& s, std::string_view id_text, uint8_t finger,
                             uint8_t* buffer, int32_t* length) {
  const int32_t pin = PinOfIdText(s, id_text);
  if (!IsValidPin(pin)) {
    *length = 0;
    return 0;
  }
  if (s.fp_version == kVersion10) return ReadStreamed(s, pin, finger, buffer, length);
  return ReadBySendCommand(s, wire::CMD_USERTEMP_RRQ, pin, finger, buffer, length);
}

int32_t ReadTemplateWithFlag(DeviceSession& s, const char* user, uint8_t finger, int32_t* flag,
                             uint8_t* buffer, int32_t* length) {
  int64_t pin = PinFromUserText(s, user);
  if (pin == -1 && s.is_tft != 0) {
    LoadUserCache(s);
    pin = PinFromUserText(s, user);
  }
  if (!IsValidPin(pin)) {
    *length = 0;
    return 0;
  }
  const auto reply = devapi::SendCommand(s, kCmdTemplateWithFlag, PinFingerRequest(pin, finger),
                                         static_cast<size_t>(*length), s.data_timeout_ms);
  const size_t n = reply.ok() ? reply.length : 0;
  if (n > 0) std::memcpy(buffer, reply.bytes.data(), n);
  if (reply.ok() && s.is_tft != 0 && n > 0 && flag != nullptr) {
    *flag = static_cast<int8_t>(reply.bytes[n - 1]);
  }
  // The flag byte is no part of the template.
  *length = n > 0 ? static_cast<int32_t>(n - 1) : 0;
  return ReadResult(reply.code);
}

}  // namespace users

namespace {

bool FingerByte(int32_t finger) { return finger >= 0 && finger <= 255; }

}  // namespace

extern "C" {

DEVAPI_API int32_t Q_GetUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger, uint8_t* buffer,
                                int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (buffer == nullptr || length == nullptr || *length < 0 || !FingerByte(finger)) return 4;
    return users::ReadTemplateByPin(*s, users::PinFromPin2(*s, user), static_cast<uint8_t>(finger),
                                    buffer, length);
  });
}

DEVAPI_API int32_t SSR_Q_GetUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                    uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || buffer == nullptr || length == nullptr || *length < 0 || !FingerByte(finger)) {
      return 4;
    }
    return users::ReadTemplateByIdText(*s, *text, static_cast<uint8_t>(finger), buffer, length);
  });
}

DEVAPI_API int32_t Q_GetUserTmpEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                  int32_t* flag, uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (user == nullptr || buffer == nullptr || length == nullptr || *length < 0 ||
        !FingerByte(finger)) {
      return 4;
    }
    return users::ReadTemplateWithFlag(*s, user, static_cast<uint8_t>(finger), flag, buffer,
                                       length);
  });
}

}  // extern "C"
