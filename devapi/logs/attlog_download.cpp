// Attendance log downloads: the whole log, new records, the latest records,
// a time range, and the raw database read.
#include "logs/attlog_download.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "devapi.h"
#include "logs/log_time_range.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"
#include "wire/le_bytes.h"

namespace devapi {

namespace {

constexpr uint16_t kCmdDbRead = 7;
constexpr uint16_t kCmdAttLogRead = 13;
constexpr uint16_t kCmdNewRecords = 120;
constexpr uint16_t kCmdTimeRangeRead = 10004;
constexpr uint16_t kCmdNewAttLogRead = 10007;
constexpr uint8_t kDbKindAttendance = 1;
// Q_ReadData answers with one packet at most.
constexpr size_t kMaxReplyPayload = 65536;

void SetAttendanceView(DeviceSession& s, ViewRange view) {
  ResetViewsExcept(s, BufferView::kAttendance);
  s.attlog_start = s.attlog_cursor = view.start;
  s.attlog_len = view.len;
}

// Drops every view before a download overwrites the buffer: a failed
// download must not leave a view over half-written bytes.
void PrepareBuffer(DeviceSession& s, uint32_t capacity) {
  EnsureReadBuffer(s, capacity);
  ResetViewsExcept(s, BufferView::kNone);
}

// The database read: the attendance records without a count in front.
Download ReadAttLogFromDatabase(DeviceSession& s) {
  int32_t size = static_cast<int32_t>(std::min<size_t>(s.read_buf.size(), INT32_MAX));
  const int32_t n =
      DEVWIRE_READDB(s.engine, kDbKindAttendance, s.block_size, s.read_buf.data(), &size);
  if (n > 0) {
    SetAttendanceView(s, BareView(s, n));
    return Download::kLoaded;
  }
  return n == 0 ? Download::kNoRecords : Download::kFailed;
}

}  // namespace

Download ReadAttLog(DeviceSession& s, int32_t mode) {
  PrepareBuffer(s, kAttLogBufferSize);
  BulkOutcome out;
  if (mode != 0 && !FirmwareBelow(s, "Ver 6.01")) {
    std::array<uint8_t, 8> request{};
    wire::ByteWriter w(request);
    w.U8(kNewAttendanceRecords);
    w.Bytes(std::array<uint8_t, 3>{});
    w.U32(s.newlog_param);
    out = ReadIntoBuffer(s, kCmdNewRecords, std::span(request).first(mode == 2 ? 8 : 1));
    if (out.code == kAckOk) {
      // The terminal moves its new-record mark only when told the records
      // arrived; from here on its answer decides.
      out.code = ConfirmNewRecords(s, kNewAttendanceRecords);
    } else if (out.code == kAckError && out.result == 0) {
      return Download::kNoRecords;
    }
  } else {
    out = ReadIntoBuffer(s, kCmdAttLogRead, {});
  }
  if (out.code == kAckOk && out.result > 0) {
    SetAttendanceView(s, CountedView(s, out.result));
    return Download::kLoaded;
  }
  if (IsNothingToSend(out.code) && out.result == 0) return Download::kNoRecords;
  return ReadAttLogFromDatabase(s);
}

}  // namespace devapi

using devapi::BeginCall;
using devapi::DeviceSession;
using devapi::Moment;

DEVAPI_API int32_t Q_ReadLog(DEVAPI_HANDLE handle, int32_t mode) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return devapi::DownloadResult(devapi::ReadAttLog(*s, mode));
  });
}

DEVAPI_API int32_t Q_ReadLogEx(DEVAPI_HANDLE handle, int32_t mode, int32_t mark) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    s->newlog_param = static_cast<uint32_t>(mark);
    return devapi::DownloadResult(devapi::ReadAttLog(*s, mode));
  });
}

DEVAPI_API int32_t Q_ReadLastestLog(DEVAPI_HANDLE handle, int32_t flag, int32_t year, int32_t month,
                                    int32_t day, int32_t hour, int32_t minute, int32_t second,
                                    int32_t count) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    devapi::PrepareBuffer(*s, devapi::kAttLogBufferSize);
    std::array<uint8_t, 8> request{};
    wire::ByteWriter w(request);
    w.U32(devapi::PackMoment(Moment{year, month, day, hour, minute, second}));
    w.U32(static_cast<uint32_t>(std::max(count, 0)));
    const auto sent = flag != 0 ? std::span<const uint8_t>(request) : std::span<const uint8_t>();
    const devapi::BulkOutcome out = devapi::ReadIntoBuffer(*s, devapi::kCmdAttLogRead, sent);
    if (out.code == devapi::kAckOk && out.result > 0) {
      // The latest records come without a count in front.
      devapi::SetAttendanceView(
          *s, flag != 0 ? devapi::BareView(*s, out.result) : devapi::CountedView(*s, out.result));
      return 1;
    }
    return devapi::IsNothingToSend(out.code) && out.result == 0 ? 0 : -2;
  });
}

DEVAPI_API int32_t Q_ReadTimeLog(DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month,
                                 int32_t start_day, int32_t start_hour, int32_t start_minute,
                                 int32_t start_second, int32_t end_year, int32_t end_month,
                                 int32_t end_day, int32_t end_hour, int32_t end_minute,
                                 int32_t end_second) {
  return devapi::Guarded([&]() -> int32_t {
    const Moment from{start_year, start_month, start_day, start_hour, start_minute, start_second};
    const Moment to{end_year, end_month, end_day, end_hour, end_minute, end_second};
    // The dates are checked before the handle.
    if (!devapi::MomentInRange(from) || !devapi::MomentInRange(to)) return -2;
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    devapi::PrepareBuffer(*s, devapi::kRangeBufferSize);
    std::array<uint8_t, 8> request{};
    wire::ByteWriter w(request);
    w.U32(devapi::PackMoment(from));
    w.U32(devapi::PackMoment(to));
    const devapi::BulkOutcome out = devapi::ReadIntoBuffer(*s, devapi::kCmdTimeRangeRead, request);
    if (out.code != devapi::kAckOk || out.result <= 0) return 0;
    devapi::SetAttendanceView(*s, devapi::CountedView(*s, out.result));
    return 1;
  });
}

DEVAPI_API int32_t Q_ReadNewAttLog(DEVAPI_HANDLE handle) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    devapi::PrepareBuffer(*s, devapi::kRangeBufferSize);
    const std::array<uint8_t, 8> request{};
    const devapi::BulkOutcome out = devapi::ReadIntoBuffer(*s, devapi::kCmdNewAttLogRead, request);
    if (out.code == devapi::kAckOk && out.result > 0) {
      devapi::SetAttendanceView(*s, devapi::CountedView(*s, out.result));
      return 1;
    }
    // The transfer's own result; a refusal that still counted bytes is a
    // failure, not a success.
    return out.result > 0 ? -2 : out.result;
  });
}

DEVAPI_API int32_t Q_ReadData(DEVAPI_HANDLE handle, void* buffer, int32_t size) {
  return devapi::Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    if (buffer == nullptr || size < 1) return 4;
    auto* bytes = static_cast<uint8_t*>(buffer);
    const uint8_t request[1] = {bytes[0]};
    const size_t reply_size = std::min<size_t>(static_cast<size_t>(size), devapi::kMaxReplyPayload);
    const devapi::Reply r =
        devapi::SendCommand(*s, devapi::kCmdDbRead, request, reply_size, s->cmd_timeout_ms);
    if (!r.ok()) return -2;
    std::memcpy(bytes, r.bytes.data(), std::min(reply_size, r.bytes.size()));
    return 1;
  });
}
