// Owned, resizable storage for trivially copyable elements. Growth goes
// through realloc so a failure leaves the old contents intact and is reported
// instead of thrown, which is what the table and buffer need.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <span>
#include <type_traits>

namespace strtable::detail {

template <typename T>
class PodArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // Resizes to n elements; new elements are uninitialised. On failure the
  // array keeps its old size and contents.
  bool Resize(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) return false;
    // Never ask for zero bytes: realloc(p, 0) may free p.
    const size_t bytes = n == 0 ? sizeof(T) : n * sizeof(T);
    void* grown = std::realloc(data_.get(), bytes);
    if (grown == nullptr) return false;
    data_.release();
    data_.reset(static_cast<T*>(grown));
    size_ = n;
    return true;
  }

  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  size_t size() const { return size_; }
  std::span<T> span() { return {data_.get(), size_}; }
  std::span<const T> span() const { return {data_.get(), size_}; }

 private:
  struct Free {
    void operator()(T* p) const { std::free(p); }
  };
  std::unique_ptr<T, Free> data_;
  size_t size_ = 0;
};

}  // namespace strtable::detail
