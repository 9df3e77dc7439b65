// Writing and appending fingerprint templates on the terminal.
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "devapi.h"
#include "platform/debug.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/fingerprint_batch_seam.h"
#include "users/fingerprint_preparation.h"
#include "users/user_cache.h"
#include "users/user_numbers.h"
#include "users/user_text_pin.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdWriteWithFlag = 87;
constexpr uint16_t kCmdWriteById = 132;
constexpr int32_t kVersion10 = 10;
constexpr uint8_t kVersion10Finger = 15;  // SSR_Q_SetUserTmp takes no other
constexpr uint8_t kAppendFinger = 255;    // the terminal picks the finger
constexpr uint16_t kUnknownPin = 65535;   // sent for an ID text nobody has

constexpr size_t kWriteHeader = 5;    // command 10
constexpr size_t kFlagHeader = 6;     // command 87
constexpr size_t kAppendHeader = 13;  // command 17
constexpr size_t kIdHeader = 28;      // command 132

// Command data one packet carries: 1024 bytes on UDP and serial lines,
// 65536 on TCP.
constexpr size_t kSmallPacketData = 1024;
constexpr size_t kLargePacketData = 65536;

size_t PacketData(const DeviceSession& s) {
  return s.kind == devapi::ConnectKind::kNetEx ? kLargePacketData : kSmallPacketData;
}

// A refusal's reason, which the terminal puts in the exchange result.
int32_t RefusalResult(int32_t reason, bool reason4_known) {
  if (reason == 2) return 0;
  if (reason == 1) return -4;
  if (reason == 4 && reason4_known) return -5;
  return -2;
}

int32_t WriteResult(uint16_t code, int32_t reason, bool reason4_known = true) {
  return code == devapi::kAckOk ? 1 : RefusalResult(reason, reason4_known);
}

// Sends a header followed by the template in one command.
struct Sent {
  uint16_t code = 0;
  int32_t result = 0;
};
Sent SendInline(DeviceSession& s, uint16_t command, std::span<const uint8_t> header,
                std::span<const uint8_t> tmpl, int32_t timeout_ms) {
  std::vector<uint8_t> request(header.begin(), header.end());
  request.insert(request.end(), tmpl.begin(), tmpl.end());
  const auto reply = devapi::SendCommand(s, command, request, 0, timeout_ms);
  return {reply.code, reply.result};
}

// Version 10: the template is uploaded first, then the header alone.
Sent SendUploaded(DeviceSession& s, uint16_t command, std::span<const uint8_t> header,
                  std::span<const uint8_t> tmpl) {
  uint16_t code = command;
  const int32_t result =
      DEVWIRE_SENDCMDDATA(s.engine, &code, tmpl.data(), static_cast<int32_t>(tmpl.size()),
                          header.data(), static_cast<int32_t>(header.size()), s.data_timeout_ms);
  return {code, result};
}

std::vector<uint8_t> PinHeader(uint16_t pin, uint8_t finger, std::span<const uint8_t> tmpl) {
  std::vector<uint8_t> header(kWriteHeader, 0);
  wire::ByteWriter w(header);
  w.U16(pin);
  w.U8(finger);
  w.U16(static_cast<uint16_t>(tmpl.size()));
  return header;
}

// Command 10 for a PIN, in the session's template version. A PIN that
// names nobody is sent as 65535, which the terminal refuses.
int32_t WriteByPin(DeviceSession& s, int64_t mapped, uint8_t finger,
                   const PreparedTemplate& prepared, bool version10) {
  if (prepared.error != 0) return prepared.error;
  if (const auto taken =
          BatchTakesTemplateOperation(s, TemplateBatchOperation::Write(mapped, finger, prepared.bytes))) {
    return *taken;
  }
  const uint16_t pin =
      mapped == -1 ? kUnknownPin : static_cast<uint16_t>(std::clamp<int64_t>(mapped, 0, 65535));
  const auto header = PinHeader(pin, finger, prepared.bytes);
  const Sent sent = version10 ? SendUploaded(s, wire::CMD_USERTEMP_WRQ, header, prepared.bytes)
                              : SendInline(s, wire::CMD_USERTEMP_WRQ, header, prepared.bytes,
                                           devapi::AddTimeout(s.cmd_timeout_ms, 1000));
  return WriteResult(sent.code, sent.result);
}

void Trace(const char* text) {
  if (platform::DebugOutputEnabled()) platform::DebugOutput(text);
}

bool ByteArgument(int32_t value) { return value >= 0 && value <= 255; }

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_SetUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger,
                                const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (tmpl == nullptr || !users::ByteArgument(finger)) return 4;
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!users::IsValidPin(pin)) return -2;  // never another user's 16 bits
    const auto prepared = users::PrepareVersion9(tmpl, users::kMaxVersion9Bytes);
    return users::WriteByPin(*s, pin, static_cast<uint8_t>(finger), prepared, false);
  });
}

DEVAPI_API int32_t SSR_Q_SetUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                    const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const bool version10 = s->fp_version == users::kVersion10;
    if (version10 && finger != users::kVersion10Finger) return -100;
    const auto text = users::CallerIdText(id_text);
    if (!text || tmpl == nullptr || !users::ByteArgument(finger)) return 4;
    const int32_t pin = users::PinFromIdText(*s, *text);
    const auto prepared = version10 ? users::PrepareVersion10(tmpl, users::kMinVersion10Bytes)
                                    : users::PrepareVersion9(tmpl, users::kMaxVersion9Bytes);
    return users::WriteByPin(*s, pin, static_cast<uint8_t>(finger), prepared, version10);
  });
}

DEVAPI_API int32_t Q_SetUserTmpEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                  int32_t flag, const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (user == nullptr || tmpl == nullptr || !users::ByteArgument(finger) ||
        !users::ByteArgument(flag)) {
      return 4;
    }
    char line[200];
    std::snprintf(line, sizeof line, "Q_SetUserTmpEx Pin=%.24s, fingerIdx=%d, Flag=%d\r\n", user,
                  finger, flag);
    users::Trace(line);
    const int64_t pin = users::PinFromUserText(*s, user);
    if (!users::IsValidPin(pin)) return -2;
    const bool version10 = s->fp_version == users::kVersion10;
    const auto prepared = version10 ? users::PrepareVersion10(tmpl, users::kMinVersion10BytesEx)
                                    : users::PrepareVersion9(tmpl, users::kMaxVersion9BytesEx);
    if (prepared.error != 0) return prepared.error;
    const auto finger_byte = static_cast<uint8_t>(finger);
    const auto batch_finger = static_cast<uint8_t>((flag << 4) | (finger & 0x0F));
    if (const auto taken = users::BatchTakesTemplateOperation(
            *s, users::TemplateBatchOperation::Write(pin, batch_finger, prepared.bytes))) {
      return *taken;
    }
    std::vector<uint8_t> header(users::kFlagHeader, 0);
    wire::ByteWriter w(header);
    w.U16(static_cast<uint16_t>(pin));
    w.U8(finger_byte);
    w.U8(static_cast<uint8_t>(flag));
    w.U16(static_cast<uint16_t>(prepared.bytes.size()));
    const users::Sent sent =
        version10 ? users::SendUploaded(*s, users::kCmdWriteWithFlag, header, prepared.bytes)
                  : users::SendInline(*s, users::kCmdWriteWithFlag, header, prepared.bytes,
                                      devapi::AddTimeout(s->cmd_timeout_ms, 1000));
    std::snprintf(line, sizeof line, "Q_SetUserTmpEx, cmd=%d, ret=%d\r\n", sent.code, sent.result);
    users::Trace(line);
    return users::WriteResult(sent.code, sent.result);
  });
}

DEVAPI_API int32_t SSR_Q_SetUserTmpExt(DEVAPI_HANDLE handle, int32_t flag, const char* id_text,
                                       int32_t finger, const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::CallerIdText(id_text) || tmpl == nullptr || !users::ByteArgument(finger) ||
        !users::ByteArgument(flag)) {
      return 4;
    }
    // The header and the template travel in one packet.
    const size_t room = users::PacketData(*s) - users::kIdHeader;
    const auto prepared = users::PrepareVersion9(tmpl, std::min(users::kMaxVersion9Bytes, room));
    if (prepared.error != 0) return prepared.error;
    std::array<uint8_t, users::kIdTextMax> id{};
    users::TakeCallerText(id_text, id);
    const std::string_view id_view(reinterpret_cast<const char*>(id.data()),
                                   strnlen(reinterpret_cast<const char*>(id.data()), id.size()));
    if (const auto taken = users::BatchTakesTemplateOperation(
            *s, users::TemplateBatchOperation::WriteById(id_view, static_cast<uint8_t>(finger),
                                                         prepared.bytes))) {
      return *taken;
    }
    std::vector<uint8_t> header(users::kIdHeader, 0);
    wire::ByteWriter w(header);
    w.Bytes(id);
    w.U8(static_cast<uint8_t>(flag));
    w.U8(static_cast<uint8_t>(finger));
    w.U16(static_cast<uint16_t>(prepared.bytes.size()));
    const users::Sent sent = users::SendInline(*s, users::kCmdWriteById, header, prepared.bytes,
                                               devapi::AddTimeout(s->cmd_timeout_ms, 1000));
    return users::WriteResult(sent.code, sent.result);
  });
}

DEVAPI_API int32_t Q_AppendUserTmp(DEVAPI_HANDLE handle, int32_t user, const uint8_t* tmpl) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (tmpl == nullptr) return 4;
    const int64_t pin = users::PinFromPin2(*s, user);
    if (!users::IsValidPin(pin)) return -2;
    const auto prepared = users::PrepareVersion9(tmpl, users::kMaxVersion9Bytes);
    if (prepared.error != 0) return prepared.error;
    // Appending is never batched.
    std::vector<uint8_t> header(users::kAppendHeader, 0);
    wire::ByteWriter w(header);
    w.U16(static_cast<uint16_t>(pin));
    w.U8(users::kAppendFinger);
    w.Bytes(std::array<uint8_t, 8>{});
    w.U16(static_cast<uint16_t>(prepared.bytes.size()));
    const users::Sent sent =
        users::SendInline(*s, wire::CMD_APPEND_USERTEMP, header, prepared.bytes, s->cmd_timeout_ms);
    if (sent.code == devapi::kAckOk) {
      users::FreeUserCache(*s);
      return 1;
    }
    return users::RefusalResult(sent.result, false);
  });
}

}  // extern "C"
