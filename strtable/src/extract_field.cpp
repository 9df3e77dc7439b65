#include "strtable/extract_field.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>

namespace strtable {
namespace {

constexpr size_t kMaxPattern = kMaxFieldKeyLength + 3;  // delimiter, key, '=', NUL

// The value of the key's field in the line, or nothing.
std::optional<std::string_view> FindValue(const char* line, const char* key, char delimiter) {
  if (line == nullptr || key == nullptr) return std::nullopt;
  const std::string_view text(line);
  const std::string_view name(key);
  if (name.size() > kMaxFieldKeyLength) return std::nullopt;

  std::array<char, kMaxPattern> buffer{};
  buffer[0] = delimiter;
  std::ranges::copy(name, buffer.begin() + 1);
  buffer[name.size() + 1] = '=';
  const std::string_view pattern(buffer.data(), name.size() + 2);
  const std::string_view at_start = pattern.substr(1);  // key and '='

  size_t value_start;
  if (text.starts_with(at_start)) {
    value_start = at_start.size();
  } else {
    const size_t at = text.find(pattern);
    if (at == std::string_view::npos) return std::nullopt;
    value_start = at + pattern.size();
  }
  const std::string_view rest = text.substr(value_start);
  return rest.substr(0, rest.find(delimiter));
}

}  // namespace

int ExtractField(const char* line, const char* key, char delimiter, char* value_out) {
  if (value_out == nullptr) return kFieldNotFound;
  value_out[0] = '\0';
  const std::optional<std::string_view> value = FindValue(line, key, delimiter);
  if (!value || value->size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    return kFieldNotFound;
  }
  // The caller sized value_out for the line, which holds the value.
  const std::span<char> out(value_out, value->size() + 1);
  std::ranges::copy(*value, out.begin());
  out[value->size()] = '\0';
  return static_cast<int>(value->size());
}

int ExtractFieldBounded(const char* line, const char* key, char delimiter,
                        std::span<char> value_out) {
  if (!value_out.empty()) value_out[0] = '\0';
  const std::optional<std::string_view> value = FindValue(line, key, delimiter);
  if (!value) return kFieldNotFound;
  if (value->size() >= value_out.size() ||
      value->size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    if (value_out.empty()) return kFieldTruncated;
    const size_t fits = value_out.size() - 1;
    std::ranges::copy(value->substr(0, fits), value_out.begin());
    value_out[std::min(fits, value->size())] = '\0';
    return kFieldTruncated;
  }
  std::ranges::copy(*value, value_out.begin());
  value_out[value->size()] = '\0';
  return static_cast<int>(value->size());
}

}  // namespace strtable
