// Copies of terminal text fields into caller buffers. The field comes from
// the terminal and may lack a terminator; the copy is bounded by the field
// and by the width given, and the caller's text is always terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace devapi {

// The text of a fixed field: up to its first NUL, or the whole field.
std::string_view FieldText(std::span<const uint8_t> field);

// Writes at most `width` characters of the field's text, zero-padded to
// `width`, and a terminator at `width` when the text fills it: the buffer
// must hold width + 1 bytes. A width of 0 leaves the buffer untouched.
void CopyPaddedText(std::span<const uint8_t> field, size_t width, char* out);

// Writes the field's text cut to size - 1 characters and zero-padded to
// exactly `size` bytes, so it is always terminated.
void CopyTerminatedText(std::span<const uint8_t> field, size_t size, char* out);

// The session's user-number width as a copy bound: 0 to 24.
size_t IdTextWidth(int32_t pin_width);

// Stores `value` when the caller passed a place for it.
template <typename T>
void Put(T* out, T value) {
  if (out != nullptr) *out = value;
}

}  // namespace devapi
