// Deleting attendance records on the terminal: all of them, a time range,
// or everything up to a moment.
#include <array>
#include <cstdint>

#include "devapi.h"
#include "logs/log_time_range.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi {

namespace {

constexpr uint16_t kCmdClearAttLog = 15;
constexpr uint16_t kCmdDeleteBetween = 10005;
constexpr uint16_t kCmdDeleteUpTo = 10006;
constexpr int32_t kClearExtraMs = 2000;
// Deleting in the terminal's storage takes long.
constexpr int32_t kDeleteExtraMs = 20000;
constexpr size_t kDeleteReplySize = 50;

}  // namespace

}  // namespace devapi

using devapi::DeviceSession;
using devapi::Moment;

DEVAPI_API int32_t Q_ClearLogData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const devapi::Reply r =
        devapi::SendCommand(*s, devapi::kCmdClearAttLog, {}, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, devapi::kClearExtraMs));
    return r.ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_DeleteAttlogBetweenTheDate(
    DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month, int32_t start_day,
    int32_t start_hour, int32_t start_minute, int32_t start_second, int32_t end_year,
    int32_t end_month, int32_t end_day, int32_t end_hour, int32_t end_minute, int32_t end_second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const Moment from{start_year, start_month, start_day, start_hour, start_minute, start_second};
    const Moment to{end_year, end_month, end_day, end_hour, end_minute, end_second};
    if (!devapi::MomentInRange(from) || !devapi::MomentInRange(to)) return -2;
    std::array<uint8_t, 8> request{};
    wire::ByteWriter w(request);
    w.U32(devapi::PackMoment(from));
    w.U32(devapi::PackMoment(to));
    const devapi::Reply r =
        devapi::SendCommand(*s, devapi::kCmdDeleteBetween, request, devapi::kDeleteReplySize,
                            devapi::AddTimeout(s->cmd_timeout_ms, devapi::kDeleteExtraMs));
    return r.ok() ? 1 : -2;
  });
}

DEVAPI_API int32_t Q_DeleteAttlogByTime(DEVAPI_HANDLE handle, int32_t year, int32_t month,
                                        int32_t day, int32_t hour, int32_t minute, int32_t second) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const Moment until{year, month, day, hour, minute, second};
    if (!devapi::MomentInRange(until)) return -2;
    std::array<uint8_t, 4> request{};
    wire::ByteWriter(request).U32(devapi::PackMoment(until));
    const devapi::Reply r =
        devapi::SendCommand(*s, devapi::kCmdDeleteUpTo, request, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, devapi::kDeleteExtraMs));
    return r.ok() ? 1 : -2;
  });
}
