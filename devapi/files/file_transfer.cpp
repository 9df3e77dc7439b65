#include "files/file_transfer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "platform/host_file.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi::files {

namespace {

constexpr uint16_t kCmdDisable = 1003;
constexpr uint16_t kCmdEnable = 1002;
constexpr uint32_t kDisableForTransfer = 3;
constexpr int32_t kUploadTimeoutFactor = 4;

}  // namespace

int32_t ScaleTimeout(int32_t timeout_ms, int32_t factor) {
  const int64_t product = static_cast<int64_t>(timeout_ms) * factor;
  return static_cast<int32_t>(std::clamp<int64_t>(product, 0, INT32_MAX));
}

int32_t ReadUploadFile(const char* path, size_t limit, std::vector<uint8_t>* content) {
  if (path == nullptr) return 4;
  platform::ReadStatus status;
  try {
    status = platform::ReadHostFile(path, std::min(limit, kEngineUploadLimit), content);
  } catch (const std::bad_alloc&) {
    return -4;
  }
  switch (status) {
    case platform::ReadStatus::kOk:
      return 0;
    case platform::ReadStatus::kTooLarge:
      return 4;
    case platform::ReadStatus::kMissing:
    case platform::ReadStatus::kFailed:
      break;
  }
  return -2;
}

int32_t UploadOnly(DeviceSession& s, uint16_t command, std::span<const uint8_t> content,
                   std::span<const uint8_t> params, int32_t timeout_ms) {
  uint16_t code = command;
  DEVWIRE_SENDCMDDATA(s.engine, &code, content.data(), static_cast<int32_t>(content.size()),
                      params.data(), static_cast<int32_t>(params.size()), timeout_ms);
  return code == kAckOk ? 1 : -2;
}

void DisableForTransfer(DeviceSession& s) {
  uint8_t disable[4];
  wire::ByteWriter(disable).U32(kDisableForTransfer);
  SendCommand(s, kCmdDisable, disable, sizeof disable, s.cmd_timeout_ms);
}

void EnableAfterTransfer(DeviceSession& s) { SendCommand(s, kCmdEnable, {}, 0, s.cmd_timeout_ms); }

int32_t UploadBody(DeviceSession& s, uint16_t command, std::span<const uint8_t> content,
                   std::span<const uint8_t> params) {
  // A refused upload must not leave the terminal disabled.
  return WhileDisabled(s, [&] {
    return UploadOnly(s, command, content, params,
                      ScaleTimeout(s.cmd_timeout_ms, kUploadTimeoutFactor));
  });
}

Download ReadToMemory(DeviceSession& s, uint16_t command, std::span<const uint8_t> request,
                      size_t capacity, int32_t timeout_ms) {
  Download out;
  const size_t size = std::max(capacity, request.size());
  // Large and short-lived: sized, not zero-filled.
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(size);
  if (!request.empty()) std::memcpy(buffer.get(), request.data(), request.size());
  uint16_t code = command;
  const int32_t got = DEVWIRE_READDATA(s.engine, &code, buffer.get(), static_cast<int32_t>(size),
                                       static_cast<int32_t>(request.size()), s.block_size,
                                       timeout_ms);
  if (code != kAckOk || got < 0) return out;
  out.ok = true;
  const size_t n = std::min(static_cast<size_t>(got), size);
  out.bytes.assign(buffer.get(), buffer.get() + n);
  return out;
}

int32_t DownloadToFile(DeviceSession& s, uint16_t command, std::span<const uint8_t> request,
                       size_t capacity, int32_t timeout_ms, const std::string& path) {
  Download d;
  try {
    d = ReadToMemory(s, command, request, capacity, timeout_ms);
  } catch (const std::bad_alloc&) {
    return -4;
  }
  if (!d.ok) return -2;
  return platform::WriteFileAtomically(path, d.bytes) ? 1 : -2;
}

}  // namespace devapi::files
