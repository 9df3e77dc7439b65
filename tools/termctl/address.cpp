#include "address.h"

#include <charconv>

namespace termctl {

bool LooksLikeAddress(const std::string& text) { return text.find("://") != std::string::npos; }

std::optional<Address> ParseAddress(const std::string& text, std::string* error) {
  const size_t sep = text.find("://");
  if (sep == std::string::npos) {
    *error = "'" + text + "' is no address (expected udp://host[:port])";
    return std::nullopt;
  }
  Address a;
  a.scheme = text.substr(0, sep);
  if (a.scheme != "udp" && a.scheme != "tcp" && a.scheme != "usb") {
    *error = "unknown address scheme '" + a.scheme + "' (use udp://, tcp:// or usb://)";
    return std::nullopt;
  }
  std::string rest = text.substr(sep + 3);
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (a.scheme == "usb") {
    // usb://[N]: the device number, 1 by default.
    a.port = kDefaultUsbDevice;
    if (!rest.empty()) {
      int value = 0;
      const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
      if (ec != std::errc() || end != rest.data() + rest.size() || value < 0 || value > 255) {
        *error = "bad device number '" + rest + "' in " + text + " (0-255)";
        return std::nullopt;
      }
      a.port = value;
    }
    return a;
  }
  const size_t colon = rest.rfind(':');
  if (colon != std::string::npos) {
    const std::string port = rest.substr(colon + 1);
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 1 ||
        value > 65535) {
      *error = "bad port '" + port + "' in " + text + " (1-65535)";
      return std::nullopt;
    }
    a.port = value;
    rest.resize(colon);
  }
  if (rest.empty()) {
    *error = "no host in " + text;
    return std::nullopt;
  }
  a.host = rest;
  return a;
}

std::string FormatAddress(const Address& address) {
  if (address.scheme == "usb") return "usb://" + std::to_string(address.port);
  return address.scheme + "://" + address.host + ":" + std::to_string(address.port);
}

}  // namespace termctl
