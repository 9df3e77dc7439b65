#include "commands/terminal_model.h"

#include <algorithm>
#include <array>

#include "commands/batch_apply.h"
#include "commands/option_probe.h"
#include "links/packet_limit.h"
#include "store/scrambled_value.h"
#include "store/storage_counts.h"
#include "wire/auth.h"
#include "wire/codes.h"
#include "wire/hash.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

std::vector<uint8_t> TextPayload(const std::string& text) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

void Answer(Reply& reply, uint16_t code, std::vector<uint8_t> payload = {}) {
  reply.code = code;
  reply.payload = std::move(payload);
}

// Writes manufacturer options; the data is "name=value" as for CMD_OPTIONS_WRQ.
constexpr uint16_t kManufacturerWrite = 2999;
// Announces a batch package: the next 110 with {u32 12, u32 0x80000}
// applies it.
constexpr uint16_t kBatchAnnounce = 2222;
constexpr uint32_t kBatchHeadSize = 12;
constexpr uint32_t kBatchKind = 0x80000;

}  // namespace

TerminalModel::TerminalModel(const Profile& profile)
    : firmware_(profile.firmware),
      comm_password_(profile.comm_password),
      max_packet_(profile.max_packet),
      user_layout_(UserLayoutOf(profile)),
      batch_ops_by_id_text_(profile.batch_ops == Profile::BatchOps::kIdText),
      options_(profile.options),
      probe_answer_(profile.option_probe),
      unknown_commands_(profile.unknown_commands),
      refused_commands_(profile.refused_commands),
      info_(profile),
      control_(profile),
      events_(profile),
      users_(profile),
      templates_(profile),
      // Short keys grew from 32 to 44 bytes with "Ver 6.60".
      extras_(profile.firmware.compare(0, 8, "Ver 6.60") >= 0),
      access_(profile) {
  // A user's templates go with the user; clear-data may drop them all.
  users_.SetListeners({[this](uint16_t pin) {
                         templates_.UserRemoved(pin);
                         faces_.UserRemoved(pin);
                         access_.UserRemoved(pin);
                       },
                       [this](int kind) {
                         templates_.DataCleared(kind);
                         extras_.DataCleared(kind);
                         access_.DataCleared(kind);
                       }});
}

Reply TerminalModel::Handle(const wire::PacketView& request, const Peer& client) {
  std::lock_guard<std::mutex> lock(mu_);
  const wire::PacketHeader& h = request.header;
  if (h.code == wire::CMD_CONNECT) return Connect(request, client);

  Reply reply;
  reply.reply_counter = h.reply_counter;
  reply.connection_id = h.connection_id;

  Session* session = sessions_.Find(h.connection_id);
  if (session == nullptr) {
    // Saying goodbye to a conversation that is already over costs nothing.
    if (h.code == wire::CMD_EXIT) {
      Answer(reply, wire::CMD_ACK_OK);
      return reply;
    }
    // Without a password there is nothing to prove: carry on with the
    // number the host uses. With one, the host must connect again.
    if (comm_password_ != 0) {
      Answer(reply, wire::CMD_ACK_UNAUTH);
      return reply;
    }
    session = h.connection_id != 0 ? &sessions_.Adopt(h.connection_id, client, true)
                                   : &sessions_.Create(client, true);
  }

  if (session->answered && session->last_code == h.code && session->last_counter == h.reply_counter)
    return session->last_reply;

  reply.connection_id = session->id;
  const size_t max_payload = PacketLimitLocked(client.link) - wire::kHeaderSize;
  Execute(*session, request, max_payload, reply);
  if (reply.payload.size() > max_payload) Answer(reply, wire::CMD_ACK_ERROR);

  if (h.code == wire::CMD_EXIT || reply.end_session) {
    events_.Forget(session->id);
    sessions_.Forget(session->id);
  } else {
    session->answered = true;
    session->last_code = h.code;
    session->last_counter = h.reply_counter;
    session->last_reply = reply;
  }
  return reply;
}

bool TerminalModel::Follow(uint16_t session_id, const Peer& client) {
  std::lock_guard<std::mutex> lock(mu_);
  Session* session = sessions_.Find(session_id);
  if (session == nullptr) return false;
  if (!(session->client == client)) {
    session->client = client;
    events_.Follow(session_id, client);
  }
  return true;
}

size_t TerminalModel::PacketLimitOn(Link link) const {
  std::lock_guard<std::mutex> lock(mu_);
  return PacketLimitLocked(link);
}

size_t TerminalModel::PacketLimitLocked(Link link) const {
  return PacketLimit(link, options_.Get("~Platform").value_or(std::string()), max_packet_);
}

Reply TerminalModel::Connect(const wire::PacketView& request, const Peer& client) {
  const uint16_t counter = request.header.reply_counter;
  if (Session* again = sessions_.JustConnected(client, counter)) return again->last_reply;

  const bool needs_password = comm_password_ != 0;
  Session& s = sessions_.Create(client, !needs_password);
  Reply reply;
  reply.code = needs_password ? wire::CMD_ACK_UNAUTH : wire::CMD_ACK_OK;
  reply.connection_id = s.id;
  reply.reply_counter = counter;
  s.answered = true;
  s.last_code = wire::CMD_CONNECT;
  s.last_counter = counter;
  s.last_reply = reply;
  return reply;
}

void TerminalModel::Execute(Session& session, const wire::PacketView& request,
                            size_t max_payload, Reply& reply) {
  const uint16_t code = request.header.code;
  const auto payload = request.payload;
  if (!session.authenticated && code != wire::CMD_AUTH && code != wire::CMD_EXIT) {
    Answer(reply, wire::CMD_ACK_UNAUTH);
    return;
  }
  if (code != wire::CMD_AUTH && code != wire::CMD_EXIT && AnswerUnsupported(code, reply)) return;
  switch (code) {
    case wire::CMD_AUTH:
      Authenticate(session, payload, reply);
      return;
    case wire::CMD_EXIT:
      Answer(reply, wire::CMD_ACK_OK);
      return;
    case wire::CMD_OPTIONS_RRQ:
      ReadOption(payload, reply);
      return;
    case wire::CMD_OPTIONS_WRQ:
    case kManufacturerWrite:
      WriteOption(payload, reply);
      return;
    case wire::kOptionProbe:
      AnswerOptionProbe(options_, probe_answer_, payload, reply);
      return;
    case wire::kFirmwareVersion:
      Answer(reply, wire::CMD_ACK_OK, TextPayload(firmware_));
      return;
    case wire::CMD_PREPARE_DATA:
      PrepareUpload(session, payload, reply);
      return;
    case wire::CMD_DATA:
      Answer(reply, session.upload.Append(payload) ? wire::CMD_ACK_OK : wire::CMD_ACK_ERROR);
      return;
    case wire::kDataChecksum: {
      std::vector<uint8_t> hash(4);
      wire::ByteWriter(hash).U32(wire::DataHash(session.upload.data()));
      Answer(reply, wire::CMD_ACK_OK, std::move(hash));
      return;
    }
    case kBatchAnnounce:
      session.batch_announced = true;
      Answer(reply, wire::CMD_ACK_OK);
      return;
    case wire::kTakeUploadedData:
      if (session.batch_announced) return ApplyBatch(session, payload, reply);
      TakeUpload(session, payload, reply);
      return;
    case wire::CMD_FREE_DATA:
      session.upload.Free();
      bulk_.Release(session.id);
      Answer(reply, wire::CMD_ACK_OK);
      return;
    default:
      if (files_.Answer(request,
                        {bulk_, session.upload,
                         [this] {
                           return BackupContent{users_.Users(), templates_.Templates(),
                                                {logs_.Attendance(), logs_.Operations()}};
                         }},
                        reply)) {
        return;
      }
      if (attendance_tables_.Answer(request, bulk_, reply)) return;
      if (extras_.Answer(request, bulk_, reply)) return;
      if (logs_.Answer(request,
                       {options_, bulk_,
                        [this](uint16_t c, Reply& r) { return AnswerUnsupported(c, r); }},
                       reply)) {
        return;
      }
      if (users_.Handle(code, payload, bulk_, reply)) return;
      if (FaceCommands::NamesUser(code)) {
        // The user table has its own lock: ask it before the faces take theirs.
        wire::ByteReader r(payload);
        const std::string text(r.FixedText(std::min<size_t>(payload.size(), 24)));
        const auto pin = r.ok() ? users_.PinOfText(text) : std::nullopt;
        if (faces_.Answer(code, payload, pin, session.upload, bulk_, reply)) return;
      }
      if (access_.Answer(code, payload, session.upload, info_.pin_width > 5, reply)) return;
      if (templates_.Answer(request,
                            {bulk_, options_, session.upload,
                             [this](uint16_t c, Reply& r) { return AnswerUnsupported(c, r); },
                             [this](std::string_view text) { return users_.PinOfText(text); },
                             max_payload},
                            reply)) {
        return;
      }
      if (bulk_.Answer(session.id, request, max_payload, reply)) return;
      if (info_.Handle(code, payload, reply)) return;
      if (control_.Handle(code, payload, reply)) return;
      if (events_.Handle(session, request, max_payload, reply)) return;
      Answer(reply, wire::CMD_ACK_UNKNOWN);
      return;
  }
}

bool TerminalModel::AnswerUnsupported(uint16_t code, Reply& reply) const {
  if (unknown_commands_.contains(code)) {
    Answer(reply, wire::CMD_ACK_UNKNOWN);
    return true;
  }
  if (refused_commands_.contains(code)) {
    Answer(reply, wire::CMD_ACK_ERROR);
    return true;
  }
  if (auto forced = forced_answers_.find(code); forced != forced_answers_.end()) {
    reply.code = forced->second.code;
    reply.connection_id = forced->second.word;
    reply.payload.clear();
    return true;
  }
  if (auto canned = canned_replies_.find(code); canned != canned_replies_.end()) {
    Answer(reply, wire::CMD_ACK_OK, canned->second);
    return true;
  }
  return false;
}

void TerminalModel::Authenticate(Session& session, std::span<const uint8_t> payload, Reply& reply) {
  if (comm_password_ == 0) {
    session.authenticated = true;
    Answer(reply, wire::CMD_ACK_OK);
    return;
  }
  std::array<uint8_t, 4> key{};
  wire::ByteReader r(payload);
  const bool proved = r.Bytes(key) && wire::AuthKeyMatches(key, comm_password_, session.id);
  session.authenticated = proved;
  Answer(reply, proved ? wire::CMD_ACK_OK : wire::CMD_ACK_UNAUTH);
}

void TerminalModel::ReadOption(std::span<const uint8_t> payload, Reply& reply) const {
  const std::string name = PayloadText(payload);
  const auto value = name.empty() ? std::nullopt : options_.Get(name);
  if (!value) {
    Answer(reply, wire::CMD_ACK_ERROR);
    return;
  }
  Answer(reply, wire::CMD_ACK_OK, TextPayload(name + "=" + *value));
}

void TerminalModel::WriteOption(std::span<const uint8_t> payload, Reply& reply) {
  const auto assignment = SplitAssignment(PayloadText(payload));
  if (!assignment) {
    Answer(reply, wire::CMD_ACK_ERROR);
    return;
  }
  const auto& [name, sent] = *assignment;
  std::string value = sent;
  const bool has_os = !options_.Get("~OS").value_or(std::string()).empty();
  if (ArrivesScrambled(name, has_os)) {
    const auto plain = UnscrambleValue(sent);
    if (!plain) {
      Answer(reply, wire::CMD_ACK_ERROR);
      return;
    }
    value = *plain;
  }
  options_.Set(name, value);
  Answer(reply, wire::CMD_ACK_OK);
}

void TerminalModel::PrepareUpload(Session& session, std::span<const uint8_t> payload,
                                  Reply& reply) {
  wire::ByteReader r(payload);
  const uint32_t total = r.U32();
  Answer(reply, r.ok() && session.upload.Prepare(total) ? wire::CMD_ACK_OK : wire::CMD_ACK_ERROR);
}

// The parameter block (a 32-bit kind and a file name) says what the data
// is; this terminal keeps the data and the block for inspection.
void TerminalModel::TakeUpload(Session& session, std::span<const uint8_t> payload, Reply& reply) {
  if (!session.upload.complete()) {
    Answer(reply, wire::CMD_ACK_ERROR);
    return;
  }
  auto taken = files_.TakeUpload(payload, session.upload.data());
  if (!taken.ok) {
    Answer(reply, wire::CMD_ACK_ERROR);
    return;
  }
  stored_upload_ = session.upload.data();
  upload_parameters_.assign(payload.begin(), payload.end());
  if (taken.firmware) firmware_ = *taken.firmware;
  if (taken.restore) ApplyRestore(std::move(*taken.restore));
  Answer(reply, wire::CMD_ACK_OK);
}

// The package uploaded after 2222 is applied whole, or refused with nothing
// changed; either way it is kept for inspection and the upload released.
void TerminalModel::ApplyBatch(Session& session, std::span<const uint8_t> payload, Reply& reply) {
  session.batch_announced = false;
  wire::ByteReader r(payload);
  const bool batch = r.U32() == kBatchHeadSize && r.U32() == kBatchKind && r.ok();
  if (!batch) return TakeUpload(session, payload, reply);
  if (!session.upload.complete()) return Answer(reply, wire::CMD_ACK_ERROR);
  stored_upload_ = session.upload.data();
  upload_parameters_.assign(payload.begin(), payload.end());
  session.upload.Free();
  const bool applied = ApplyBatchPackage(stored_upload_, user_layout_,
                                         batch_ops_by_id_text_, users_, templates_);
  if (!applied) return Answer(reply, wire::CMD_ACK_ERROR);
  info_.storage[kStoredUsersWord] = static_cast<uint32_t>(users_.Users().size());
  info_.storage[kStoredTemplatesWord] = static_cast<uint32_t>(templates_.Templates().size());
  Answer(reply, wire::CMD_ACK_OK);
}

// A restore replaces every store it carries and enables the terminal again.
void TerminalModel::ApplyRestore(BackupContent content) {
  users_.SetUsers(std::move(content.users));
  templates_.SetTemplates(std::move(content.templates));
  logs_.SetAttendance(std::move(content.logs.attendance));
  logs_.SetOperations(std::move(content.logs.operations));
  control_.enabled = true;
}

std::string TerminalModel::Firmware() const {
  std::lock_guard<std::mutex> lock(mu_);
  return firmware_;
}

std::string TerminalModel::Option(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_.Get(name).value_or(std::string());
}

void TerminalModel::SetOption(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> lock(mu_);
  options_.Set(name, value);
}

std::vector<uint8_t> TerminalModel::LastStoredUpload() const {
  std::lock_guard<std::mutex> lock(mu_);
  return stored_upload_;
}

std::vector<uint8_t> TerminalModel::LastUploadParameters() const {
  std::lock_guard<std::mutex> lock(mu_);
  return upload_parameters_;
}

bool TerminalModel::DeviceEnabled() const {
  std::lock_guard<std::mutex> lock(mu_);
  return control_.enabled;
}

std::vector<ControlCommand> TerminalModel::ControlCommands() const {
  std::lock_guard<std::mutex> lock(mu_);
  return control_.received;
}

void TerminalModel::ClearControlCommands() {
  std::lock_guard<std::mutex> lock(mu_);
  control_.received.clear();
}

int TerminalModel::RestartCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return control_.restarts;
}

uint32_t TerminalModel::ClockPacked() const {
  std::lock_guard<std::mutex> lock(mu_);
  return info_.clock.Now();
}

void TerminalModel::SetClockPacked(uint32_t packed) {
  std::lock_guard<std::mutex> lock(mu_);
  info_.clock.Set(packed);
}

uint32_t TerminalModel::StorageWord(int word) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (word < 0 || static_cast<size_t>(word) >= info_.storage.size()) return 0;
  return info_.storage[static_cast<size_t>(word)];
}

void TerminalModel::SetStorageWord(int word, uint32_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  if (word < 0 || static_cast<size_t>(word) >= info_.storage.size()) return;
  info_.storage[static_cast<size_t>(word)] = value;
}

void TerminalModel::SetPinWidth(int8_t width) {
  std::lock_guard<std::mutex> lock(mu_);
  info_.pin_width = width;
}

void TerminalModel::SetDeviceStatus(int32_t status) {
  std::lock_guard<std::mutex> lock(mu_);
  info_.device_status = status;
}

void TerminalModel::SetDoorState(uint8_t state) {
  std::lock_guard<std::mutex> lock(mu_);
  control_.door_state = state;
}

void TerminalModel::SetMachineState(uint16_t state) {
  std::lock_guard<std::mutex> lock(mu_);
  control_.machine_state = state;
}

void TerminalModel::SetCannedReply(uint16_t code, std::optional<std::vector<uint8_t>> payload) {
  std::lock_guard lock(mu_);
  if (payload) {
    canned_replies_[code] = std::move(*payload);
  } else {
    canned_replies_.erase(code);
  }
}

void TerminalModel::SetCommandAnswer(uint16_t command, std::optional<CommandAnswer> answer) {
  std::lock_guard lock(mu_);
  if (answer) {
    forced_answers_[command] = *answer;
  } else {
    forced_answers_.erase(command);
  }
}

void TerminalModel::SetCommandRefused(uint16_t code, bool refused) {
  std::lock_guard<std::mutex> lock(mu_);
  if (refused) {
    refused_commands_.insert(code);
  } else {
    refused_commands_.erase(code);
  }
}

size_t TerminalModel::SessionCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sessions_.size();
}

}  // namespace termsim
