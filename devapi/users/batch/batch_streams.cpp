#include "users/batch/batch_streams.h"

#include <algorithm>
#include <new>

namespace users {

namespace {

constexpr size_t kFirstCapacity = 4096;

// Room for `needed` bytes, growing geometrically but never past `cap`.
void Reserve(std::vector<uint8_t>& stream, size_t needed, size_t cap) {
  if (needed <= stream.capacity()) return;
  stream.reserve(std::min(cap, std::max({needed, stream.capacity() * 2, kFirstCapacity})));
}

}  // namespace

int32_t AppendToBatch(std::initializer_list<BatchPiece> pieces) {
  for (const BatchPiece& p : pieces) {
    const size_t size = p.head.size() + p.body.size();
    if (p.stream->size() > p.cap || size > p.cap - p.stream->size()) return kBatchFull;
  }
  try {
    for (const BatchPiece& p : pieces) {
      Reserve(*p.stream, p.stream->size() + p.head.size() + p.body.size(), p.cap);
    }
  } catch (const std::bad_alloc&) {
    return kBatchFull;
  }
  // Within the reserved capacity nothing below allocates.
  for (const BatchPiece& p : pieces) {
    p.stream->insert(p.stream->end(), p.head.begin(), p.head.end());
    p.stream->insert(p.stream->end(), p.body.begin(), p.body.end());
  }
  return kBatchTaken;
}

void DropBatchEntries(devapi::DeviceSession& s) {
  auto& b = s.batch;
  std::vector<uint8_t>().swap(b.user_entries);
  std::vector<uint8_t>().swap(b.template_ops);
  std::vector<uint8_t>().swap(b.template_data);
  std::vector<uint8_t>().swap(b.new_users);
  b.user_form = devapi::DeviceSession::BatchState::UserForm::kNone;
  b.op_form = devapi::DeviceSession::BatchState::OpForm::kNone;
}

}  // namespace users
