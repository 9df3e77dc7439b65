#include "users/faces.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "devapi.h"
#include "session/session_io.h"
#include "users/refusal_results.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdReadFaces = 150;
constexpr uint16_t kCmdWriteFaces = 151;
constexpr uint16_t kCmdDeleteFaces = 152;
// Refusals of face reads and writes by firmware without room or support.
constexpr uint16_t kAckFaceReadRefused = 4981;
constexpr uint16_t kAckFaceWriteRefused1 = 4994;
constexpr uint16_t kAckFaceWriteRefused2 = 4995;

constexpr size_t kHeaderSize = 28;
constexpr size_t kVersionByte = 6;  // of the first record
constexpr uint8_t kVersion8Mark = 8;
constexpr int32_t kVersion8 = 8;
constexpr size_t kMaxUpload = 131072;
constexpr size_t kMaxHeaderLength = 0xFFFF;
constexpr int32_t kDeleteExtraMs = 4000;

// ID text (24 bytes, zero-padded), a zero byte, the face index, u16 length.
std::array<uint8_t, kHeaderSize> Header(std::string_view id_text, uint8_t index,
                                        uint16_t length) {
  std::array<uint8_t, kHeaderSize> header{};
  wire::ByteWriter w(header);
  std::array<uint8_t, kIdTextMax> text{};
  std::memcpy(text.data(), id_text.data(), std::min(id_text.size(), text.size()));
  w.Bytes(text);
  w.U8(0);
  w.U8(index);
  w.U16(length);
  return header;
}

}  // namespace

int32_t ReadFaces(DeviceSession& s, std::string_view id_text, uint8_t index,
                  std::span<uint8_t> out, int32_t* length) {
  if (s.face_version == 0) return -100;
  // The request goes out from the front of the reply area, which must hold
  // it even when the caller's buffer is smaller.
  std::vector<uint8_t> area(std::max(kHeaderSize, out.size()), 0);
  const auto header = Header(id_text, index, 0);
  std::copy(header.begin(), header.end(), area.begin());
  uint16_t code = kCmdReadFaces;
  const int32_t n =
      DEVWIRE_READDATA1(s.engine, &code, area.data(), static_cast<int32_t>(area.size()),
                        static_cast<int32_t>(kHeaderSize), s.block_size, s.data_timeout_ms);
  if (code == devapi::kAckError) return 0;
  if (code == kAckFaceReadRefused) return -103;
  if (code != devapi::kAckOk || n < 0) return -2;
  const size_t got = std::min(static_cast<size_t>(n), out.size());
  std::copy_n(area.begin(), got, out.begin());
  *length = static_cast<int32_t>(got);
  return 1;
}

int32_t WriteFaces(DeviceSession& s, std::string_view id_text, uint8_t index,
                   std::span<const uint8_t> records) {
  if (s.face_version == 0) return -100;
  const bool version8 = records[kVersionByte] == kVersion8Mark;
  if (version8 != (s.face_version == kVersion8)) return -102;
  if (records.size() > kMaxUpload || records.size() > kMaxHeaderLength) return -3;
  const auto header = Header(id_text, index, static_cast<uint16_t>(records.size()));
  uint16_t code = kCmdWriteFaces;
  const int32_t result = DEVWIRE_SENDCMDDATA(s.engine, &code, records.data(),
                                             static_cast<int32_t>(records.size()), header.data(),
                                             static_cast<int32_t>(header.size()),
                                             s.data_timeout_ms);
  if (code == kAckFaceWriteRefused1 || code == kAckFaceWriteRefused2) return -103;
  return ReasonedWriteResult(code, result);
}

int32_t DeleteFaces(DeviceSession& s, std::string_view id_text, uint8_t index) {
  if (s.face_version == 0) return -100;
  // The header with a zero length.
  const auto reply = devapi::SendCommand(s, kCmdDeleteFaces, Header(id_text, index, 0), 0,
                                         devapi::AddTimeout(s.cmd_timeout_ms, kDeleteExtraMs));
  return ReasonedDeleteResult(reply);
}

}  // namespace users

namespace {

// Byte 6 of the first record must be there to be looked at.
bool RecordsFit(const uint8_t* records, int32_t length) {
  return records != nullptr && length >= 16;
}

bool FaceIndex(int32_t index) { return index >= 0 && index <= 255; }

}  // namespace

extern "C" {

DEVAPI_API int32_t Q_GetUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index,
                                 uint8_t* buffer, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (s->face_version == 0) return -100;
    const auto text = users::CallerIdText(id_text);
    if (!text || buffer == nullptr || length == nullptr || *length <= 0 || !FaceIndex(index)) {
      return 4;
    }
    return users::ReadFaces(*s, *text, static_cast<uint8_t>(index),
                            std::span<uint8_t>(buffer, static_cast<size_t>(*length)), length);
  });
}

DEVAPI_API int32_t Q_SetUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index,
                                 const uint8_t* records, int32_t length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (s->face_version == 0) return -100;
    const auto text = users::CallerIdText(id_text);
    if (!text || !RecordsFit(records, length) || !FaceIndex(index)) return 4;
    return users::WriteFaces(*s, *text, static_cast<uint8_t>(index),
                             std::span<const uint8_t>(records, static_cast<size_t>(length)));
  });
}

DEVAPI_API int32_t Q_DelUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (s->face_version == 0) return -100;
    const auto text = users::CallerIdText(id_text);
    if (!text || !FaceIndex(index)) return 4;
    return users::DeleteFaces(*s, *text, static_cast<uint8_t>(index));
  });
}

}  // extern "C"
