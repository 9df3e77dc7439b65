// The sensor image, attendance photos, user photos, themes and pictures.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "devapi.h"
#include "files/capture_image.h"
#include "files/file_transfer.h"
#include "files/host_names.h"
#include "files/photo_list.h"
#include "platform/host_file.h"
#include "session/device_session.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "wire/le_bytes.h"

namespace devapi::files {
namespace {

constexpr uint16_t kCmdCaptureFinger = 1009;
constexpr uint16_t kCmdCaptureWhole = 1012;
constexpr uint32_t kFingerAreaWord = 500;
constexpr uint16_t kCmdPhotoCount = 2013;
constexpr uint16_t kCmdPhotoByName = 2014;
constexpr uint16_t kCmdClearPhotos = 2015;
constexpr uint16_t kCmdPhotoNames = 2016;
constexpr uint16_t kCmdUploadUserPhoto = 10009;
constexpr uint16_t kCmdDownloadUserPhoto = 10010;
constexpr uint16_t kCmdDeleteUserPhoto = 10011;
constexpr uint16_t kCmdCapturePicture = 10012;
constexpr uint16_t kCmdPictureList = 10013;
constexpr uint16_t kCmdUploadTheme = 10026;
constexpr uint16_t kCmdUploadPicture = 10027;
constexpr uint16_t kCmdDeletePicture = 10028;
constexpr uint16_t kCmdDownloadPicture = 10029;
constexpr size_t kPhotoCapacity = 184320;
constexpr size_t kUserPhotoCapacity = 51200;
constexpr size_t kPictureCapacity = 3u << 20;
constexpr size_t kPicListCapacity = 2u << 20;
constexpr int32_t kShortExtraMs = 3000;
constexpr int32_t kReadExtraMs = 2000;
constexpr int32_t kPictureExtraMs = 200000;

struct TimeFields {
  int32_t year, month, day, hour, minute, second;
  bool Valid() const {
    return year >= 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 &&
           hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
  }
  uint32_t Packed() const { return PackTime(2000 + year % 100, month, day, hour, minute, second); }
};

// The 12-byte time-range request; nullopt when a field is out of range (a
// wrapped time could name the wrong photos).
std::optional<std::vector<uint8_t>> RangeRequest(const TimeFields& from, const TimeFields& to,
                                                 int32_t selector) {
  if (!from.Valid() || !to.Valid()) return std::nullopt;
  std::vector<uint8_t> out(12);
  wire::ByteWriter w(out);
  w.I32(selector);
  w.U32(from.Packed());
  w.U32(to.Packed());
  return out;
}

// Copies a received text into the caller's buffer of `room` bytes,
// terminated; false when it does not fit with its terminator.
bool CopyReceivedText(std::span<const uint8_t> bytes, char* out, size_t room) {
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  const size_t n = static_cast<size_t>(end - bytes.begin());
  if (n >= room) return false;
  std::memcpy(out, bytes.data(), n);
  out[n] = '\0';
  return true;
}

// An upload of this Part: the file at `path` (at most 3 MiB) with the
// short-name parameter of `name_text`.
int32_t UploadShortNamed(void* handle, const char* path, const char* name_text,
                         uint16_t command) {
  if (path == nullptr) return 4;
  DeviceSession* s = SessionFromHandle(handle);
  if (s == nullptr) return -1;
  if (name_text == nullptr) return 4;
  const auto params = ShortNameParameter(name_text);
  if (!params) return 4;
  std::vector<uint8_t> content;
  const int32_t read = ReadUploadFile(path, kFixedUploadBuffer, &content);
  if (read != 0) return read;
  return UploadBody(*s, command, content, *params);
}

int32_t DownloadNamed(void* handle, const char* name, const char* directory, uint16_t command,
                      size_t capacity, int32_t extra_ms) {
  DeviceSession* s = SessionFromHandle(handle);
  if (s == nullptr || name == nullptr) return -1;
  if (directory == nullptr || !IsSingleComponent(name)) return 4;
  const std::string path = std::string(directory) + name;
  if (path.size() > kMaxDownloadPath) return 4;
  return DownloadToFile(*s, command, NameRequest(name), capacity,
                        AddTimeout(s->data_timeout_ms, extra_ms), path);
}

int32_t DeleteNamed(void* handle, const char* name, uint16_t command) {
  DeviceSession* s = SessionFromHandle(handle);
  if (s == nullptr) return -1;
  if (name == nullptr || std::strlen(name) > kMaxShortName) return 4;
  return SendCommand(*s, command, NameRequest(name), 0, AddTimeout(s->cmd_timeout_ms, kShortExtraMs))
                 .ok()
             ? 1
             : -2;
}

int32_t Capture(DeviceSession& s, int32_t whole, int32_t* width, int32_t* height,
                uint8_t* pixels, const char* bitmap_path) {
  std::vector<uint8_t> request(8);
  wire::ByteWriter w(request);
  if (whole == 0) w.U32(kFingerAreaWord);
  if (*width != 0) w.I32(*width);
  request.resize(w.size());
  const Download d = ReadToMemory(s, whole == 0 ? kCmdCaptureFinger : kCmdCaptureWhole, request,
                                  kCaptureReplyCapacity, ScaleTimeout(s.cmd_timeout_ms, 2));
  if (!d.ok) return -2;
  const auto image = DecodeCapture(d.bytes);
  if (!image) return -2;
  *width = image->width;
  *height = image->height;
  if (pixels != nullptr) std::memcpy(pixels, image->pixels.data(), image->pixels.size());
  if (bitmap_path != nullptr && !platform::WriteFileAtomically(bitmap_path, GreyBitmap(*image))) {
    return -2;
  }
  return 1;
}

}  // namespace
}  // namespace devapi::files

using namespace devapi;         // NOLINT: thin exported functions
using namespace devapi::files;  // NOLINT

extern "C" {

DEVAPI_API int32_t Q_CaptureImage(DEVAPI_HANDLE handle, int32_t whole_image, int32_t* width,
                                  int32_t* height, uint8_t* pixels, const char* bitmap_path) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (width == nullptr || height == nullptr) return 4;
    return Capture(*s, whole_image, width, height, pixels, bitmap_path);
  });
}

DEVAPI_API int32_t Q_GetPhotoCount(DEVAPI_HANDLE handle, int32_t selector, int32_t* count) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (count == nullptr) return 4;
    uint8_t data[4];
    wire::ByteWriter(data).I32(selector);
    const Reply r = SendCommand(*s, kCmdPhotoCount, data, 4, AddTimeout(s->cmd_timeout_ms, kShortExtraMs));
    if (!r.HasAtLeast(4)) return -2;
    *count = static_cast<int32_t>(r.Word(0));
    return 1;
  });
}

DEVAPI_API int32_t Q_GetPhotoNamesByTime(DEVAPI_HANDLE handle, int32_t sy, int32_t smo,
                                         int32_t sd, int32_t sh, int32_t smi, int32_t ss,
                                         int32_t ey, int32_t emo, int32_t ed, int32_t eh,
                                         int32_t emi, int32_t es, int32_t selector,
                                         char* names) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (names == nullptr) return 4;
    const auto request = RangeRequest({sy, smo, sd, sh, smi, ss}, {ey, emo, ed, eh, emi, es}, selector);
    if (!request) return 4;
    const Download d = ReadToMemory(*s, kCmdPhotoNames, *request, kPhotoCapacity,
                                    AddTimeout(s->data_timeout_ms, kReadExtraMs));
    if (!d.ok) return -2;
    return CopyReceivedText(d.bytes, names, kPhotoCapacity) ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_GetPhotoByName(DEVAPI_HANDLE handle, const char* name, uint8_t* data,
                                    int32_t* length) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (name == nullptr || data == nullptr || length == nullptr || *length < 0) return 4;
    if (std::strlen(name) > kMaxPacketName) return 4;
    const Download d = ReadToMemory(*s, kCmdPhotoByName, NameRequest(name), kPhotoCapacity,
                                    AddTimeout(s->data_timeout_ms, kReadExtraMs));
    if (!d.ok) return -2;
    const size_t room = static_cast<size_t>(*length);
    *length = static_cast<int32_t>(d.bytes.size());
    if (d.bytes.size() > room) return 4;  // the size it needs, nothing copied
    if (!d.bytes.empty()) std::memcpy(data, d.bytes.data(), d.bytes.size());
    return 1;
  });
}

DEVAPI_API int32_t Q_ClearPhotoByTime(DEVAPI_HANDLE handle, int32_t sy, int32_t smo, int32_t sd,
                                      int32_t sh, int32_t smi, int32_t ss, int32_t ey,
                                      int32_t emo, int32_t ed, int32_t eh, int32_t emi,
                                      int32_t es, int32_t selector) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    const auto request = RangeRequest({sy, smo, sd, sh, smi, ss}, {ey, emo, ed, eh, emi, es}, selector);
    if (!request) return 4;
    return SendCommand(*s, kCmdClearPhotos, *request, 0, AddTimeout(s->cmd_timeout_ms, kShortExtraMs))
                   .ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_UploadUserPhoto(DEVAPI_HANDLE handle, const char* path) {
  return Guarded([&] { return UploadShortNamed(handle, path, path, kCmdUploadUserPhoto); });
}

DEVAPI_API int32_t Q_DownloadUserPhoto(DEVAPI_HANDLE handle, const char* name,
                                       const char* directory) {
  return Guarded([&] {
    return DownloadNamed(handle, name, directory, kCmdDownloadUserPhoto, kUserPhotoCapacity,
                         kReadExtraMs);
  });
}

DEVAPI_API int32_t Q_DeleteUserPhoto(DEVAPI_HANDLE handle, const char* name) {
  return Guarded([&] { return DeleteNamed(handle, name, kCmdDeleteUserPhoto); });
}

DEVAPI_API int32_t Q_GetPicList(DEVAPI_HANDLE handle, int32_t number, char* text) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (text == nullptr) return 4;
    // In 64 bits: number + 10000 never wraps.
    const std::string key = [&] {
      char buf[24];
      std::snprintf(buf, sizeof buf, "%05lld", static_cast<long long>(number) + 10000);
      return std::string(buf);
    }();
    const Download d = ReadToMemory(*s, kCmdPictureList, NameRequest(key), kPicListCapacity,
                                    AddTimeout(s->data_timeout_ms, kReadExtraMs));
    if (!d.ok) return -2;
    return CopyReceivedText(d.bytes, text, kPicListCapacity) ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_GetCapturePicByList(DEVAPI_HANDLE handle, const char* directory,
                                         const char* list) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = SessionFromHandle(handle);
    if (s == nullptr) return -1;
    if (directory == nullptr || list == nullptr) return 4;
    for (const std::string& name : CaptureListNames(list)) {
      const Download d = ReadToMemory(*s, kCmdCapturePicture, NameRequest(name), kUserPhotoCapacity,
                                      AddTimeout(s->data_timeout_ms, kReadExtraMs));
      if (!d.ok) continue;  // a name the terminal refuses is skipped
      if (!platform::WriteFileAtomically(std::string(directory) + name + ".jpg", d.bytes)) {
        return -2;
      }
    }
    return 1;
  });
}

DEVAPI_API int32_t Q_UploadTheme(DEVAPI_HANDLE handle, const char* path, const char* name) {
  return Guarded([&] { return UploadShortNamed(handle, path, name, kCmdUploadTheme); });
}

DEVAPI_API int32_t Q_UploadPicture(DEVAPI_HANDLE handle, const char* path, const char* name) {
  return Guarded([&] { return UploadShortNamed(handle, path, name, kCmdUploadPicture); });
}

DEVAPI_API int32_t Q_DeletePicture(DEVAPI_HANDLE handle, const char* name) {
  return Guarded([&] { return DeleteNamed(handle, name, kCmdDeletePicture); });
}

DEVAPI_API int32_t Q_DownloadPicture(DEVAPI_HANDLE handle, const char* name,
                                     const char* directory) {
  return Guarded([&] {
    return DownloadNamed(handle, name, directory, kCmdDownloadPicture, kPictureCapacity,
                         kPictureExtraMs);
  });
}

}  // extern "C"
