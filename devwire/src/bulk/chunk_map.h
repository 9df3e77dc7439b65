// Which chunks of a streamed read have arrived intact, kept across the
// attempts of one read so that every attempt only has to fill the gaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace devwire {

class ChunkMap {
 public:
  // True when the map describes a data set of `total` bytes in chunks of
  // `chunk` bytes.
  bool Describes(uint32_t total, uint32_t chunk) const {
    return sized_ && total_ == total && chunk_ == chunk;
  }
  // True once any data set was described.
  bool sized() const { return sized_; }

  // Forgets every mark and describes a new data set. `chunk` must be above 0.
  void Reset(uint32_t total, uint32_t chunk);

  size_t count() const { return marks_.size(); }
  uint32_t total() const { return total_; }
  uint32_t chunk() const { return chunk_; }

  // Byte range of chunk `index` (index < count()).
  uint64_t Offset(size_t index) const { return static_cast<uint64_t>(index) * chunk_; }
  size_t Length(size_t index) const;

  bool Marked(size_t index) const { return marks_[index] != 0; }
  void Mark(size_t index);
  bool Complete() const { return marked_ == marks_.size(); }
  size_t marked() const { return marked_; }
  // True when every chunk but `index` is marked.
  bool OnlyMissing(size_t index) const;

 private:
  bool sized_ = false;
  uint32_t total_ = 0;
  uint32_t chunk_ = 0;
  size_t marked_ = 0;
  std::vector<uint8_t> marks_;
};

}  // namespace devwire
