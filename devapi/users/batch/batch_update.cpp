// Q_BeginBatchUpdate, Q_BatchUpdate and Q_CancelBatchUpdate: collecting
// user and template writes in the session and handing them to the terminal
// as one package that it applies in one step.
#include <array>
#include <cstdio>
#include <new>
#include <vector>

#include "devapi.h"
#include "platform/debug.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "users/batch/batch_package.h"
#include "users/batch/batch_streams.h"
#include "users/pin_allocation.h"
#include "users/user_cache.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdBatchAnnounce = 2222;  // a batch package follows
constexpr uint16_t kCmdReloadData = 1013;
constexpr int32_t kShortCommandMs = 1000;
constexpr int32_t kUploadPacingMs = 2500;
// Applying a full terminal's package may take long; a cancel still ends
// the wait at once.
constexpr int32_t kApplyTimeoutMs = 360'000'000;
// What command 110 is told: the package's kind of data.
constexpr uint32_t kApplyHeadSize = 12;
constexpr uint32_t kApplyBatchKind = 0x80000;
constexpr size_t kApplyReplyRoom = 16;
constexpr int32_t kVersion10 = 10;

void Trace(const char* text) {
  if (platform::DebugOutputEnabled()) platform::DebugOutput(text);
}

// Every end of a batch: the entries go, and the user cache is read anew.
void EndBatch(DeviceSession& s) {
  DropBatchEntries(s);
  s.batch.active = false;
  s.batch.overwrite = false;
  FreeUserCache(s);
}

int32_t Begin(DeviceSession& s, int32_t flag) {
  const bool version10_too_old = s.fp_version == kVersion10 && s.is_tft != 0 &&
                                 devapi::FirmwareBelow(s, "Ver 6.60");
  if (devapi::FirmwareBelow(s, "Ver 5.11") || version10_too_old) {
    EndBatch(s);
    return -100;
  }
  FreeUserCache(s);
  ResetPinAllocation(s);
  DropBatchEntries(s);  // a second begin starts over
  s.batch.active = true;
  s.batch.overwrite = flag == 1;
  return 1;
}

int32_t Apply(DeviceSession& s) {
  std::vector<uint8_t> package;
  try {
    package = BuildBatchPackage(s.batch);
  } catch (const std::bad_alloc&) {
    return -4;
  }
  // The answer to the announcement tells nothing.
  devapi::SendCommand(s, kCmdBatchAnnounce, {}, 0, kShortCommandMs);
  if (!devapi::SendCommand(s, wire::CMD_DISABLEDEVICE, {}, 0, kShortCommandMs).ok()) return 0;
  if (DEVWIRE_SENDDATA(s.engine, package.data(), static_cast<int32_t>(package.size()),
                       kUploadPacingMs) <= 0) {
    return -2;
  }
  std::array<uint8_t, 8> apply{};
  wire::ByteWriter w(apply);
  w.U32(kApplyHeadSize);
  w.U32(kApplyBatchKind);
  if (!devapi::SendCommand(s, wire::kTakeUploadedData, apply, kApplyReplyRoom, kApplyTimeoutMs)
           .ok()) {
    return -2;
  }
  // The terminal reloads what it applied; its answer tells nothing.
  devapi::SendCommand(s, kCmdReloadData, {}, 0, kShortCommandMs);
  return 1;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_BeginBatchUpdate(DEVAPI_HANDLE handle, int32_t flag) {
  char line[64];
  std::snprintf(line, sizeof line, "Q_BeginBatchUpdate flag=%d\r\n", flag);
  users::Trace(line);
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return users::Begin(*s, flag);
  });
}

DEVAPI_API int32_t Q_BatchUpdate(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!s->batch.active) return -100;
    int32_t result = -2;
    try {
      result = users::Apply(*s);
    } catch (...) {
      users::EndBatch(*s);
      throw;
    }
    // Whatever happened, the batch is over; nothing is tried again.
    users::EndBatch(*s);
    return result;
  });
}

DEVAPI_API int32_t Q_CancelBatchUpdate(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    users::EndBatch(*s);
    return 1;
  });
}

}  // extern "C"
