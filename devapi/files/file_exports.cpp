// Files in both directions: named files, logos, "mtd" images, language
// texts and files read back from the terminal.
#include <cstring>
#include <string>
#include <string_view>

#include "devapi.h"
#include "files/file_transfer.h"
#include "files/host_names.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi::files {
namespace {

constexpr uint32_t kKindNamedFile = 1700;
constexpr uint32_t kKindLogo = 7;
constexpr uint32_t kKindMtd = 2;
constexpr uint16_t kCmdLanguageText = 1701;
constexpr uint16_t kCmdReadFile = 1702;
constexpr size_t kLanguageField = 256;
constexpr size_t kLanguageRequest = 4 + kLanguageField;
// The receive buffer of a file read (70 MiB).
constexpr size_t kReadFileBuffer = 73400320;
constexpr int32_t kReadFileExtraMs = 2000;

// Uploads the file at `path` with a named-file parameter of `kind`.
// `fixed_buffer`: the file must fit the fixed 3 MiB buffer.
int32_t SendNamed(void* handle, const char* path, uint32_t kind, bool fixed_buffer,
                  bool clear_cancel) {
  if (path == nullptr) return 4;
  DeviceSession* s = clear_cancel ? BeginCall(handle) : SessionFromHandle(handle);
  if (s == nullptr) return -1;
  const auto params = NamedFileParameter(kind, path);
  if (!params) return 4;
  std::vector<uint8_t> content;
  const int32_t read =
      ReadUploadFile(path, fixed_buffer ? kFixedUploadBuffer : kEngineUploadLimit, &content);
  if (read != 0) return read;
  return UploadBody(*s, kCmdTakeUpload, content, *params);
}

}  // namespace
}  // namespace devapi::files

using namespace devapi;         // NOLINT: thin exported functions
using namespace devapi::files;  // NOLINT

extern "C" {

DEVAPI_API int32_t Q_SendFile(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&] { return SendNamed(handle, path, kKindNamedFile, false, true); });
}

DEVAPI_API int32_t Q_SendFileByType(DEVAPI_HANDLE handle, const char* path, int32_t kind) {
  return Guarded(
      [&] { return SendNamed(handle, path, static_cast<uint32_t>(kind), false, true); });
}

DEVAPI_API int32_t Q_SendLogoFile(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&] { return SendNamed(handle, path, kKindLogo, true, true); });
}

DEVAPI_API int32_t Q_SendFile_mtd(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&] { return SendNamed(handle, path, kKindMtd, true, true); });
}

DEVAPI_API int32_t Q_UpdateLanguageByID(DEVAPI_HANDLE handle, int32_t language,
                                        const char* text) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (language < 0 || text == nullptr) return 4;
    const std::string_view value(text);
    if (value.size() > kLanguageField) return 4;  // never cut
    std::vector<uint8_t> request(kLanguageRequest, 0);
    wire::ByteWriter w(request);
    w.I32(language);
    w.Bytes(std::span(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
    return WhileDisabled(*s, [&] {
      return SendCommand(*s, kCmdLanguageText, request, kLanguageRequest, s->cmd_timeout_ms).ok()
                 ? 1
                 : -2;
    });
  });
}

DEVAPI_API int32_t Q_ReadFile(DEVAPI_HANDLE handle, const char* name, const char* directory) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (name == nullptr || directory == nullptr) return 4;
    const std::string_view file(name);
    if (file.size() > kMaxPacketName || !IsSingleComponent(file)) return 4;
    const std::string path = std::string(directory) + name;
    return DownloadToFile(*s, kCmdReadFile, NameRequest(file), kReadFileBuffer,
                          AddTimeout(s->data_timeout_ms, kReadFileExtraMs), path);
  });
}

}  // extern "C"
