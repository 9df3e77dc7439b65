// The upload body and the download-to-file shared by the file, photo and
// picture functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "session/device_session.h"

namespace devapi::files {

// Fixed upload buffer of the logo, "mtd", photo, theme and picture uploads.
inline constexpr size_t kFixedUploadBuffer = 3u << 20;
// The most the engine moves in one upload (its lengths are 32-bit).
inline constexpr size_t kEngineUploadLimit = INT32_MAX;
inline constexpr uint16_t kCmdTakeUpload = 110;

// `timeout_ms` x `factor`, saturating at the 32-bit range.
int32_t ScaleTimeout(int32_t timeout_ms, int32_t factor);

// Reads the file to upload: 0 and the bytes; 4 for a null path or a file
// over `limit`; -2 when it is missing or reads short.
int32_t ReadUploadFile(const char* path, size_t limit, std::vector<uint8_t>* content);

// Disables the terminal (1003 with 3), uploads `content` for `command` with
// `params` as its data (time-out 4 x cmd_timeout_ms), and enables it again
// whatever happened. 1 when the terminal took the data, else -2.
int32_t UploadBody(DeviceSession& s, uint16_t command, std::span<const uint8_t> content,
                   std::span<const uint8_t> params);

// Runs `body` with the terminal disabled (1003 with 3) and enables it again
// (1002) whatever the body's outcome.
void DisableForTransfer(DeviceSession& s);
void EnableAfterTransfer(DeviceSession& s);
template <typename F>
int32_t WhileDisabled(DeviceSession& s, F&& body) {
  DisableForTransfer(s);
  const int32_t result = body();
  EnableAfterTransfer(s);
  return result;
}

// The upload alone, without the disabling around it.
int32_t UploadOnly(DeviceSession& s, uint16_t command, std::span<const uint8_t> content,
                   std::span<const uint8_t> params, int32_t timeout_ms);

// A bulk read of `command` with `request` as its parameter into a buffer
// of `capacity` bytes (never zero-filled). Empty `bytes` and ok false when
// the terminal did not answer CMD_ACK_OK.
struct Download {
  bool ok = false;
  std::vector<uint8_t> bytes;  // what arrived
};
Download ReadToMemory(DeviceSession& s, uint16_t command, std::span<const uint8_t> request,
                      size_t capacity, int32_t timeout_ms);

// A bulk read written whole to `path` (the earlier file survives any
// failure): 1; -2 refused, failed or not written; -4 no buffer.
int32_t DownloadToFile(DeviceSession& s, uint16_t command, std::span<const uint8_t> request,
                       size_t capacity, int32_t timeout_ms, const std::string& path);

}  // namespace devapi::files
