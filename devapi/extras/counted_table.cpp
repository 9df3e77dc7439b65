#include "extras/counted_table.h"

#include <algorithm>
#include <climits>

#include "wire/le_bytes.h"

namespace devapi::extras {

std::optional<std::span<const uint8_t>> CountedRecords(std::span<const uint8_t> buffer,
                                                       int32_t received) {
  constexpr size_t kCountSize = 4;
  if (received < static_cast<int32_t>(kCountSize)) return std::nullopt;
  // The count is the terminal's word; only the bytes that arrived are records.
  const size_t got = std::min(static_cast<size_t>(received), buffer.size());
  if (got < kCountSize) return std::nullopt;
  wire::ByteReader r(buffer.first(kCountSize));
  const size_t count = r.U32();
  return buffer.subspan(kCountSize, std::min(count, got - kCountSize));
}

int32_t ScaledTimeout(int32_t timeout_ms, int32_t factor) {
  const int64_t scaled = static_cast<int64_t>(timeout_ms) * factor;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, 0, INT32_MAX));
}

}  // namespace devapi::extras
