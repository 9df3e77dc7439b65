// Terminal addresses as people type them: udp://host[:port], tcp://host[:port].
#pragma once

#include <optional>
#include <string>

namespace termctl {

struct Address {
  std::string scheme;  // "udp" or "tcp"
  std::string host;
  int port = 4370;
};

inline constexpr int kDefaultPort = 4370;

// True when `text` looks like an address rather than a command name.
bool LooksLikeAddress(const std::string& text);

// The parsed address, or nullopt with the reason in `error`.
std::optional<Address> ParseAddress(const std::string& text, std::string* error);

std::string FormatAddress(const Address& address);

}  // namespace termctl
