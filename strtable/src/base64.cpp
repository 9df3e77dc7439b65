#include "strtable/base64.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace strtable {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kMaxResult = std::numeric_limits<int>::max();

// Sextet value of every byte; -1 for bytes outside the alphabet.
constexpr std::array<int8_t, 256> kSextets = [] {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  return table;
}();

// Encodes into `out`, which the caller has sized with Base64EncodedSize.
int EncodeInto(std::span<const uint8_t> bytes, std::span<char> out) {
  size_t at = 0;
  const auto put = [&](uint32_t sextet) { out[at++] = kAlphabet[sextet & 63]; };
  while (bytes.size() >= 3) {
    const uint32_t group = uint32_t{bytes[0]} << 16 | uint32_t{bytes[1]} << 8 | bytes[2];
    put(group >> 18);
    put(group >> 12);
    put(group >> 6);
    put(group);
    bytes = bytes.subspan(3);
  }
  if (!bytes.empty()) {
    const uint32_t second = bytes.size() > 1 ? bytes[1] : 0;
    const uint32_t group = uint32_t{bytes[0]} << 16 | second << 8;
    put(group >> 18);
    put(group >> 12);
    if (bytes.size() > 1) {
      put(group >> 6);
    } else {
      out[at++] = '=';
    }
    out[at++] = '=';
  }
  out[at] = '\0';
  return static_cast<int>(at);
}

}  // namespace

int Base64Encode(std::span<const uint8_t> bytes, char* out) {
  if (out == nullptr) return -1;
  const size_t size = Base64EncodedSize(bytes.size());
  if (size - 1 > kMaxResult) {
    *out = '\0';
    return -1;
  }
  return EncodeInto(bytes, std::span<char>(out, size));
}

int Base64EncodeBounded(std::span<const uint8_t> bytes, std::span<char> out) {
  const size_t size = Base64EncodedSize(bytes.size());
  if (size > out.size() || size - 1 > kMaxResult) {
    if (!out.empty()) out[0] = '\0';
    return kBase64NoRoom;
  }
  return EncodeInto(bytes, out);
}

int Base64Decode(const char* text, uint8_t* out) {
  if (text == nullptr) return kBase64Invalid;
  const std::string_view view(text);
  const size_t room = Base64DecodedMaxSize(view.size());
  if (out == nullptr && room > 0) return kBase64Invalid;
  // `room` is a true bound for this text, so the bounded decoder never stops
  // for lack of room here.
  return Base64DecodeBounded(view, std::span<uint8_t>(out, room));
}

int Base64DecodeBounded(std::string_view text, std::span<uint8_t> out) {
  text = text.substr(0, text.find('\0'));
  int group_yield = 3;  // bytes per group, lowered for good by each '='
  uint32_t bits = 0;
  int sextets = 0;
  size_t written = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n' || c == ' ') continue;
    int sextet = 0;
    if (c == '=') {
      group_yield = std::max(group_yield - 1, 0);
    } else {
      sextet = kSextets[static_cast<uint8_t>(c)];
      if (sextet < 0) return kBase64Invalid;
    }
    bits = bits << 6 | static_cast<uint32_t>(sextet);
    if (++sextets < 4) continue;

    const size_t n = 1 + (group_yield > 1 ? 1 : 0) + (group_yield > 2 ? 1 : 0);
    if (n > out.size() - written || written + n > kMaxResult) return kBase64NoRoom;
    const std::array<uint8_t, 3> group{static_cast<uint8_t>(bits >> 16),
                                       static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
    std::copy_n(group.begin(), n, out.subspan(written).begin());
    written += n;
    bits = 0;
    sextets = 0;
  }
  return static_cast<int>(written);
}

}  // namespace strtable
