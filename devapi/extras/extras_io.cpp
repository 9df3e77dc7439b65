#include "extras/extras_io.h"

#include <algorithm>
#include <climits>

#include "extras/counted_table.h"

namespace devapi::extras {

std::optional<CountedTable> ReadCountedTable(DeviceSession& s, uint16_t command, size_t capacity) {
  CountedTable table;
  table.buffer.assign(capacity, 0);
  uint16_t code = command;
  const int32_t received =
      DEVWIRE_READDATA(s.engine, &code, table.buffer.data(), static_cast<int32_t>(capacity), 0,
                       s.block_size, AddTimeout(s.data_timeout_ms, kTableExtraMs));
  if (code != kAckOk) return std::nullopt;
  const auto records = CountedRecords(table.buffer, received);
  if (!records) return std::nullopt;
  table.records = *records;
  return table;
}

int32_t SendSimple(DeviceSession& s, uint16_t command, std::span<const uint8_t> data) {
  return SendCommand(s, command, data, 0, s.cmd_timeout_ms).ok() ? 1 : -2;
}

}  // namespace devapi::extras
