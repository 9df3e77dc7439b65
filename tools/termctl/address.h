// Terminal addresses as people type them: udp://host[:port], tcp://host[:port],
// usb://[N] (a terminal attached by USB, with device number N).
#pragma once

#include <optional>
#include <string>

namespace termctl {

struct Address {
  std::string scheme;  // "udp", "tcp" or "usb"
  std::string host;    // empty on usb
  int port = 4370;     // on usb: the device number
};

inline constexpr int kDefaultPort = 4370;
inline constexpr int kDefaultUsbDevice = 1;

// True when `text` looks like an address rather than a command name.
bool LooksLikeAddress(const std::string& text);

// The parsed address, or nullopt with the reason in `error`.
std::optional<Address> ParseAddress(const std::string& text, std::string* error);

std::string FormatAddress(const Address& address);

}  // namespace termctl
