#include "bulk/upload_buffer.h"

namespace termsim {

bool UploadBuffer::Prepare(uint32_t total) {
  Free();
  if (total > kMaxTotal) return false;
  active_ = true;
  total_ = total;
  data_.reserve(total);
  return true;
}

bool UploadBuffer::Append(std::span<const uint8_t> chunk) {
  if (!active_ || chunk.size() > total_ - data_.size()) return false;
  data_.insert(data_.end(), chunk.begin(), chunk.end());
  return true;
}

void UploadBuffer::Free() {
  active_ = false;
  total_ = 0;
  data_.clear();
  data_.shrink_to_fit();
}

}  // namespace termsim
