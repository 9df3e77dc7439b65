// A user's validity period (commands 10020 and 10021), named by its ID
// text: two values the terminal keeps for the user and two moments.
#include <array>
#include <cstring>

#include "devapi.h"
#include "session/session_io.h"
#include "session/session_util.h"
#include "users/caller_fields.h"
#include "users/user_numbers.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetValidity = 10020;
constexpr uint16_t kCmdSetValidity = 10021;
constexpr size_t kRecordSize = 40;  // ID text 24, u32 values 1-2, u32 start, u32 end

struct Moment {
  int32_t year, month, day, hour, minute, second;
};

// A moment the packed time can hold without storing another date.
bool Packable(const Moment& m) {
  return m.year >= 2000 && m.year <= 2132 && m.month >= 1 && m.month <= 12 && m.day >= 1 &&
         m.day <= 31 && m.hour >= 0 && m.hour <= 23 && m.minute >= 0 && m.minute <= 59 &&
         m.second >= 0 && m.second <= 59;
}

uint32_t Pack(const Moment& m) {
  return devapi::PackTime(m.year, m.month, m.day, m.hour, m.minute, m.second);
}

void PutMoment(uint32_t packed, int32_t* const (&out)[6]) {
  const auto t = devapi::UnpackTime(packed);
  const int32_t values[6] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  for (size_t i = 0; i < 6; ++i) PutInt(out[i], values[i]);
}

std::array<uint8_t, kRecordSize> Request(std::string_view id_text) {
  std::array<uint8_t, kRecordSize> request{};
  std::memcpy(request.data(), id_text.data(), std::min(id_text.size(), kIdTextMax));
  return request;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_SetUserVD(DEVAPI_HANDLE handle, const char* id_text, int32_t value1,
                               int32_t value2, int32_t start_year, int32_t start_month,
                               int32_t start_day, int32_t start_hour, int32_t start_minute,
                               int32_t start_second, int32_t end_year, int32_t end_month,
                               int32_t end_day, int32_t end_hour, int32_t end_minute,
                               int32_t end_second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    const users::Moment start{start_year, start_month, start_day,
                              start_hour, start_minute, start_second};
    const users::Moment end{end_year, end_month, end_day, end_hour, end_minute, end_second};
    if (!text || !users::Packable(start) || !users::Packable(end)) return 4;
    auto request = users::Request(*text);
    wire::ByteWriter w(std::span<uint8_t>(request).subspan(users::kIdTextMax));
    w.I32(value1);
    w.I32(value2);
    w.U32(users::Pack(start));
    w.U32(users::Pack(end));
    return devapi::SendCommand(*s, users::kCmdSetValidity, request, users::kRecordSize,
                               s->cmd_timeout_ms)
                   .ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_GetUserVD(DEVAPI_HANDLE handle, const char* id_text, int32_t* value1,
                               int32_t* value2, int32_t* start_year, int32_t* start_month,
                               int32_t* start_day, int32_t* start_hour, int32_t* start_minute,
                               int32_t* start_second, int32_t* end_year, int32_t* end_month,
                               int32_t* end_day, int32_t* end_hour, int32_t* end_minute,
                               int32_t* end_second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto text = users::CallerIdText(id_text);
    if (!text) return 4;
    const auto reply = devapi::SendCommand(*s, users::kCmdGetValidity, users::Request(*text),
                                           users::kRecordSize, s->cmd_timeout_ms);
    if (!reply.HasAtLeast(users::kRecordSize)) return -2;
    wire::ByteReader r(std::span<const uint8_t>(reply.bytes).first(reply.length));
    r.Skip(users::kIdTextMax);
    users::PutInt(value1, r.I32());
    users::PutInt(value2, r.I32());
    users::PutMoment(r.U32(), {start_year, start_month, start_day, start_hour, start_minute,
                               start_second});
    users::PutMoment(r.U32(), {end_year, end_month, end_day, end_hour, end_minute, end_second});
    return 1;
  });
}

}  // extern "C"
