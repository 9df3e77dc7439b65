#include "commands/attendance_table_commands.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kReadRule = 35;
constexpr uint16_t kReadDepartments = 36;
constexpr uint16_t kReadTimeSlots = 37;

}  // namespace

void AttendanceTableCommands::Set(AttendanceTables tables) {
  std::lock_guard lock(mu_);
  tables_ = std::move(tables);
}

AttendanceTables AttendanceTableCommands::Tables() const {
  std::lock_guard lock(mu_);
  return tables_;
}

bool AttendanceTableCommands::Answer(const wire::PacketView& request, BulkTerminal& bulk,
                                     Reply& reply) const {
  uint16_t command = request.header.code;
  if (command == wire::CMD_QUERY_DATA) {
    // A buffered read names the command after one byte.
    wire::ByteReader r(request.payload);
    r.U8();
    command = r.U16();
    if (!r.ok()) return false;
  }
  std::lock_guard lock(mu_);
  const std::optional<std::vector<uint8_t>>* table = nullptr;
  switch (command) {
    case kReadRule:
      table = &tables_.rule;
      break;
    case kReadDepartments:
      table = &tables_.departments;
      break;
    case kReadTimeSlots:
      table = &tables_.slots;
      break;
    default:
      return false;
  }
  if (!table->has_value() || (*table)->empty()) {
    reply.code = wire::CMD_ACK_ERROR;
    reply.payload.clear();
    return true;
  }
  std::vector<uint8_t> counted(4 + (*table)->size());
  wire::ByteWriter w(counted);
  w.U32(static_cast<uint32_t>((*table)->size()));
  w.Bytes(**table);
  bulk.SetDataSet(command, {}, std::move(counted));
  return false;
}

}  // namespace termsim
