// The simulator: the terminal model behind its UDP, TCP and USB endpoints,
// with the packet log and the fault injector in between. Every packet is
// answered by the way it came: a datagram to its address, a frame on its
// connection, a block in the drive file.
#include "termsim/simulator.h"

#include "termsim/attendance.h"
#include "termsim/extras.h"
#include "termsim/files.h"

#include <cstdlib>
#include <mutex>
#include <optional>

#include "bulk/trailer.h"
#include "links/delayed_sender.h"
#include "events/event_push.h"
#include "links/event_ticker.h"
#include "links/fault_injector.h"
#include "links/packet_log.h"
#include "links/peer.h"
#include "commands/reply.h"
#include "links/search_responder.h"
#include "links/tcp_endpoint.h"
#include "links/tcp_frame.h"
#include "commands/terminal_model.h"
#include "links/udp_endpoint.h"
#include "links/usb_endpoint.h"
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
  explicit Impl(const Profile& p) : profile(p), model(p) {}

  void OnPacket(std::span<const uint8_t> packet, size_t wire_size, const Peer& from);
  void Transmit(const Reply& reply, const Peer& to);
  // What a packet is to its link: an answer, bulk data following one, or a
  // pushed event (a coalescing TCP stream holds events for the next write;
  // the drive file paces data and holds events for a free slot).
  enum class Outgoing { kAnswer, kData, kEvent };
  bool SendPacket(const Peer& to, std::span<const uint8_t> packet,
                  Outgoing what = Outgoing::kAnswer);
  // The late-reply queue and the event pusher, shared by both endpoints.
  bool StartServices();
  std::string SearchAnswer() const;

  const Profile profile;
  std::string udp_address;  // where StartUdp listens
  std::string tcp_address;  // where StartTcp listens
  TerminalModel model;
  FaultInjector faults;
  PacketLog log;
  UdpEndpoint endpoint;
  TcpEndpoint tcp;
  UsbEndpoint usb;
  DelayedSender delayed;
  EventPusher pusher;
  EventTicker ticker;     // the chattering-terminal fault
  bool services = false;  // delayed and pusher running (Start* and Stop only)
  SearchResponder search;
  mutable std::mutex peer_mu;
  std::optional<Peer> last_peer;  // where the last packet came from
};

std::string Simulator::Impl::SearchAnswer() const {
  if (!profile.search_answer.empty()) return profile.search_answer;
  const std::string& listening = udp_address.empty() ? tcp_address : udp_address;
  const std::string& ip = profile.search_ip.empty() ? listening : profile.search_ip;
  return ComposeSearchAnswer(profile.mac, ip, model.Option("~DeviceName"),
                             model.Option("~SerialNumber"));
}

void Simulator::Impl::OnPacket(std::span<const uint8_t> packet, size_t wire_size,
                               const Peer& from) {
  log.Record(packet, wire_size);
  {
    std::lock_guard lock(peer_mu);
    last_peer = from;
  }
  const auto request = wire::ParsePacket(packet);
  if (!request || !wire::ChecksumValid(packet)) return;  // a damaged packet is not answered
  // The conversation, its registration and its pending events follow the
  // host to wherever its packets now come from.
  const uint16_t session = request->header.connection_id;
  if (model.Follow(session, from)) pusher.Follow(session, from);
  if (IsAcknowledgement(request->header.code)) {
    // A host confirming one of the events this terminal pushed.
    if (request->header.code == wire::CMD_ACK_OK) {
      pusher.Acknowledge(from, request->header.reply_counter);
    }
    return;
  }
  if (tcp.CutAfterRequest(from)) return;  // the connection goes with the request
  if (faults.Silent()) return;
  if (faults.Unanswered(request->header.code)) return;

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
  Reply reply = model.Handle(*request, from);
  faults.ShapePayload(request->header.code, reply.code, reply.payload);
  Transmit(reply, from);
}

bool Simulator::Impl::SendPacket(const Peer& to, std::span<const uint8_t> packet,
                                 Outgoing what) {
  if (to.link == Link::kTcp) return tcp.Send(to, packet, what == Outgoing::kEvent);
  if (to.link == Link::kUsb) {
    if (!usb.running()) return false;
    usb.Send(packet, what == Outgoing::kData    ? UsbEndpoint::Kind::kData
                     : what == Outgoing::kEvent ? UsbEndpoint::Kind::kEvent
                                                : UsbEndpoint::Kind::kAnswer);
    return true;
  }
  return endpoint.SendTo(packet, to.address);
}

void Simulator::Impl::Transmit(const Reply& reply, const Peer& to) {
  const ReplyFate fate = faults.NextReplyFate();
  if (fate.drop) return;
  const auto datagram = EncodeReply(reply, WireShape{fate.counter_back, fate.corrupt_checksum});
  if (to.link == Link::kTcp && fate.delay_ms == 0 && tcp.coalescing()) {
    // The reply, its copies and its data in one write.
    std::vector<std::vector<uint8_t>> batch(static_cast<size_t>(fate.copies), datagram);
    if (reply.trailer) {
      batch.insert(batch.end(), reply.trailer->packets.begin(), reply.trailer->packets.end());
    }
    tcp.Send(to, batch);
    return;
  }
  for (int i = 0; i < fate.copies; ++i) {
    if (fate.delay_ms > 0) {
      delayed.Post(fate.delay_ms, datagram, to);
    } else {
      SendPacket(to, datagram);
    }
  }
  // Bulk data follows its reply, after the same delay.
  if (reply.trailer) {
    SendTrailer(*reply.trailer, [&](std::span<const uint8_t> packet) {
      if (fate.delay_ms > 0) {
        delayed.Post(fate.delay_ms, std::vector<uint8_t>(packet.begin(), packet.end()), to);
      } else {
        SendPacket(to, packet, Outgoing::kData);
      }
    });
  }
}

bool Simulator::Impl::StartServices() {
  if (services) return true;
  if (!delayed.Start([this](const std::vector<uint8_t>& datagram, const Peer& to) {
        SendPacket(to, datagram);
      }))
    return false;
  // Pushed events may wait for company on a coalescing stream.
  const EventPusher::SendFn push = [this](std::span<const uint8_t> packet, const Peer& to) {
    SendPacket(to, packet, Outgoing::kEvent);
  };
  if (!pusher.Start(push)) {
    delayed.Stop();
    return false;
  }
  const auto period = [this] { return faults.EventPeriodMs(); };
  const auto tick = [this](uint16_t counter) {
    std::optional<Peer> to;
    {
      std::lock_guard lock(peer_mu);
      to = last_peer;
    }
    if (!to) return;
    Reply event;
    event.code = wire::kEventPacket;
    event.connection_id = kEventKeyPress;
    event.reply_counter = counter;
    event.payload.assign(4, 0);
    SendPacket(*to, EncodeReply(event));
  };
  if (!ticker.Start(period, tick)) {
    pusher.Stop();
    delayed.Stop();
    return false;
  }
  services = true;
  return true;
}

Simulator::Simulator(Profile profile) : impl_(std::make_unique<Impl>(profile)) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::StartUdp(const std::string& address, uint16_t port) {
  Impl* impl = impl_.get();
  if (impl->endpoint.running() || !impl->StartServices()) return false;
  if (!impl->endpoint.Start(
          address, port,
          [impl](std::span<const uint8_t> datagram, const platform::net::SockAddrV4& from) {
            impl->OnPacket(datagram, datagram.size(), Peer(from));
          })) {
    if (!impl->tcp.running() && !impl->usb.running()) Stop();
    return false;
  }
  impl->udp_address = address;
  return true;
}

bool Simulator::StartTcp(const std::string& address, uint16_t port) {
  Impl* impl = impl_.get();
  if (impl->tcp.running() || !impl->StartServices()) return false;
  if (!impl->tcp.Start(address, port, [impl](std::span<const uint8_t> packet, const Peer& from) {
        impl->OnPacket(packet, kFrameHeaderSize + packet.size(), from);
      })) {
    if (!impl->endpoint.running() && !impl->usb.running()) Stop();
    return false;
  }
  impl->tcp_address = address;
  return true;
}

uint16_t Simulator::tcp_port() const { return impl_->tcp.port(); }

bool Simulator::StartUsb(const std::string& directory) {
  Impl* impl = impl_.get();
  if (impl->usb.running() || !impl->StartServices()) return false;
  const auto device = [impl] {
    const std::string id = impl->model.Option("DeviceID");
    return static_cast<uint8_t>(id.empty() ? 1 : std::atoi(id.c_str()) & 0xFF);
  };
  if (!impl->usb.Start(
          directory,
          [impl](std::span<const uint8_t> packet, size_t block_size) {
            impl->OnPacket(packet, block_size, Peer::Usb());
          },
          device)) {
    if (!impl->endpoint.running() && !impl->tcp.running()) Stop();
    return false;
  }
  return true;
}

std::string Simulator::usb_file() const { return impl_->usb.file(); }
void Simulator::SetUsbFaults(const UsbFaults& faults) { impl_->usb.SetFaults(faults); }
UsbFaults Simulator::usb_faults() const { return impl_->usb.faults(); }

void Simulator::SetStreamFaults(const StreamFaults& faults) { impl_->tcp.SetFaults(faults); }
StreamFaults Simulator::stream_faults() const { return impl_->tcp.faults(); }
size_t Simulator::TcpConnectionsAccepted() const { return impl_->tcp.accepted(); }
void Simulator::ResumeListening() { impl_->tcp.ResumeListening(); }

bool Simulator::StartSearchResponder(const std::string& address, uint16_t port) {
  const std::string& where = address.empty() ? impl_->udp_address : address;
  if (where.empty()) return false;
  Impl* impl = impl_.get();
  return impl->search.Start(where, port, [impl] { return impl->SearchAnswer(); });
}

size_t Simulator::SearchProbeCount() const { return impl_->search.probes(); }

uint16_t Simulator::udp_port() const { return impl_->endpoint.port(); }

void Simulator::Stop() {
  impl_->search.Stop();
  impl_->ticker.Stop();
  impl_->pusher.Stop();  // pushes go out through the endpoints
  // Late replies go first: they send through the endpoints' sockets.
  impl_->delayed.Stop();
  impl_->services = false;
  impl_->endpoint.Stop();
  impl_->tcp.Stop();
  impl_->usb.Stop();
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

std::vector<ControlCommand> Simulator::ControlCommands() const {
  return impl_->model.ControlCommands();
}
void Simulator::ClearControlCommands() { impl_->model.ClearControlCommands(); }
int Simulator::RestartCount() const { return impl_->model.RestartCount(); }

uint32_t Simulator::ClockPacked() const { return impl_->model.ClockPacked(); }
void Simulator::SetClockPacked(uint32_t packed) { impl_->model.SetClockPacked(packed); }

uint32_t Simulator::StorageWord(int word) const { return impl_->model.StorageWord(word); }
void Simulator::SetStorageWord(int word, uint32_t value) {
  impl_->model.SetStorageWord(word, value);
}

void Simulator::SetPinWidth(int8_t width) { impl_->model.SetPinWidth(width); }
void Simulator::SetDeviceStatus(int32_t status) { impl_->model.SetDeviceStatus(status); }
void Simulator::SetDoorState(uint8_t state) { impl_->model.SetDoorState(state); }
void Simulator::SetMachineState(uint16_t state) { impl_->model.SetMachineState(state); }
void Simulator::SetCannedReply(uint16_t code, std::optional<std::vector<uint8_t>> payload) {
  impl_->model.SetCannedReply(code, std::move(payload));
}

void Simulator::SetCommandAnswer(uint16_t command, std::optional<CommandAnswer> answer) {
  impl_->model.SetCommandAnswer(command, answer);
}
void Simulator::SetFaces(std::vector<Face> faces) { impl_->model.faces().SetFaces(std::move(faces)); }
std::vector<Face> Simulator::Faces() const { return impl_->model.faces().Faces(); }
void Simulator::SetValidityPeriods(std::map<uint16_t, ValidityPeriod> periods) {
  impl_->model.faces().SetValidityPeriods(std::move(periods));
}
std::map<uint16_t, ValidityPeriod> Simulator::ValidityPeriods() const {
  return impl_->model.faces().ValidityPeriods();
}
void Simulator::SetAccessData(AccessData data) { impl_->model.access().Set(std::move(data)); }
AccessData Simulator::GetAccessData() const { return impl_->model.access().Data(); }

void Simulator::SetCommandRefused(uint16_t code, bool refused) {
  impl_->model.SetCommandRefused(code, refused);
}

void Simulator::SetAttendanceLog(std::vector<AttendanceRecord> records) {
  impl_->model.logs().SetAttendance(std::move(records));
}
void Simulator::AppendAttendanceLog(std::vector<AttendanceRecord> records) {
  impl_->model.logs().AppendAttendance(std::move(records));
}
std::vector<AttendanceRecord> Simulator::AttendanceLog() const {
  return impl_->model.logs().Attendance();
}
void Simulator::SetAttendanceLayout(AttLogLayout layout) {
  impl_->model.logs().SetAttendanceLayout(layout);
}
void Simulator::SetOpLog(std::vector<OpLogRecord> records) {
  impl_->model.logs().SetOperations(std::move(records));
}
void Simulator::AppendOpLog(std::vector<OpLogRecord> records) {
  impl_->model.logs().AppendOperations(std::move(records));
}
std::vector<OpLogRecord> Simulator::OpLog() const { return impl_->model.logs().Operations(); }
void Simulator::SetOpLogLayout(OpLogLayout layout) { impl_->model.logs().SetOpLogLayout(layout); }
void Simulator::SetAttendanceTables(AttendanceTables tables) {
  impl_->model.attendance_tables().Set(std::move(tables));
}
AttendanceTables Simulator::GetAttendanceTables() const {
  return impl_->model.attendance_tables().Tables();
}

void Simulator::SetExtras(ExtrasData data) { impl_->model.extras().Set(std::move(data)); }
ExtrasData Simulator::Extras() const { return impl_->model.extras().Data(); }
void Simulator::SetFiles(FilesData data) { impl_->model.files().Set(std::move(data)); }
FilesData Simulator::Files() const { return impl_->model.files().Data(); }
void Simulator::SetBackupSettings(BackupSettings settings) {
  impl_->model.files().SetBackup(std::move(settings));
}
std::string Simulator::Firmware() const { return impl_->model.Firmware(); }
size_t Simulator::SessionCount() const { return impl_->model.SessionCount(); }

bool Simulator::SendRaw(std::vector<uint8_t> datagram) {
  std::optional<Peer> to;
  {
    std::lock_guard lock(impl_->peer_mu);
    to = impl_->last_peer;
  }
  if (!to) return false;
  if (to->link == Link::kUdp && !impl_->endpoint.running()) return false;
  return impl_->SendPacket(*to, datagram);
}

void Simulator::SetDataSet(uint16_t command, std::vector<uint8_t> request_prefix,
                           std::vector<uint8_t> bytes) {
  impl_->model.bulk().SetDataSet(command, std::move(request_prefix), std::move(bytes));
}
void Simulator::SetRecordSet(uint16_t command, std::vector<std::vector<uint8_t>> records) {
  impl_->model.bulk().SetRecordSet(command, std::move(records));
}
void Simulator::ClearDataSets() { impl_->model.bulk().ClearDataSets(); }
void Simulator::SetBulkOptions(const BulkOptions& options) {
  impl_->model.bulk().SetOptions(options);
}
void Simulator::SetBulkFaults(const BulkFaults& faults) { impl_->model.bulk().SetFaults(faults); }
size_t Simulator::PreparedCount() const { return impl_->model.bulk().PreparedCount(); }

void Simulator::SetEventSettings(const EventSettings& settings) {
  impl_->pusher.SetSettings(settings);
  impl_->model.events().SetPollCountExcess(settings.poll_count_excess);
}
uint16_t Simulator::PushEvent(uint16_t kind, std::vector<uint8_t> payload) {
  return impl_->pusher.Push(impl_->model.events().TargetsFor(kind), kind, payload);
}
size_t Simulator::EventListeners(uint16_t kind) const {
  return impl_->model.events().TargetsFor(kind).size();
}
uint32_t Simulator::RegisteredMask() const { return impl_->model.events().LastMask(); }
EventPushCounts Simulator::EventCounts() const { return impl_->pusher.counts(); }
void Simulator::AddRealtimeRecord(uint16_t code, std::vector<uint8_t> payload) {
  impl_->model.events().AddRealtimeRecord(code, payload);
}
size_t Simulator::RealtimeRecordSize() const { return impl_->model.events().RealtimeRecordSize(); }
RealtimePollCounts Simulator::RealtimePolls() const {
  return impl_->model.events().RealtimeCounts();
}

void Simulator::SetUsers(std::vector<User> users) {
  // Validity periods live beside the table; those the users bring replace
  // their own.
  auto periods = impl_->model.faces().ValidityPeriods();
  for (const User& u : users) {
    if (u.valid) periods[u.pin] = *u.valid;
  }
  impl_->model.faces().SetValidityPeriods(std::move(periods));
  impl_->model.users().SetUsers(std::move(users));
}
std::vector<User> Simulator::Users() const { return impl_->model.users().Users(); }
std::optional<User> Simulator::FindUser(uint16_t pin) const {
  return impl_->model.users().FindUser(pin);
}
std::vector<uint8_t> Simulator::UserTableBytes() const {
  return impl_->model.users().TableBytes();
}
std::vector<int> Simulator::ClearedDataKinds() const {
  return impl_->model.users().ClearedKinds();
}

void Simulator::SetTemplates(std::vector<FingerTemplate> templates) {
  impl_->model.templates().SetTemplates(std::move(templates));
}
std::vector<FingerTemplate> Simulator::Templates() const {
  return impl_->model.templates().Templates();
}
std::optional<FingerTemplate> Simulator::FindTemplate(uint16_t pin, uint8_t finger) const {
  return impl_->model.templates().Find(pin, finger);
}
std::vector<uint8_t> Simulator::TemplateTableBytes() const {
  return impl_->model.templates().TableBytes();
}
void Simulator::SetIdentifyAnswer(std::optional<uint16_t> pin) {
  impl_->model.templates().SetIdentifyAnswer(pin);
}
void Simulator::SetTemplateReadStreamed(uint16_t command, std::optional<bool> streamed) {
  impl_->model.templates().SetReadStreamed(command, streamed);
}

}  // namespace termsim
