// Short messages (commands 70-72) and their links to users (73, 74), and
// clearing either kind (command 14 with data kinds 6 and 7).
#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "devapi.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/caller_fields.h"
#include "users/refusal_results.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdClearData = 14;
constexpr uint16_t kCmdSetMessage = 70;
constexpr uint16_t kCmdGetMessage = 71;
constexpr uint16_t kCmdDeleteMessage = 72;
constexpr uint16_t kCmdLinkMessage = 73;
constexpr uint16_t kCmdUnlinkMessage = 74;
constexpr uint8_t kKindMessages = 6;
constexpr uint8_t kKindLinks = 7;
constexpr int32_t kClearExtraMs = 3000;
constexpr int32_t kDeleteExtraMs = 4000;
// u8 tag, u16 number, u16 valid minutes, 2 zero bytes, u32 packed start.
constexpr size_t kMessageHead = 11;
constexpr size_t kTftContent = 320;
constexpr size_t kContent = 60;
constexpr int64_t kMaxMessage = 0xFFFF;

size_t ContentSize(const DeviceSession& s) { return s.is_tft_alt != 0 ? kTftContent : kContent; }
// The record ends in a zero byte after the content.
size_t RecordSize(const DeviceSession& s) { return kMessageHead + ContentSize(s) + 1; }

bool MessageNumber(int32_t number) { return number >= 0 && number <= kMaxMessage; }

std::array<uint8_t, 2> NumberRequest(int32_t number) {
  std::array<uint8_t, 2> request{};
  wire::ByteWriter(request).U16(static_cast<uint16_t>(number));
  return request;
}

int32_t Clear(DeviceSession& s, uint8_t kind) {
  const uint8_t request[1] = {kind};
  return devapi::SendCommand(s, kCmdClearData, request, 0,
                             devapi::AddTimeout(s.cmd_timeout_ms, kClearExtraMs))
                 .ok()
             ? 1
             : -2;
}

// A PIN for the link commands: a non-zero PIN as it is, PIN 0 the user
// with this PIN2. Nothing to send: the result in `result`.
struct LinkUser {
  uint16_t pin = 0;
  int32_t result = 0;
  bool send = false;
};
LinkUser LinkUserOf(DeviceSession& s, int32_t pin, int32_t pin2) {
  if (pin != 0) return {static_cast<uint16_t>(pin), 0, true};
  const int32_t found = QueryPinByPin2(s, static_cast<uint32_t>(pin2));
  if (found <= 0) return {0, found, false};  // 0 no such user, -2 no table
  if (!IsValidPin(found)) return {0, -2, false};
  return {static_cast<uint16_t>(found), 0, true};
}

// The PIN of a cached user's ID text; nothing to send for an unknown one.
LinkUser LinkUserOf(DeviceSession& s, std::string_view id_text) {
  const int32_t pin = PinFromIdText(s, id_text);
  if (pin < 0) return {0, 0, false};
  if (!IsValidPin(pin)) return {0, -2, false};
  return {static_cast<uint16_t>(pin), 0, true};
}

devapi::Reply SendLink(DeviceSession& s, uint16_t command, uint16_t pin, int32_t message) {
  std::array<uint8_t, 4> request{};
  wire::ByteWriter w(request);
  w.U16(pin);
  w.U16(static_cast<uint16_t>(message));
  const int32_t timeout = command == kCmdUnlinkMessage
                              ? devapi::AddTimeout(s.cmd_timeout_ms, kDeleteExtraMs)
                              : s.cmd_timeout_ms;
  return devapi::SendCommand(s, command, request, 0, timeout);
}

int32_t Link(DeviceSession& s, const LinkUser& who, int32_t message) {
  if (!who.send) return who.result;
  return SendLink(s, kCmdLinkMessage, who.pin, message).ok() ? 1 : -2;
}

int32_t Unlink(DeviceSession& s, const LinkUser& who, int32_t message) {
  if (!who.send) return who.result;
  return ReasonedDeleteResult(SendLink(s, kCmdUnlinkMessage, who.pin, message));
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_SetSMS(DEVAPI_HANDLE handle, int32_t number, int32_t tag,
                            int32_t valid_minutes, int32_t year, int32_t month, int32_t day,
                            int32_t hour, int32_t minute, int32_t second, const char* content) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::MessageNumber(number) || content == nullptr) return 4;
    std::vector<uint8_t> record(users::RecordSize(*s), 0);
    wire::ByteWriter w(record);
    w.U8(static_cast<uint8_t>(tag));
    w.U16(static_cast<uint16_t>(number));
    w.U16(static_cast<uint16_t>(valid_minutes));
    w.U16(0);
    // The terminal keeps the year within its century.
    w.U32(devapi::PackTime(2000 + year % 100, month, day, hour, minute, second));
    const size_t room = users::ContentSize(*s);
    w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(content),
                                     strnlen(content, room)));
    return devapi::SendCommand(*s, users::kCmdSetMessage, record, 0, s->cmd_timeout_ms).ok() ? 1
                                                                                              : -2;
  });
}

DEVAPI_API int32_t Q_GetSMS(DEVAPI_HANDLE handle, int32_t number, int32_t* tag,
                            int32_t* valid_minutes, int32_t* year, int32_t* month, int32_t* day,
                            int32_t* hour, int32_t* minute, int32_t* second, char* content) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::MessageNumber(number) || content == nullptr) return 4;
    const auto reply =
        devapi::SendCommand(*s, users::kCmdGetMessage, users::NumberRequest(number),
                            users::RecordSize(*s) + 2, s->cmd_timeout_ms);
    if (!reply.HasAtLeast(users::kMessageHead)) return -2;
    wire::ByteReader r(std::span<const uint8_t>(reply.bytes).first(reply.length));
    users::PutInt(tag, r.U8());
    r.U16();
    users::PutInt(valid_minutes, r.U16());
    r.U16();
    const auto start = devapi::UnpackTime(r.U32());
    users::PutInt(year, start.year);
    users::PutInt(month, start.month);
    users::PutInt(day, start.day);
    users::PutInt(hour, start.hour);
    users::PutInt(minute, start.minute);
    users::PutInt(second, start.second);
    const auto rest = r.rest();
    const size_t room = users::ContentSize(*s);
    const auto text = rest.first(std::min(rest.size(), room));
    const size_t n = std::find(text.begin(), text.end(), uint8_t{0}) - text.begin();
    devapi::CopyText(std::string_view(reinterpret_cast<const char*>(text.data()), n), content,
                     room);
    return 1;
  });
}

DEVAPI_API int32_t Q_DeleteSMS(DEVAPI_HANDLE handle, int32_t number) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::MessageNumber(number)) return 4;
    return users::ReasonedDeleteResult(
        devapi::SendCommand(*s, users::kCmdDeleteMessage, users::NumberRequest(number), 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, users::kDeleteExtraMs)));
  });
}

DEVAPI_API int32_t Q_ClearSMS(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::Clear(*s, users::kKindMessages);
  });
}

DEVAPI_API int32_t Q_SetUData(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2, int32_t message) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (pin < 0 || pin > users::kMaxPin || !users::MessageNumber(message)) return 4;
    return users::Link(*s, users::LinkUserOf(*s, pin, pin2), message);
  });
}

DEVAPI_API int32_t Q_DeleteUData(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                 int32_t message) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (pin < 0 || pin > users::kMaxPin || !users::MessageNumber(message)) return 4;
    return users::Unlink(*s, users::LinkUserOf(*s, pin, pin2), message);
  });
}

DEVAPI_API int32_t Q_SetSsrUData(DEVAPI_HANDLE handle, const char* id_text, int32_t message) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || !users::MessageNumber(message)) return 4;
    return users::Link(*s, users::LinkUserOf(*s, *text), message);
  });
}

DEVAPI_API int32_t Q_DelSsrUData(DEVAPI_HANDLE handle, const char* id_text, int32_t message) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text || !users::MessageNumber(message)) return 4;
    return users::Unlink(*s, users::LinkUserOf(*s, *text), message);
  });
}

DEVAPI_API int32_t Q_ClearUData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::Clear(*s, users::kKindLinks);
  });
}

}  // extern "C"
