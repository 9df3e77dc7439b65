#include "commands/log_commands.h"

#include <algorithm>

#include "store/attendance_log.h"
#include "store/oplog.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kDbRead = 7;
constexpr uint16_t kAttLogRead = 13;
constexpr uint16_t kClearAttLog = 15;
constexpr uint16_t kClearOpLog = 33;
constexpr uint16_t kOpLogRead = 34;
constexpr uint16_t kNewRecords = 120;
constexpr uint16_t kConfirmNewRecords = 121;
constexpr uint16_t kOpLogRangeRead = 2012;
constexpr uint16_t kAttLogRangeRead = 10004;
constexpr uint16_t kDeleteBetween = 10005;
constexpr uint16_t kDeleteUpTo = 10006;
constexpr uint16_t kNewAttLogRead = 10007;

// Data kinds of the data base read and the new-record commands.
constexpr uint8_t kKindAttendance = 1;
constexpr uint8_t kKindOperations = 4;

std::vector<uint8_t> Counted(std::vector<uint8_t> body) {
  std::vector<uint8_t> out(4 + body.size());
  wire::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(body.size()));
  w.Bytes(body);
  return out;
}

bool AllZero(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

struct TimeRange {
  uint32_t from = 0;
  uint32_t to = 0;
  bool Holds(uint32_t t) const { return t >= from && t <= to; }
};

TimeRange ReadRange(wire::ByteReader& r) {
  TimeRange range;
  range.from = r.U32();
  range.to = r.U32();
  return range;
}

void SetCode(Reply& reply, uint16_t code) {
  reply.code = code;
  reply.payload.clear();
}

}  // namespace

void LogTerminal::SetAttendance(std::vector<AttendanceRecord> records) {
  std::lock_guard lock(mu_);
  attendance_in_use_ = true;
  attendance_.Replace(std::move(records));
}

void LogTerminal::AppendAttendance(std::vector<AttendanceRecord> records) {
  std::lock_guard lock(mu_);
  attendance_in_use_ = true;
  attendance_.Append(std::move(records));
}

std::vector<AttendanceRecord> LogTerminal::Attendance() const {
  std::lock_guard lock(mu_);
  return attendance_.Records();
}

void LogTerminal::SetAttendanceLayout(AttLogLayout layout) {
  std::lock_guard lock(mu_);
  att_layout_ = layout;
}

void LogTerminal::SetOperations(std::vector<OpLogRecord> records) {
  std::lock_guard lock(mu_);
  operations_in_use_ = true;
  operations_.Replace(std::move(records));
}

void LogTerminal::AppendOperations(std::vector<OpLogRecord> records) {
  std::lock_guard lock(mu_);
  operations_in_use_ = true;
  operations_.Append(std::move(records));
}

std::vector<OpLogRecord> LogTerminal::Operations() const {
  std::lock_guard lock(mu_);
  return operations_.Records();
}

void LogTerminal::SetOpLogLayout(OpLogLayout layout) {
  std::lock_guard lock(mu_);
  op_layout_ = layout;
}

bool LogTerminal::Answer(const wire::PacketView& request, const Context& context, Reply& reply) {
  std::lock_guard lock(mu_);
  uint16_t command = request.header.code;
  std::span<const uint8_t> data = request.payload;
  const bool query = command == wire::CMD_QUERY_DATA;
  if (query) {
    // A buffered read names the command and carries 8 bytes of its request.
    wire::ByteReader r(request.payload);
    r.U8();
    command = r.U16();
    data = r.View(8);
    if (!r.ok()) return false;
  } else if (Change(command, data, reply)) {
    return true;
  }
  const auto set = Download(command, data, context.options);
  if (!set) return false;
  if (query && context.unsupported(command, reply)) return true;
  if (set->bytes.empty()) {
    SetCode(reply, wire::CMD_ACK_ERROR);  // no records
    return true;
  }
  context.bulk.SetDataSet(set->command, set->prefix, set->bytes);
  return false;
}

std::optional<LogTerminal::DataSet> LogTerminal::Download(uint16_t command,
                                                          std::span<const uint8_t> request,
                                                          const OptionStore& options) {
  wire::ByteReader r(request);
  const bool att = attendance_in_use_;
  const bool ops = operations_in_use_;
  switch (command) {
    case kAttLogRead: {
      if (!att) return std::nullopt;
      if (request.size() < 8 || AllZero(request.first(8))) {
        return DataSet{command, {}, AttendanceBytes(attendance_.Records(), options, true)};
      }
      // The latest records from a moment on, without a count in front.
      const uint32_t from = r.U32();
      const uint32_t count = r.U32();
      auto records = attendance_.Select([&](const AttendanceRecord& a) { return a.time >= from; });
      if (count != 0 && records.size() > count) {
        records.erase(records.begin(), records.end() - count);
      }
      return DataSet{command, {}, AttendanceBytes(records, options, false)};
    }
    case kDbRead:
      if (!att || request.empty() || request[0] != kKindAttendance) return std::nullopt;
      return DataSet{
          command, {kKindAttendance}, AttendanceBytes(attendance_.Records(), options, false)};
    case kNewRecords: {
      const uint8_t kind = r.U8();
      r.Skip(3);
      const uint32_t after = r.U32();  // 0 when the request is shorter
      if (kind == kKindAttendance && att) {
        return DataSet{command, {}, AttendanceBytes(attendance_.TakeNew(after), options, true)};
      }
      if (kind == kKindOperations && ops) {
        return DataSet{command, {}, OperationBytes(operations_.TakeNew(after), options)};
      }
      return std::nullopt;
    }
    case kNewAttLogRead: {
      if (!att) return std::nullopt;
      // No confirmation follows this one: the records count as taken.
      auto records = attendance_.TakeNew(0);
      attendance_.Confirm();
      return DataSet{command, {}, AttendanceBytes(records, options, true)};
    }
    case kAttLogRangeRead: {
      if (!att) return std::nullopt;
      const TimeRange range = ReadRange(r);
      const auto records =
          attendance_.Select([&](const AttendanceRecord& a) { return range.Holds(a.time); });
      return DataSet{command, {}, AttendanceBytes(records, options, true)};
    }
    case kOpLogRead:
      if (!ops) return std::nullopt;
      return DataSet{command, {}, OperationBytes(operations_.Records(), options)};
    case kOpLogRangeRead: {
      if (!ops) return std::nullopt;
      const uint32_t selector = r.U32();
      const TimeRange range = ReadRange(r);
      const auto records = operations_.Select([&](const OpLogRecord& o) {
        return range.Holds(o.time) && (selector == 0 || o.operation == selector);
      });
      if (records.empty()) return DataSet{command, {}, {}};
      return DataSet{command, {}, Counted(EncodeOpLogRange(records))};
    }
    default:
      return std::nullopt;
  }
}

bool LogTerminal::Change(uint16_t command, std::span<const uint8_t> request, Reply& reply) {
  wire::ByteReader r(request);
  switch (command) {
    case kConfirmNewRecords: {
      const uint8_t kind = r.U8();
      if (kind == kKindAttendance && attendance_in_use_) {
        attendance_.Confirm();
      } else if (kind == kKindOperations && operations_in_use_) {
        operations_.Confirm();
      } else {
        return false;
      }
      break;
    }
    case kClearAttLog:
      if (!attendance_in_use_) return false;
      attendance_.Clear();
      break;
    case kClearOpLog:
      if (!operations_in_use_) return false;
      operations_.Clear();
      break;
    case kDeleteBetween: {
      if (!attendance_in_use_) return false;
      const TimeRange range = ReadRange(r);
      if (!r.ok()) {
        SetCode(reply, wire::CMD_ACK_ERROR);
        return true;
      }
      attendance_.EraseIf([&](const AttendanceRecord& a) { return range.Holds(a.time); });
      break;
    }
    case kDeleteUpTo: {
      if (!attendance_in_use_) return false;
      const uint32_t until = r.U32();
      if (!r.ok()) {
        SetCode(reply, wire::CMD_ACK_ERROR);
        return true;
      }
      attendance_.EraseIf([&](const AttendanceRecord& a) { return a.time <= until; });
      break;
    }
    default:
      return false;
  }
  SetCode(reply, wire::CMD_ACK_OK);
  return true;
}

std::vector<uint8_t> LogTerminal::AttendanceBytes(std::span<const AttendanceRecord> records,
                                                  const OptionStore& options, bool counted) const {
  if (records.empty()) return {};
  auto body = EncodeAttendance(records, ResolveAttLayout(att_layout_, options));
  return counted ? Counted(std::move(body)) : body;
}

std::vector<uint8_t> LogTerminal::OperationBytes(std::span<const OpLogRecord> records,
                                                 const OptionStore& options) const {
  if (records.empty()) return {};
  return Counted(EncodeOpLog(records, ResolveOpLayout(op_layout_, options)));
}

}  // namespace termsim
