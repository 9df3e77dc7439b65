// Operation log downloads: the whole log or its new records, and a time
// range with its own record layout.
#include "logs/oplog_download.h"

#include <array>

#include "devapi.h"
#include "logs/log_time_range.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"
#include "users/user_cache.h"
#include "wire/le_bytes.h"

namespace devapi {

namespace {

constexpr uint16_t kCmdClearOpLog = 33;
constexpr uint16_t kCmdOpLogRead = 34;
constexpr uint16_t kCmdNewRecords = 120;
constexpr uint16_t kCmdOpLogRangeRead = 2012;
constexpr int32_t kClearExtraMs = 2000;

bool KeepsOpLog(const DeviceSession& s) { return !FirmwareBelow(s, "Ver 5.04"); }

// Drops every view before a download overwrites the buffer.
void PrepareBuffer(DeviceSession& s) {
  EnsureReadBuffer(s, kOpLogBufferSize);
  ResetViewsExcept(s, BufferView::kNone);
}

Download Refused(const BulkOutcome& out) {
  return out.code == kAckError && out.result == 0 ? Download::kNoRecords : Download::kFailed;
}

}  // namespace

Download ReadOpLog(DeviceSession& s, int32_t mode) {
  if (!KeepsOpLog(s)) return Download::kUnsupported;
  // The records name administrators by internal number; the user table
  // maps them to the numbers people see. A failed refresh only costs the
  // mapping.
  users::LoadUserCache(s);
  PrepareBuffer(s);
  BulkOutcome out;
  if (mode != 0 && !FirmwareBelow(s, "Ver 6.01")) {
    const uint8_t request[1] = {kNewOperationRecords};
    out = ReadIntoBuffer(s, kCmdNewRecords, request);
    if (out.code != kAckOk) return Refused(out);
    out.code = ConfirmNewRecords(s, kNewOperationRecords);
  } else {
    out = ReadIntoBuffer(s, kCmdOpLogRead, {});
  }
  if (out.code != kAckOk) return Refused(out);
  const ViewRange view = CountedView(s, out.result);
  ResetViewsExcept(s, BufferView::kOpLog);
  s.oplog_start = s.oplog_cursor = view.start;
  s.oplog_len = view.len;
  return Download::kLoaded;
}

}  // namespace devapi

using devapi::DeviceSession;
using devapi::Moment;

DEVAPI_API int32_t Q_ReadOpLog(DEVAPI_HANDLE handle, int32_t mode) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    return devapi::DownloadResult(devapi::ReadOpLog(*s, mode));
  });
}

DEVAPI_API int32_t Q_ReadOpLogEx(DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month,
                                 int32_t start_day, int32_t start_hour, int32_t start_minute,
                                 int32_t start_second, int32_t end_year, int32_t end_month,
                                 int32_t end_day, int32_t end_hour, int32_t end_minute,
                                 int32_t end_second, int32_t selector) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    if (!devapi::KeepsOpLog(*s)) return 0;
    devapi::PrepareBuffer(*s);
    const Moment from{start_year, start_month, start_day, start_hour, start_minute, start_second};
    const Moment to{end_year, end_month, end_day, end_hour, end_minute, end_second};
    std::array<uint8_t, 12> request{};
    wire::ByteWriter w(request);
    w.I32(selector);
    w.U32(devapi::PackMomentModulo100(from));
    w.U32(devapi::PackMomentModulo100(to));
    const devapi::BulkOutcome out = devapi::ReadIntoBuffer(*s, devapi::kCmdOpLogRangeRead, request);
    if (out.code != devapi::kAckOk) return devapi::DownloadResult(devapi::Refused(out));
    const devapi::ViewRange view = devapi::CountedView(*s, out.result);
    devapi::ResetViewsExcept(*s, devapi::BufferView::kOpLogEx);
    s->oplogex_start = s->oplogex_cursor = view.start;
    s->oplogex_len = view.len;
    return 1;
  });
}

DEVAPI_API int32_t Q_ClearOpLogData(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = devapi::BeginCall(handle);
    if (s == nullptr) return -1;
    const devapi::Reply r =
        devapi::SendCommand(*s, devapi::kCmdClearOpLog, {}, 0,
                            devapi::AddTimeout(s->cmd_timeout_ms, devapi::kClearExtraMs));
    return r.ok() ? 1 : -2;
  });
}
