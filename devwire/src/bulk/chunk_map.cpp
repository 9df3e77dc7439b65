#include "bulk/chunk_map.h"

#include <algorithm>

namespace devwire {

void ChunkMap::Reset(uint32_t total, uint32_t chunk) {
  sized_ = true;
  total_ = total;
  chunk_ = chunk;
  marked_ = 0;
  const uint64_t chunks = chunk == 0 ? 0 : (static_cast<uint64_t>(total) + chunk - 1) / chunk;
  marks_.assign(static_cast<size_t>(chunks), 0);
}

size_t ChunkMap::Length(size_t index) const {
  const uint64_t start = Offset(index);
  return static_cast<size_t>(std::min<uint64_t>(chunk_, total_ - start));
}

void ChunkMap::Mark(size_t index) {
  if (marks_[index] != 0) return;
  marks_[index] = 1;
  ++marked_;
}

bool ChunkMap::OnlyMissing(size_t index) const {
  return marked_ + (Marked(index) ? 0 : 1) == marks_.size();
}

}  // namespace devwire
