// Copies between the host's arguments and fixed record fields, bounded on
// both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace users {

// Stores `value` when the host passed a place for it.
inline void PutInt(int32_t* out, int32_t value) {
  if (out != nullptr) *out = value;
}

// Copies the first `n` bytes of a record field and a terminator at index
// `n`: the host's buffer must hold n + 1 bytes.
inline void PutFieldText(char* out, std::span<const uint8_t> field, size_t n) {
  if (out == nullptr) return;
  n = n < field.size() ? n : field.size();
  std::memcpy(out, field.data(), n);
  out[n] = '\0';
}

// A host's text as a zero-padded field: read up to its terminator, never
// beyond the field; a longer text is cut to the field. Null leaves zeros.
inline void TakeCallerText(const char* text, std::span<uint8_t> field) {
  std::memset(field.data(), 0, field.size());
  if (text == nullptr) return;
  std::memcpy(field.data(), text, strnlen(text, field.size()));
}

}  // namespace users
