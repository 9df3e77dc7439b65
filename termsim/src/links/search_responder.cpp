#include "links/search_responder.h"

#include <vector>

namespace termsim {

namespace {

// Hosts search with this one-byte probe.
constexpr uint8_t kProbeMark = 'X';

}  // namespace

std::string ComposeSearchAnswer(const std::string& mac, const std::string& ip,
                                const std::string& name, const std::string& serial) {
  return "G" + mac + "/" + ip + "/" + name + "/" + serial;
}

bool SearchResponder::Start(const std::string& address, uint16_t port, AnswerSource answer) {
  if (endpoint_.running()) return false;
  answer_ = std::move(answer);
  return endpoint_.Start(
      address, port,
      [this](std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from) {
        OnDatagram(datagram, from);
      },
      /*shared=*/true);
}

void SearchResponder::Stop() { endpoint_.Stop(); }

void SearchResponder::OnDatagram(std::span<const uint8_t> datagram,
                                 const platform::net::SockAddrV4& from) {
  // Other terminals' answers, or anything else on the port, get no answer.
  if (datagram.empty() || datagram[0] != kProbeMark) return;
  ++probes_;
  const std::string text = answer_();
  endpoint_.SendTo(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), from);
}

}  // namespace termsim
