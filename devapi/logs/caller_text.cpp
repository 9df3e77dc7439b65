#include "logs/caller_text.h"

#include <algorithm>
#include <cstring>

namespace devapi {

namespace {
constexpr int32_t kIdTextMax = 24;
}  // namespace

std::string_view FieldText(std::span<const uint8_t> field) {
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return {reinterpret_cast<const char*>(field.data()), static_cast<size_t>(end - field.begin())};
}

void CopyPaddedText(std::span<const uint8_t> field, size_t width, char* out) {
  if (width == 0) return;
  const std::string_view text = FieldText(field);
  const size_t n = std::min(text.size(), width);
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, width - n);
  if (n == width) out[width] = '\0';
}

void CopyTerminatedText(std::span<const uint8_t> field, size_t size, char* out) {
  if (size == 0) return;
  const std::string_view text = FieldText(field);
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  std::memset(out + n, 0, size - n);
}

size_t IdTextWidth(int32_t pin_width) {
  return static_cast<size_t>(std::clamp(pin_width, 0, kIdTextMax));
}

}  // namespace devapi
