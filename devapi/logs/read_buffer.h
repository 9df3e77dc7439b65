// The session's shared download buffer (read_buf) and the record views that
// live in it.
//
// Every bulk download lands in the same buffer, so a download owns one view
// and must drop all others: a view left behind would walk bytes that now
// belong to a different kind of data. Downloads of users, templates, logs,
// bells and attendance tables all go through these helpers.
#pragma once

#include <cstdint>
#include <span>

#include "session/device_session.h"

namespace devapi {

// Capacities the first reader of the buffer asks for.
inline constexpr uint32_t kAttLogBufferSize = 40u << 20;  // whole attendance log
inline constexpr uint32_t kRangeBufferSize = 8u << 20;    // time-range and new-record reads
inline constexpr uint32_t kOpLogBufferSize = 6u << 20;    // operation log

// The views over read_buf; kNone names no view.
enum class BufferView { kNone, kTemplates, kAttendance, kOpLog, kOpLogEx, kAux, kBell };

// Makes read_buf hold at least `capacity` bytes. A buffer allocated by an
// earlier, smaller reader grows (its content is kept, every view stays
// valid). Throws std::bad_alloc when memory is short.
void EnsureReadBuffer(DeviceSession& session, uint32_t capacity);

// Drops every view but `owner`'s, and the compressed log's base time, before
// a download refills the buffer. The owner's view is the caller's to set.
void ResetViewsExcept(DeviceSession& session, BufferView owner);

// Frees read_buf and drops every view over it (data clearing).
void ReleaseReadBuffer(DeviceSession& session);

// A view as offsets into read_buf.
struct ViewRange {
  uint32_t start = 0;
  uint32_t len = 0;
};

// A counted reply (a 32-bit byte count, then the records) of `received`
// bytes: the records start after the count and are as long as the smallest
// of the count, what arrived after it and what the buffer holds after it.
// Fewer than 4 bytes give an empty view.
ViewRange CountedView(const DeviceSession& session, int32_t received);

// A bare reply of `received` record bytes at the start of the buffer.
ViewRange BareView(const DeviceSession& session, int32_t received);

// The bytes of a view from `cursor` to its end, bounded by the buffer; empty
// when the cursor is outside the view.
std::span<const uint8_t> ViewRest(const DeviceSession& session, uint32_t start, uint32_t len,
                                  uint32_t cursor);

}  // namespace devapi
