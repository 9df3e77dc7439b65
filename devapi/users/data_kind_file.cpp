// Q_GetData: one kind of the terminal's data (command 7) saved to a host
// file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "devapi.h"
#include "platform/tick.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdDataBase = 7;
constexpr size_t kCapacity = 70u * 1024 * 1024;
constexpr int32_t kReadTimeoutMs = 2000;
// The terminal needs a moment after the read before the next command.
constexpr uint32_t kSettleMs = 1000;
constexpr size_t kCountBytes = 4;

// Writes `bytes` beside the file and renames it into place, so that a
// failed write leaves the old file as it was. False on any failure.
bool ReplaceFile(const char* path, std::span<const uint8_t> bytes) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return false;
  const std::string temporary = std::string(path) + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetData(DEVAPI_HANDLE handle, int32_t kind, const char* file_name) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (file_name == nullptr || *file_name == '\0') return 4;
    std::vector<uint8_t> buffer;
    try {
      buffer.assign(users::kCapacity, 0);
    } catch (const std::bad_alloc&) {
      return -4;
    }
    wire::ByteWriter(buffer).I32(kind);
    uint16_t code = users::kCmdDataBase;
    // Only the kind's low byte travels.
    const int32_t received =
        DEVWIRE_READDATA(s->engine, &code, buffer.data(), static_cast<int32_t>(buffer.size()), 1,
                         s->block_size, users::kReadTimeoutMs);
    if (code == devapi::kAckOk) platform::SleepMs(users::kSettleMs);
    if (received <= 0) return 0;
    if (code != devapi::kAckOk) return -2;
    const size_t got = std::min(static_cast<size_t>(received), buffer.size());
    if (got < users::kCountBytes) return -2;
    const uint32_t count = wire::ByteReader(buffer).U32();
    const size_t n = std::min<size_t>(count, got - users::kCountBytes);
    const auto data = std::span<const uint8_t>(buffer).subspan(users::kCountBytes, n);
    return users::ReplaceFile(file_name, data) ? 1 : 4;
  });
}

}  // extern "C"
