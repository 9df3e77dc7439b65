#include "strtable/byte_buffer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace strtable {
namespace {
constexpr size_t kMaxCapacity = std::numeric_limits<int32_t>::max();

// memmove: the source may be bytes of this very buffer.
void CopyBytes(std::span<const uint8_t> from, std::span<uint8_t> to) {
  if (!from.empty()) std::memmove(to.data(), from.data(), from.size());
}
}  // namespace

std::unique_ptr<ByteBuffer> ByteBuffer::WrapBuffer(std::span<uint8_t> memory) {
  std::unique_ptr<ByteBuffer> buffer(new (std::nothrow) ByteBuffer());
  if (!buffer) return nullptr;
  buffer->storage_ = memory.first(std::min(memory.size(), kMaxCapacity));
  buffer->capacity_ = static_cast<int32_t>(buffer->storage_.size());
  buffer->borrowed_ = true;
  return buffer;
}

std::unique_ptr<ByteBuffer> ByteBuffer::CreateBuffer(int32_t size) {
  if (size < 0) return nullptr;
  std::unique_ptr<ByteBuffer> buffer(new (std::nothrow) ByteBuffer());
  if (!buffer || !buffer->owned_.Resize(static_cast<size_t>(size))) return nullptr;
  buffer->storage_ = buffer->owned_.span();
  buffer->capacity_ = size;
  return buffer;
}

void ByteBuffer::DestroyBuffer(std::unique_ptr<ByteBuffer> buffer) { buffer.reset(); }

ByteBuffer::~ByteBuffer() = default;

int32_t ByteBuffer::AppendClamped(std::span<const uint8_t> bytes) {
  const size_t n = std::min(bytes.size(), static_cast<size_t>(BufferRemaining()));
  CopyBytes(bytes.first(n), storage_.subspan(static_cast<size_t>(used_)));
  used_ += static_cast<int32_t>(n);
  return static_cast<int32_t>(n);
}

int32_t ByteBuffer::AppendGrowing(std::span<const uint8_t> bytes) {
  // The result is the length as a 32-bit count; longer input cannot be reported.
  if (bytes.size() > kMaxCapacity) return 0;
  const auto length = static_cast<int32_t>(bytes.size());
  const int32_t need = length - BufferRemaining();
  if (need > 0) {
    if (borrowed_) return 0;
    const int64_t grown = int64_t{capacity_} + std::max(need, kMinGrowth);
    if (grown > static_cast<int64_t>(kMaxCapacity)) return 0;
    // Bytes taken from this buffer must follow it if it moves.
    const std::less<const uint8_t*> before;
    const bool own_bytes = !bytes.empty() && !before(bytes.data(), storage_.data()) &&
                           before(bytes.data(), storage_.data() + storage_.size());
    const ptrdiff_t own_offset = own_bytes ? bytes.data() - storage_.data() : 0;
    if (!owned_.Resize(static_cast<size_t>(grown))) return 0;
    storage_ = owned_.span();
    if (own_bytes) bytes = storage_.subspan(static_cast<size_t>(own_offset), bytes.size());
    capacity_ = static_cast<int32_t>(grown);
  }
  CopyBytes(bytes, storage_.subspan(static_cast<size_t>(used_)));
  used_ += length;
  return length;
}

}  // namespace strtable
