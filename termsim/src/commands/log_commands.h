// The terminal's side of the attendance and operation logs: downloads
// (handed to the bulk side as data sets made for each request), new-record
// marks, deletions. Thread-safe: the model calls it from the receive loop
// while tests change the logs.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "bulk/terminal.h"
#include "store/log_store.h"
#include "store/option_store.h"
#include "commands/reply.h"
#include "termsim/logs.h"
#include "wire/packet.h"

namespace termsim {

class LogTerminal {
 public:
  // The logs are in use from the first Set on; until then the log commands
  // are left to the plain bulk data sets.
  void SetAttendance(std::vector<AttendanceRecord> records);
  void AppendAttendance(std::vector<AttendanceRecord> records);
  std::vector<AttendanceRecord> Attendance() const;
  void SetAttendanceLayout(AttLogLayout layout);
  void SetOperations(std::vector<OpLogRecord> records);
  void AppendOperations(std::vector<OpLogRecord> records);
  std::vector<OpLogRecord> Operations() const;
  void SetOpLogLayout(OpLogLayout layout);

  // What the terminal around the logs offers them.
  struct Context {
    const OptionStore& options;
    BulkTerminal& bulk;
    // True (with the answer in the reply) when the firmware lacks or
    // refuses a command.
    std::function<bool(uint16_t, Reply&)> unsupported;
  };

  // Answers a log command, or a bulk query for one. True when `reply` holds
  // the whole answer; false when it is not a log command, or when the data
  // set for it was put in place and the bulk side answers.
  bool Answer(const wire::PacketView& request, const Context& context, Reply& reply);

 private:
  // The data a download command asks for: nullopt when the command (or its
  // data kind) is not a log download; an empty set when nothing matches.
  struct DataSet {
    uint16_t command;
    std::vector<uint8_t> prefix;  // request prefix the set is stored under
    std::vector<uint8_t> bytes;   // empty: no records
  };
  std::optional<DataSet> Download(uint16_t command, std::span<const uint8_t> request,
                                  const OptionStore& options);
  // Deletions and marks; false when `command` is none of them.
  bool Change(uint16_t command, std::span<const uint8_t> request, Reply& reply);

  std::vector<uint8_t> AttendanceBytes(std::span<const AttendanceRecord> records,
                                       const OptionStore& options, bool counted) const;
  std::vector<uint8_t> OperationBytes(std::span<const OpLogRecord> records,
                                      const OptionStore& options) const;

  mutable std::mutex mu_;
  bool attendance_in_use_ = false;
  bool operations_in_use_ = false;
  SerialLog<AttendanceRecord> attendance_;
  SerialLog<OpLogRecord> operations_;
  AttLogLayout att_layout_ = AttLogLayout::kAuto;
  OpLogLayout op_layout_ = OpLogLayout::kAuto;
};

}  // namespace termsim
