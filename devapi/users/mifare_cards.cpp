// Mifare card contents: writing a user's card (an upload, then command 76)
// and emptying the card in the reader (command 78).
#include <vector>

#include "devapi.h"
#include "session/session_io.h"
#include "users/refusal_results.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdWriteCard = 76;
constexpr uint16_t kCmdEmptyCard = 78;
constexpr size_t kCardHeader = 12;
constexpr size_t kCardData = 4096;
// The header holds four u16 section lengths at these offsets.
constexpr size_t kSectionOffsets[4] = {0, 3, 6, 9};
constexpr int32_t kUploadPacing = 2500;
constexpr int32_t kWriteTimeoutMs = 1000;
constexpr int32_t kNarrowWidth = 5;

size_t SectionBytes(const uint8_t* header) {
  size_t total = 0;
  for (size_t at : kSectionOffsets) {
    total += static_cast<size_t>(header[at] | (header[at + 1] << 8));
  }
  return total;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_MFWrite(DEVAPI_HANDLE handle, int32_t number, const uint8_t* header,
                             const uint8_t* data) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (header == nullptr || data == nullptr) return 4;
    const size_t sections = users::SectionBytes(header);
    // The sections come from the caller's 4096-byte data area.
    if (sections > users::kCardData) return 4;
    const bool narrow = s->pin_width <= users::kNarrowWidth;
    if (narrow && (number < 0 || number > 0xFFFF)) return 4;
    std::vector<uint8_t> request((narrow ? 2 : 4) + users::kCardHeader + sections, 0);
    wire::ByteWriter w(request);
    if (narrow) {
      w.U16(static_cast<uint16_t>(number));
    } else {
      w.I32(number);
    }
    w.Bytes(std::span<const uint8_t>(header, users::kCardHeader));
    w.Bytes(std::span<const uint8_t>(data, sections));
    if (DEVWIRE_SENDDATA(s->engine, request.data(), static_cast<int32_t>(request.size()),
                         users::kUploadPacing) <= 0) {
      return -2;
    }
    const auto reply = devapi::SendCommand(*s, users::kCmdWriteCard, {}, 0, users::kWriteTimeoutMs);
    return users::ReasonedWriteResult(reply.code, reply.result);
  });
}

DEVAPI_API int32_t Q_MFEmpty(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto reply = devapi::SendCommand(*s, users::kCmdEmptyCard, {}, 0, s->cmd_timeout_ms);
    return users::ReasonedWriteResult(reply.code, reply.result);
  });
}

}  // extern "C"
