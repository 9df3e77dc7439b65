// The records of a counted reply {u32 byte count, records} in a buffer of
// which `received` bytes arrived. Pure: no terminal, no session.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace devapi::extras {

// The records: min(count, bytes after the count), bounded by the buffer.
// Nullopt when less than the count arrived.
std::optional<std::span<const uint8_t>> CountedRecords(std::span<const uint8_t> buffer,
                                                       int32_t received);

// `timeout_ms` times `factor`, saturating at the 32-bit range instead of
// wrapping (a wrapped time-out would be negative).
int32_t ScaledTimeout(int32_t timeout_ms, int32_t factor);

}  // namespace devapi::extras
