// Unlock groups (a text) and lock combinations (up to five groups that must
// verify together), both through commands 29 and 30.
#include <array>
#include <cstring>
#include <span>

#include "devapi.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/caller_fields.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetLocks = 29;
constexpr uint16_t kCmdSetLocks = 30;
constexpr size_t kUnlockTextSize = 200;
// The most text one command packet carries.
constexpr size_t kMaxUnlockText = 1024;
constexpr size_t kCombinationRecord = 8;
constexpr size_t kCombinationReply = 6;  // groups 1-5 at bytes 1-5
constexpr uint32_t kMaxCombination = 10;
constexpr uint32_t kMaxGroup = 99;

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetUnlockGroups(DEVAPI_HANDLE handle, char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (text == nullptr) return 4;
    text[0] = '\0';
    const auto reply = devapi::SendCommand(*s, users::kCmdGetLocks, {}, users::kUnlockTextSize,
                                           s->cmd_timeout_ms);
    if (!reply.ok()) return -2;
    devapi::CopyText(reply.Text(), text, users::kUnlockTextSize);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetUnlockGroups(DEVAPI_HANDLE handle, const char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (text == nullptr) return 4;
    const size_t length = strnlen(text, users::kMaxUnlockText + 1);
    if (length > users::kMaxUnlockText) return 4;
    const auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text), length);
    return devapi::SendCommand(*s, users::kCmdSetLocks, bytes, 0, s->cmd_timeout_ms).ok() ? 1
                                                                                          : -2;
  });
}

DEVAPI_API int32_t Q_GetlockComb(DEVAPI_HANDLE handle, int32_t number, int32_t* group1,
                                 int32_t* group2, int32_t* group3, int32_t* group4,
                                 int32_t* group5) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (static_cast<uint32_t>(number) > users::kMaxCombination) return 4;
    std::array<uint8_t, users::kCombinationRecord> request{};
    wire::ByteWriter(request).I32(number);
    const auto reply = devapi::SendCommand(*s, users::kCmdGetLocks, request,
                                           users::kCombinationRecord, s->cmd_timeout_ms);
    if (reply.code == devapi::kAckError) return -100;
    if (!reply.HasAtLeast(users::kCombinationReply)) return -2;
    int32_t* const groups[5] = {group1, group2, group3, group4, group5};
    for (size_t i = 0; i < 5; ++i) users::PutInt(groups[i], reply.bytes[1 + i]);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetlockComb(DEVAPI_HANDLE handle, int32_t number, int32_t group1,
                                 int32_t group2, int32_t group3, int32_t group4,
                                 int32_t group5) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const std::array<int32_t, 5> groups{group1, group2, group3, group4, group5};
    if (static_cast<uint32_t>(number) > users::kMaxCombination) return 4;
    uint8_t count = 0;
    for (int32_t g : groups) {
      if (static_cast<uint32_t>(g) > users::kMaxGroup) return 4;  // negative ones too
      if (g > 0) ++count;
    }
    std::array<uint8_t, users::kCombinationRecord> request{};
    wire::ByteWriter w(request);
    w.U8(static_cast<uint8_t>(number));
    for (int32_t g : groups) w.U8(static_cast<uint8_t>(g));
    w.U8(count);
    w.U8(0);
    return devapi::SendCommand(*s, users::kCmdSetLocks, request, 0, s->cmd_timeout_ms).ok() ? 1
                                                                                            : -2;
  });
}

}  // extern "C"
