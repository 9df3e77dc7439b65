// The streams of an open batch: their caps, and appending to several of
// them at once, all or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "session/device_session.h"

namespace users {

// The most each stream holds: room for a full terminal.
inline constexpr size_t kBatchUserEntriesCap = 6 * 1024 * 1024;
inline constexpr size_t kBatchOpsCap = 10 * 1024 * 1024;
inline constexpr size_t kBatchTemplateDataCap = 70 * 1024 * 1024;
inline constexpr size_t kBatchNewUsersCap = 6 * 1024 * 1024;
// The new-user list leads with its byte count, as the user cache does.
inline constexpr size_t kNewUsersLead = 4;

// Results of an append, as the calls report them.
inline constexpr int32_t kBatchTaken = 1;
inline constexpr int32_t kBatchFull = -4;
inline constexpr int32_t kBatchOtherForm = 4;

// Bytes for one stream: `head` and then `body` (either may be empty).
struct BatchPiece {
  BatchPiece(std::vector<uint8_t>& to, size_t limit, std::span<const uint8_t> first,
             std::span<const uint8_t> then = {})
      : stream(&to), cap(limit), head(first), body(then) {}
  std::vector<uint8_t>* stream;
  size_t cap;
  std::span<const uint8_t> head;
  std::span<const uint8_t> body;
};

// Appends every piece or none: 1, or -4 when a piece would pass its
// stream's cap or a stream cannot grow (nothing appended then).
int32_t AppendToBatch(std::initializer_list<BatchPiece> pieces);

// A stream's form is fixed by its first entry: true when `wanted` may
// follow what the stream holds.
template <typename Form>
bool FormFits(Form current, Form wanted) {
  return current == Form::kNone || current == wanted;
}

// Drops every entry and the new-user list; the batch stays as it was
// (active or not).
void DropBatchEntries(devapi::DeviceSession& session);

}  // namespace users
