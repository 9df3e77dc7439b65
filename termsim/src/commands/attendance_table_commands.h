// The terminal's side of the attendance tables: the rule, the departments
// and the time slots, each sent by a streamed read of {u32 byte count,
// records}. A table the terminal does not have is refused (CMD_ACK_ERROR).
// Thread-safe.
#pragma once

#include <mutex>

#include "bulk/terminal.h"
#include "commands/reply.h"
#include "termsim/attendance.h"
#include "wire/packet.h"

namespace termsim {

class AttendanceTableCommands {
 public:
  void Set(AttendanceTables tables);
  AttendanceTables Tables() const;

  // True when `reply` holds the whole answer (a refusal); false when the
  // request is not for a table, or when the table's data set was put in
  // place and the bulk side answers.
  bool Answer(const wire::PacketView& request, BulkTerminal& bulk, Reply& reply) const;

 private:
  mutable std::mutex mu_;
  AttendanceTables tables_;
};

}  // namespace termsim
