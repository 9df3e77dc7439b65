// Firmware images and file updates from their text files.
#include <fstream>
#include <optional>
#include <string>

#include "devapi.h"
#include "files/file_transfer.h"
#include "files/firmware_file.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi::files {
namespace {

constexpr uint32_t kKindFirmware = 2;
constexpr uint32_t kFirmwareAddress = 0xA0000000;
constexpr uint32_t kKindUpdate = 13;
constexpr uint16_t kCmdUpdateHeader = 1709;
constexpr int32_t kUploadFactor = 4;

// Reads the file line by line into the parser; a missing file, or a line
// longer than the parser takes, refuses it.
std::optional<ParsedFirmware> ParseFirmwareFile(const char* path, FirmwareFileKind kind,
                                                const DeviceSession& s) {
  if (path == nullptr) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  FirmwareFileParser parser(kind, {s.firmware_version, s.has_os_option != 0});
  // Room for the longest line, a CR and one character more to see it is
  // too long.
  std::string line(kMaxFirmwareLine + 3, '\0');
  while (in.getline(line.data(), static_cast<std::streamsize>(line.size()))) {
    // gcount counts the line feed that getline took but did not store.
    const auto taken = static_cast<size_t>(in.gcount());
    const size_t length = in.eof() ? taken : taken - 1;
    if (!parser.Feed(std::string_view(line.data(), length))) {
      return parser.Finish();
    }
  }
  if (in.fail() && !in.eof()) return std::nullopt;  // a line too long to hold
  return parser.Finish();
}

}  // namespace
}  // namespace devapi::files

using namespace devapi;         // NOLINT: thin exported functions
using namespace devapi::files;  // NOLINT

extern "C" {

DEVAPI_API int32_t Q_UpdateFirmware(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    const auto parsed = ParseFirmwareFile(path, FirmwareFileKind::kFirmware, *s);
    if (!parsed) return 4;
    uint8_t params[8];
    wire::ByteWriter w(params);
    w.U32(kKindFirmware);
    w.U32(kFirmwareAddress);
    // Not disabled around it: the terminal restarts into the new image.
    return UploadOnly(*s, kCmdTakeUpload, parsed->image, params,
                      ScaleTimeout(s->cmd_timeout_ms, kUploadFactor));
  });
}

DEVAPI_API int32_t Q_UpdateFile(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    // Parsed whole before anything is sent.
    const auto parsed = ParseFirmwareFile(path, FirmwareFileKind::kUpdate, *s);
    if (!parsed) return 4;
    const std::span<const uint8_t> header(
        reinterpret_cast<const uint8_t*>(parsed->header.data()), parsed->header.size());
    const Reply r = SendCommand(*s, kCmdUpdateHeader, header, 0,
                                ScaleTimeout(s->cmd_timeout_ms, kUploadFactor));
    if (!r.ok()) return r.result == 1 ? -100 : r.result == 2 ? -4 : -2;
    uint8_t params[4];
    wire::ByteWriter(params).U32(kKindUpdate);
    return UploadOnly(*s, kCmdTakeUpload, parsed->image, params,
                      ScaleTimeout(s->cmd_timeout_ms, kUploadFactor));
  });
}

}  // extern "C"
