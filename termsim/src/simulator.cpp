// The simulator: the terminal model behind its UDP endpoint, with the
// packet log and the fault injector in between.
#include "termsim/simulator.h"

#include "delayed_sender.h"
#include "fault_injector.h"
#include "packet_log.h"
#include "reply.h"
#include "terminal_model.h"
#include "udp_endpoint.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace termsim {

namespace {

// Acknowledgements a host sends back (for the events this terminal sent);
// they are not commands and get no answer.
bool IsAcknowledgement(uint16_t code) {
  return code >= wire::CMD_ACK_OK && code <= wire::CMD_ACK_UNAUTH;
}

}  // namespace

struct Simulator::Impl {
  explicit Impl(const Profile& profile) : model(profile) {}

  void OnDatagram(std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from);
  void Transmit(const Reply& reply, const platform::net::SockAddrV4& to);

  TerminalModel model;
  FaultInjector faults;
  PacketLog log;
  UdpEndpoint endpoint;
  DelayedSender delayed;
};

void Simulator::Impl::OnDatagram(std::span<const uint8_t> datagram,
                                 const platform::net::SockAddrV4& from) {
  log.Record(datagram);
  const auto request = wire::ParsePacket(datagram);
  if (!request || !wire::ChecksumValid(datagram)) return;  // a damaged packet is not answered
  if (IsAcknowledgement(request->header.code)) return;
  if (faults.Silent()) return;

  if (faults.TakeRetry()) {
    // Busy: the command is not carried out, and the host is asked to send
    // it again.
    Reply busy;
    busy.code = wire::CMD_ACK_RETRY;
    busy.connection_id = request->header.connection_id;
    busy.reply_counter = request->header.reply_counter;
    Transmit(busy, from);
    return;
  }
  Transmit(model.Handle(*request, from), from);
}

void Simulator::Impl::Transmit(const Reply& reply, const platform::net::SockAddrV4& to) {
  const ReplyFate fate = faults.NextReplyFate();
  if (fate.drop) return;
  const auto datagram = EncodeReply(reply, WireShape{fate.counter_back, fate.corrupt_checksum});
  for (int i = 0; i < fate.copies; ++i) {
    if (fate.delay_ms > 0) {
      delayed.Post(fate.delay_ms, datagram, to);
    } else {
      endpoint.SendTo(datagram, to);
    }
  }
}

Simulator::Simulator(Profile profile) : impl_(std::make_unique<Impl>(profile)) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::StartUdp(const std::string& address, uint16_t port) {
  if (impl_->endpoint.running()) return false;
  Impl* impl = impl_.get();
  if (!impl->delayed.Start(
          [impl](const std::vector<uint8_t>& datagram, const platform::net::SockAddrV4& to) {
            impl->endpoint.SendTo(datagram, to);
          }))
    return false;
  if (!impl->endpoint.Start(
          address, port,
          [impl](std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from) {
            impl->OnDatagram(datagram, from);
          })) {
    impl->delayed.Stop();
    return false;
  }
  return true;
}

uint16_t Simulator::udp_port() const { return impl_->endpoint.port(); }

void Simulator::Stop() {
  // Late replies go first: they send through the endpoint's socket.
  impl_->delayed.Stop();
  impl_->endpoint.Stop();
}

void Simulator::SetFaults(const Faults& faults) { impl_->faults.Set(faults); }
Faults Simulator::faults() const { return impl_->faults.Get(); }

std::vector<ReceivedPacket> Simulator::Received() const { return impl_->log.All(); }
size_t Simulator::CountReceived(uint16_t code) const { return impl_->log.Count(code); }
size_t Simulator::ReceivedCount() const { return impl_->log.Size(); }
void Simulator::ClearReceived() { impl_->log.Clear(); }

std::vector<uint8_t> Simulator::LastStoredUpload() const { return impl_->model.LastStoredUpload(); }
std::vector<uint8_t> Simulator::LastUploadParameters() const {
  return impl_->model.LastUploadParameters();
}

std::string Simulator::Option(const std::string& name) const { return impl_->model.Option(name); }
void Simulator::SetOption(const std::string& name, const std::string& value) {
  impl_->model.SetOption(name, value);
}

bool Simulator::DeviceEnabled() const { return impl_->model.DeviceEnabled(); }
size_t Simulator::SessionCount() const { return impl_->model.SessionCount(); }

bool Simulator::SendRaw(std::vector<uint8_t> datagram) {
  return impl_->endpoint.SendToLastClient(datagram);
}

}  // namespace termsim
