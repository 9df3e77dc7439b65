#include "logs/log_download.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "session/session_io.h"

namespace devapi {

namespace {

constexpr uint16_t kCmdConfirmNewRecords = 121;
constexpr size_t kConfirmReplySize = 16;
// Reply codes of terminals that have no data of the asked kind.
constexpr uint16_t kAckNoData1 = 4989;
constexpr uint16_t kAckNoData2 = 4991;

}  // namespace

bool IsNothingToSend(uint16_t code) {
  return code == kAckError || code == kAckNoData1 || code == kAckNoData2;
}

BulkOutcome ReadIntoBuffer(DeviceSession& session, uint16_t command,
                           std::span<const uint8_t> request) {
  BulkOutcome out;
  out.code = command;
  const size_t size = std::min<size_t>(session.read_buf.size(), INT32_MAX);
  const size_t request_len = std::min(request.size(), size);
  if (request_len > 0) std::memcpy(session.read_buf.data(), request.data(), request_len);
  out.result = DEVWIRE_READDATA(session.engine, &out.code, session.read_buf.data(),
                                static_cast<int32_t>(size), static_cast<int32_t>(request_len),
                                session.block_size, session.data_timeout_ms);
  // A read cut short by a cancel failed; it did not find the log empty.
  if (out.code != kAckOk && session.cancel_requested != 0) out.result = -2;
  return out;
}

uint16_t ConfirmNewRecords(DeviceSession& session, uint8_t kind) {
  const uint8_t data[1] = {kind};
  return SendCommand(session, kCmdConfirmNewRecords, data, kConfirmReplySize,
                     session.cmd_timeout_ms)
      .code;
}

}  // namespace devapi
