// The terminal's memory image backed up into one compressed host file and
// restored from it (squeeze_library.h).
#include <cstring>
#include <memory>
#include <new>

#include "devapi.h"
#include "files/file_transfer.h"
#include "files/squeeze_library.h"
#include "platform/tick.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi::files {
namespace {

constexpr uint16_t kCmdBlockMap = 51;
constexpr uint16_t kCmdDatabase = 7;
constexpr uint16_t kCmdMemoryBlock = 111;
constexpr uint16_t kCmdDisable = 1003;
constexpr uint16_t kCmdEnable = 1002;
constexpr uint16_t kCmdClearData = 14;
constexpr uint16_t kCmdRefresh = 1013;
constexpr uint8_t kTypeDatabase = 4;
constexpr uint8_t kLastBlockType = 9;
constexpr size_t kBlockSize = 0x10000;
constexpr uint32_t kFirstAddress = 0xFF880000;
// Work buffer of one block read.
constexpr size_t kBlockBuffer = 65556;
// The database block sits behind the four bytes 4, 0, 0, 0.
constexpr size_t kDatabaseRoom = kBlockSize - 4;
constexpr size_t kReplyArea = 1024;
constexpr int32_t kMapTimeoutMs = 2000;
constexpr int32_t kBlockTimeoutMs = 2000;
constexpr uint32_t kBlockPauseMs = 200;
constexpr int32_t kRestoreStepMs = 1000;
constexpr int32_t kRestoreDataPacing = 2500;
constexpr int32_t kRestoreTakeMs = 20000;
constexpr uint32_t kKindRestore = 7;
constexpr uint32_t kRestoreAddress = 0x80000;
constexpr int32_t kRestoreBuffer = 73400320;

bool IsBackedUp(uint8_t type) { return type <= kLastBlockType; }

// Fills one 64 KiB slot of the image from block `index` of type `type`.
// False when the terminal refused it or sent a block of the wrong size.
bool ReadBlock(DeviceSession& s, uint8_t type, uint32_t index, std::span<uint8_t> slot) {
  if (type == kTypeDatabase) {
    const uint8_t request[1] = {kTypeDatabase};
    const Download d = ReadToMemory(s, kCmdDatabase, request, kBlockBuffer, kBlockTimeoutMs);
    if (!d.ok || d.bytes.size() > kDatabaseRoom) return false;
    std::memset(slot.data(), 0xFF, slot.size());
    wire::ByteWriter w(slot);
    w.U32(kTypeDatabase);
    w.Bytes(d.bytes);
    return true;
  }
  uint8_t request[8];
  wire::ByteWriter w(request);
  w.U32(kFirstAddress + index * static_cast<uint32_t>(kBlockSize));
  w.U32(static_cast<uint32_t>(kBlockSize));
  const Download d = ReadToMemory(s, kCmdMemoryBlock, request, kBlockBuffer, kBlockTimeoutMs);
  if (!d.ok || d.bytes.size() != kBlockSize) return false;
  std::memcpy(slot.data(), d.bytes.data(), kBlockSize);
  return true;
}

int32_t Backup(DeviceSession& s, const char* path) {
  SqueezeLibrary squeeze;
  if (squeeze.compress() == nullptr) return -100;
  const Reply map = SendCommand(s, kCmdBlockMap, {}, kReplyArea, kMapTimeoutMs);
  if (!map.HasAtLeast(2)) return -2;
  const int count = static_cast<int8_t>(map.bytes[1]);
  if (count > 0 && static_cast<size_t>(count) > map.length - 2) return -2;  // more than came
  const std::span<const uint8_t> types(map.bytes.data() + 2, count > 0 ? count : 0);
  size_t slots = 0;
  for (uint8_t t : types) slots += IsBackedUp(t) ? 1 : 0;
  if (slots == 0) return 0;
  std::unique_ptr<uint8_t[]> image;
  try {
    image = std::make_unique_for_overwrite<uint8_t[]>(slots * kBlockSize);
  } catch (const std::bad_alloc&) {
    return -100;
  }
  size_t filled = 0;
  for (uint32_t i = 0; i < types.size(); ++i) {
    if (!IsBackedUp(types[i])) continue;
    if (!ReadBlock(s, types[i], i, std::span(image.get() + filled, kBlockSize))) return -2;
    filled += kBlockSize;
    platform::SleepMs(kBlockPauseMs);
  }
  const int32_t length = static_cast<int32_t>(filled);
  return squeeze.compress()(image.get(), path, &length) != 0 ? 1 : 4;
}

int32_t Restore(DeviceSession& s, const char* path) {
  SqueezeLibrary squeeze;
  if (squeeze.expand() == nullptr) return -100;
  std::unique_ptr<uint8_t[]> image;
  try {
    image = std::make_unique_for_overwrite<uint8_t[]>(kRestoreBuffer);
  } catch (const std::bad_alloc&) {
    return -100;
  }
  int32_t capacity = kRestoreBuffer;
  const int32_t length = squeeze.expand()(path, image.get(), &capacity);
  // Checked before the terminal is touched: a wipe follows.
  if (length <= 0 || length > kRestoreBuffer || length % static_cast<int32_t>(kBlockSize) != 0) {
    return 4;
  }
  SendCommand(s, kCmdDisable, {}, 0, kRestoreStepMs);
  // From here on a failure must not leave the terminal disabled.
  const auto fail = [&](int32_t result) {
    SendCommand(s, kCmdEnable, {}, 0, s.cmd_timeout_ms);
    return result;
  };
  if (!SendCommand(s, kCmdClearData, {}, 0, kRestoreStepMs).ok()) return fail(0);
  if (DEVWIRE_SENDDATA(s.engine, image.get(), length, kRestoreDataPacing) != 1) return fail(-2);
  uint8_t params[8];
  wire::ByteWriter w(params);
  w.U32(kKindRestore);
  w.U32(kRestoreAddress);
  if (!SendCommand(s, kCmdTakeUpload, params, kReplyArea, kRestoreTakeMs).ok()) return fail(-2);
  SendCommand(s, kCmdRefresh, {}, 0, kRestoreStepMs);
  return 1;
}

}  // namespace
}  // namespace devapi::files

using namespace devapi;  // NOLINT: thin exported functions

extern "C" {

DEVAPI_API int32_t Q_BackupData(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (path == nullptr) return 4;
    return files::Backup(*s, path);
  });
}

DEVAPI_API int32_t Q_RestoreData(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (path == nullptr) return 4;
    return files::Restore(*s, path);
  });
}

}  // extern "C"
