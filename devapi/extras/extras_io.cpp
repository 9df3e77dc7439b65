#include "extras/extras_io.h"

#include <algorithm>
#include <climits>

#include "wire/le_bytes.h"

namespace devapi::extras {

std::optional<CountedTable> ReadCountedTable(DeviceSession& s, uint16_t command, size_t capacity) {
  CountedTable table;
  table.buffer.assign(capacity, 0);
  uint16_t code = command;
  const int32_t received =
      DEVWIRE_READDATA(s.engine, &code, table.buffer.data(), static_cast<int32_t>(capacity), 0,
                       s.block_size, AddTimeout(s.data_timeout_ms, kTableExtraMs));
  constexpr size_t kCountSize = 4;
  if (code != kAckOk || received < static_cast<int32_t>(kCountSize)) return std::nullopt;
  // The count is the terminal's word; only the bytes that arrived are records.
  const size_t got = std::min<size_t>(static_cast<size_t>(received), capacity);
  wire::ByteReader r(std::span<const uint8_t>(table.buffer).first(kCountSize));
  const size_t count = r.U32();
  table.records =
      std::span<const uint8_t>(table.buffer).subspan(kCountSize, std::min(count, got - kCountSize));
  return table;
}

int32_t SendSimple(DeviceSession& s, uint16_t command, std::span<const uint8_t> data) {
  return SendCommand(s, command, data, 0, s.cmd_timeout_ms).ok() ? 1 : -2;
}

}  // namespace devapi::extras
