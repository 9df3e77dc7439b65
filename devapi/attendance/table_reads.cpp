// Q_SSR_ReadAttRule, Q_SSR_ReadDPT, Q_SSR_ReadTurn: the attendance tables
// (rule, departments, time slots) read off a colour-screen terminal.
//
// The reply lands in the shared read_buf like every download, so every read
// drops all views in it. What a successful read brought is copied into the
// table's own storage in the session: reading the next table, or the log,
// leaves the tables read before intact.
#include <cstdint>
#include <vector>

#include "devapi.h"
#include "logs/log_download.h"
#include "logs/read_buffer.h"
#include "session/session_io.h"

namespace devapi {

namespace {

constexpr uint16_t kCmdReadRule = 35;
constexpr uint16_t kCmdReadDepartments = 36;
constexpr uint16_t kCmdReadTimeSlots = 37;
constexpr uint32_t kTableBufferSize = 0x600000;

int32_t ReadTable(DeviceSession& s, uint16_t command, std::vector<uint8_t>& table) {
  EnsureReadBuffer(s, kTableBufferSize);
  ResetViewsExcept(s, BufferView::kNone);
  const BulkOutcome out = ReadIntoBuffer(s, command, {});
  if (out.code != kAckOk) {
    table.clear();
    return out.code == kAckError && out.result == 0 ? 0 : -2;
  }
  // The byte count is the terminal's word; only what arrived is kept.
  const ViewRange view = CountedView(s, out.result);
  table.assign(s.read_buf.begin() + view.start, s.read_buf.begin() + view.start + view.len);
  return 1;
}

int32_t ReadTableCall(DEVAPI_HANDLE handle, uint16_t command,
                      std::vector<uint8_t> DeviceSession::*table) {
  return Guarded([&]() -> int32_t {
    DeviceSession* s = BeginCall(handle);
    if (s == nullptr) return -1;
    return ReadTable(*s, command, s->*table);
  });
}

}  // namespace

}  // namespace devapi

DEVAPI_API int32_t Q_SSR_ReadAttRule(DEVAPI_HANDLE handle) {
  return devapi::ReadTableCall(handle, devapi::kCmdReadRule, &devapi::DeviceSession::rule_data);
}

DEVAPI_API int32_t Q_SSR_ReadDPT(DEVAPI_HANDLE handle) {
  return devapi::ReadTableCall(handle, devapi::kCmdReadDepartments,
                               &devapi::DeviceSession::dept_data);
}

DEVAPI_API int32_t Q_SSR_ReadTurn(DEVAPI_HANDLE handle) {
  return devapi::ReadTableCall(handle, devapi::kCmdReadTimeSlots,
                               &devapi::DeviceSession::slot_data);
}
