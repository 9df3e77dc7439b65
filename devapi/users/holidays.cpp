// Holidays: the table of 24 date ranges (commands 300 and 301) and the
// holiday time zones by number (commands 91 and 92).
#include <algorithm>
#include <array>
#include <span>

#include "devapi.h"
#include "session/session_io.h"
#include "users/access_texts.h"
#include "users/caller_fields.h"
#include "wire/le_bytes.h"

using devapi::DeviceSession;

namespace users {
namespace {

constexpr uint16_t kCmdGetHolidays = 300;
constexpr uint16_t kCmdSetHolidays = 301;
constexpr uint16_t kCmdGetHolidayZone = 91;
constexpr uint16_t kCmdSetHolidayZone = 92;
constexpr uint32_t kHolidayTable = 103;  // the table's key in both requests
constexpr size_t kHolidaysReplySize = 210;
constexpr size_t kZoneRecord = 8;  // u16 number, four date bytes, u16 zone
constexpr int32_t kMaxNumber = 24;
constexpr int32_t kMaxRvmNumber = 99;
constexpr uint32_t kMaxMonth = 12;
constexpr uint32_t kMaxDay = 31;
constexpr uint32_t kMaxZone = 0xFFFF;

bool NumberInRange(const DeviceSession& s, int32_t number) {
  return number >= 1 && number <= (s.is_rvm_platform != 0 ? kMaxRvmNumber : kMaxNumber);
}

int32_t CountFilled(std::span<const uint8_t> entries) {
  int32_t filled = 0;
  for (size_t i = 0; i + 4 <= entries.size(); i += 4) {
    const auto e = entries.subspan(i, 4);
    if (std::any_of(e.begin(), e.end(), [](uint8_t b) { return b != 0; })) ++filled;
  }
  return filled;
}

std::array<uint8_t, kZoneRecord> NumberRequest(int32_t number) {
  std::array<uint8_t, kZoneRecord> request{};
  wire::ByteWriter(request).U16(static_cast<uint16_t>(number));
  return request;
}

}  // namespace
}  // namespace users

extern "C" {

DEVAPI_API int32_t Q_GetHoliday(DEVAPI_HANDLE handle, char* text, int32_t* length) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (text == nullptr || length == nullptr) return 4;
    std::array<uint8_t, 4> request{};
    wire::ByteWriter(request).U32(users::kHolidayTable);
    const auto reply = devapi::SendCommand(*s, users::kCmdGetHolidays, request,
                                           users::kHolidaysReplySize, s->cmd_timeout_ms);
    if (!reply.HasAtLeast(users::kHolidayBytes)) return -2;
    const auto entries = std::span<const uint8_t>(reply.bytes).first(users::kHolidayBytes);
    if (!users::FormatDigitPairs(entries, std::span<char>(text, users::kHolidayTextSize))) {
      return -2;
    }
    *length = 8 * users::CountFilled(entries);
    return 1;
  });
}

DEVAPI_API int32_t Q_SetHoliday(DEVAPI_HANDLE handle, const char* text) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto entries = users::ParseHolidayText(text);
    if (!entries) return 4;
    std::array<uint8_t, 4 + users::kHolidayBytes> request{};
    wire::ByteWriter w(request);
    w.U32(users::kHolidayTable);
    w.Bytes(*entries);
    return devapi::SendCommand(*s, users::kCmdSetHolidays, request, 0, s->cmd_timeout_ms).ok()
               ? 1
               : -2;
  });
}

DEVAPI_API int32_t Q_GetHolidayTZ(DEVAPI_HANDLE handle, int32_t number, int32_t* start_month,
                                  int32_t* start_day, int32_t* end_month, int32_t* end_day,
                                  int32_t* zone) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!users::NumberInRange(*s, number)) return 4;
    const auto reply =
        devapi::SendCommand(*s, users::kCmdGetHolidayZone, users::NumberRequest(number),
                            users::kZoneRecord, s->cmd_timeout_ms);
    if (reply.code == devapi::kAckError) return -100;
    if (!reply.HasAtLeast(users::kZoneRecord)) return -2;
    wire::ByteReader r(std::span<const uint8_t>(reply.bytes).first(users::kZoneRecord));
    r.U16();
    users::PutInt(start_month, r.U8());
    users::PutInt(start_day, r.U8());
    users::PutInt(end_month, r.U8());
    users::PutInt(end_day, r.U8());
    users::PutInt(zone, r.U16());
    return 1;
  });
}

DEVAPI_API int32_t Q_SetHolidayTZ(DEVAPI_HANDLE handle, int32_t number, int32_t start_month,
                                  int32_t start_day, int32_t end_month, int32_t end_day,
                                  int32_t zone) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    if (!users::NumberInRange(*s, number) || u(start_month) > users::kMaxMonth ||
        u(end_month) > users::kMaxMonth || u(start_day) > users::kMaxDay ||
        u(end_day) > users::kMaxDay || u(zone) > users::kMaxZone) {
      return 4;
    }
    auto request = users::NumberRequest(number);
    wire::ByteWriter w(request);
    w.U16(static_cast<uint16_t>(number));
    w.U8(static_cast<uint8_t>(start_month));
    w.U8(static_cast<uint8_t>(start_day));
    w.U8(static_cast<uint8_t>(end_month));
    w.U8(static_cast<uint8_t>(end_day));
    w.U16(static_cast<uint16_t>(zone));
    return devapi::SendCommand(*s, users::kCmdSetHolidayZone, request, 0, s->cmd_timeout_ms).ok()
               ? 1
               : -2;
  });
}

}  // extern "C"
