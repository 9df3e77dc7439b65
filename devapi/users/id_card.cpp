// Identity-card data the terminal keeps per user, addressed by ID text.
#include <algorithm>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/caller_fields.h"
#include "users/user_numbers.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdSetIdCard = 10051;
constexpr uint16_t kCmdGetIdCard = 10052;
constexpr uint16_t kCmdDeleteIdCard = 10053;
// The ID text field: 24 characters and a zero byte.
constexpr size_t kIdField = 25;
constexpr size_t kLengthOffset = 25;
constexpr size_t kDataOffset = 27;
constexpr size_t kLargestReply = 65536;
constexpr uint16_t kAckNoSuchData = 4989;
constexpr uint16_t kAckNoSuchRecord = 4991;

std::vector<uint8_t> IdRequest(const char* id_text, size_t size) {
  std::vector<uint8_t> request(size, 0);
  TakeCallerText(id_text, std::span<uint8_t>(request).first(kIdTextMax));
  return request;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_SetUserIDCard(DEVAPI_HANDLE handle, const char* id_text, const uint8_t* data,
                                   int32_t length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::CallerIdText(id_text) || length < 0 || length > 0xFFFF ||
        (length > 0 && data == nullptr)) {
      return 4;
    }
    auto request = users::IdRequest(id_text, users::kDataOffset + static_cast<size_t>(length));
    wire::ByteWriter w(std::span<uint8_t>(request).subspan(users::kLengthOffset));
    w.U16(static_cast<uint16_t>(length));
    if (length > 0) w.Bytes(std::span<const uint8_t>(data, static_cast<size_t>(length)));
    const auto reply = devapi::SendCommand(*s, users::kCmdSetIdCard, request, 0,
                                           devapi::AddTimeout(s->cmd_timeout_ms, 2000));
    if (reply.ok()) return 1;
    switch (reply.result) {
      case 2:
        return 0;
      case 1:
        return -4;
      case 4:
        return -5;
      default:
        return -2;
    }
  });
}

DEVAPI_API int32_t Q_GetUserIDCard(DEVAPI_HANDLE handle, const char* id_text, uint8_t* buffer,
                                   int32_t capacity) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::CallerIdText(id_text) || buffer == nullptr ||
        capacity < static_cast<int32_t>(users::kIdField)) {
      return 4;
    }
    // No reply carries more than the largest packet's payload.
    const size_t reply_size = std::min<size_t>(static_cast<size_t>(capacity), users::kLargestReply);
    const auto reply =
        devapi::SendCommand(*s, users::kCmdGetIdCard, users::IdRequest(id_text, users::kIdField),
                            reply_size, s->data_timeout_ms);
    if (reply.code == wire::CMD_ACK_ERROR) return 0;
    if (!reply.ok()) return -2;
    std::copy_n(reply.bytes.begin(), reply.bytes.size(), buffer);
    return 1;
  });
}

DEVAPI_API int32_t Q_DelUserIDCard(DEVAPI_HANDLE handle, const char* id_text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (s->face_version == 0) return -100;
    if (!users::CallerIdText(id_text)) return 4;
    const auto reply =
        devapi::SendCommand(*s, users::kCmdDeleteIdCard, users::IdRequest(id_text, users::kIdField),
                            0, devapi::AddTimeout(s->cmd_timeout_ms, 4000));
    if (reply.ok()) return 1;
    if (reply.code == wire::CMD_ACK_ERROR) return reply.result == 2 ? 0 : -2;
    return (reply.code == users::kAckNoSuchData || reply.code == users::kAckNoSuchRecord) ? 0 : -2;
  });
}

}  // extern "C"
