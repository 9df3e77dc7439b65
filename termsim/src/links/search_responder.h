// The terminal's answer to device searches: a probe datagram on the search
// port gets one text datagram back, "G" followed by the MAC address, the IP
// address, the device name and the serial number, separated by "/".
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "links/udp_endpoint.h"

namespace termsim {

// The answer text for these facts.
std::string ComposeSearchAnswer(const std::string& mac, const std::string& ip,
                                const std::string& name, const std::string& serial);

class SearchResponder {
 public:
  // Produces the answer at the moment a probe comes (the name may change).
  using AnswerSource = std::function<std::string()>;

  ~SearchResponder() { Stop(); }

  // Listens on address:port, shared with other terminals on the same
  // address. False on failure.
  bool Start(const std::string& address, uint16_t port, AnswerSource answer);
  void Stop();
  size_t probes() const { return probes_.load(); }

 private:
  void OnDatagram(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from);

  UdpEndpoint endpoint_;
  AnswerSource answer_;
  std::atomic<size_t> probes_{0};
};

}  // namespace termsim
