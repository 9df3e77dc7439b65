#include "store/scrambled_value.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace termsim {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> UnscrambleValue(const std::string& hex) {
  if (hex.size() < 2 || hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  std::string plain;
  for (size_t i = 1; i < bytes.size(); ++i) {
    const char c = static_cast<char>(bytes[i] ^ bytes[i - 1]);
    if (c == '\0') return std::nullopt;
    plain += c;
  }
  return plain;
}

std::string ScrambleValue(const std::string& plain, uint8_t key) {
  std::string hex;
  uint8_t previous = key;
  char pair[3];
  std::snprintf(pair, sizeof(pair), "%02X", previous);
  hex += pair;
  for (char c : plain) {
    previous = static_cast<uint8_t>(previous ^ static_cast<uint8_t>(c));
    std::snprintf(pair, sizeof(pair), "%02X", previous);
    hex += pair;
  }
  return hex;
}

bool ArrivesScrambled(const std::string& name, bool terminal_has_os) {
  return !terminal_has_os && !name.empty() && name[0] == '~' && name != "~CustData";
}

}  // namespace termsim
