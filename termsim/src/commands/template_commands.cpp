#include "commands/template_commands.h"

#include <algorithm>
#include <string>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Command codes answered here.
constexpr uint16_t kUserTemplates = 6;
constexpr uint16_t kDeleteTemplate = 19;
constexpr uint16_t kWriteWithFlag = 87;
constexpr uint16_t kReadWithFlag = 88;
constexpr uint16_t kWriteByText = 132;
constexpr uint16_t kDeleteByText = 134;
constexpr uint16_t kIdentify = 1011;
constexpr uint16_t kPiecewiseRecords = 2017;
constexpr uint16_t kPiecewiseAvailable = 2221;

// The data kinds of templates and of everything in CMD_DB_RRQ and clear-data.
constexpr uint8_t kTemplateKind = 2;
constexpr int kEverythingKind = 0;
// Reasons the terminal puts in the connection word of a refusal.
constexpr uint16_t kReasonMalformed = 1;
constexpr uint16_t kReasonNotFound = 2;
constexpr uint16_t kReasonNoRoom = 4;

constexpr size_t kTextField = 24;
// Finger indexes a write may name; appends fill the ten real fingers.
constexpr uint8_t kHighestFinger = 15;
constexpr uint8_t kLastAppendFinger = 9;
// A PIN and a finger index: the request of a single-template read.
constexpr size_t kPinFingerBytes = 3;
// The identify answer: the PIN, padded.
constexpr size_t kIdentifyAnswerBytes = 4;

// The template that follows a write's header: the rest of the request,
// exactly `length` bytes. Where the command may take uploaded data
// (`upload` given), a request of the header alone takes the data uploaded
// before it, which must be `length` bytes.
std::optional<std::span<const uint8_t>> Body(wire::ByteReader& r, uint16_t length,
                                             const UploadBuffer* upload) {
  if (!r.ok()) return std::nullopt;
  if (r.remaining() == 0 && upload != nullptr) {
    if (!upload->complete() || upload->data().size() != length) return std::nullopt;
    return std::span<const uint8_t>(upload->data());
  }
  if (r.remaining() != length) return std::nullopt;
  return r.View(length);
}

// CMD_DB_RRQ asks for templates by their data kind; old firmware sends no
// kind at all.
bool AsksTemplates(std::span<const uint8_t> request) {
  return request.empty() || request[0] == kTemplateKind ||
         std::all_of(request.begin(), request.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

TemplateCommands::TemplateCommands(const Profile& profile)
    : piecewise_(profile.piecewise_templates) {}

bool TemplateCommands::Answer(const wire::PacketView& request, const Context& context,
                              Reply& reply) {
  const uint16_t code = request.header.code;
  const std::span<const uint8_t> data = request.payload;
  // The user table has its own lock: ask it before taking this one.
  std::optional<uint16_t> text_pin;
  if (code == kWriteByText || code == kDeleteByText) {
    wire::ByteReader r(data);
    const std::string text(r.FixedText(kTextField));
    if (r.ok()) text_pin = context.pin_of_text(text);
  }

  std::lock_guard lock(mu_);
  switch (code) {
    case wire::CMD_QUERY_DATA: {
      // A buffered read names the command and carries 8 bytes of its request.
      wire::ByteReader r(data);
      r.U8();
      const uint16_t command = r.U16();
      const auto params = r.View(8);
      if (!r.ok()) return false;
      return Download(command, params, true, context, reply);
    }
    case wire::CMD_DB_RRQ:
    case kUserTemplates:
      return Download(code, data, false, context, reply);
    case kPiecewiseAvailable:
      reply.code = piecewise_ ? wire::CMD_ACK_OK : wire::CMD_ACK_UNKNOWN;
      reply.payload.clear();
      return true;
    case kPiecewiseRecords:
      // The records as they are now; 2018 reads them in blocks, 2019 ends.
      if (piecewise_ && in_use_) context.bulk.SetRecordSet(kPiecewiseRecords, store_.Records());
      return false;
    case wire::CMD_USERTEMP_RRQ:
    case kReadWithFlag:
      return Read(code, data, context, reply);
    case wire::CMD_USERTEMP_WRQ:
    case kWriteWithFlag:
    case kWriteByText:
      Write(code, data, context.upload, text_pin, reply);
      return true;
    case wire::CMD_APPEND_USERTEMP:
      Append(data, reply);
      return true;
    case kDeleteTemplate:
      Delete(data, reply);
      return true;
    case kDeleteByText:
      DeleteByText(data, text_pin, reply);
      return true;
    case kIdentify:
      Identify(data, reply);
      return true;
    default:
      return false;
  }
}

// The whole table (7, data kind 2) or one user's templates (6, its PIN),
// counted, as a data set for the bulk side.
bool TemplateCommands::Download(uint16_t command, std::span<const uint8_t> request, bool query,
                                const Context& context, Reply& reply) {
  if (!in_use_) return false;
  std::vector<uint8_t> prefix;
  std::vector<uint8_t> bytes;
  if (command == wire::CMD_DB_RRQ) {
    if (!AsksTemplates(request)) return false;
    if (query && context.unsupported(command, reply)) return true;
    if (store_.empty()) {
      Refuse(reply);  // nothing to prepare
      return true;
    }
    prefix.assign(request.begin(), request.begin() + std::min<size_t>(request.size(), 1));
    bytes = store_.Counted();
  } else if (command == kUserTemplates) {
    if (query && context.unsupported(command, reply)) return true;
    wire::ByteReader r(request);
    const uint16_t pin = r.U16();  // old firmware sends none: PIN 0, no templates
    prefix.assign(request.begin(), request.begin() + std::min<size_t>(request.size(), 2));
    bytes = store_.Counted(pin);
  } else {
    return false;
  }
  context.bulk.SetDataSet(command, std::move(prefix), std::move(bytes));
  return false;
}

// One template (9), or one with its flag byte after it (88): inline, or
// streamed when the terminal's templates are too big for a packet.
bool TemplateCommands::Read(uint16_t command, std::span<const uint8_t> request,
                            const Context& context, Reply& reply) {
  // A shorter command 9 is a user-table request (a data kind, or nothing
  // from old firmware): the bulk data sets answer it.
  if (command == wire::CMD_USERTEMP_RRQ && request.size() < kPinFingerBytes) return false;
  wire::ByteReader r(request);
  const uint16_t pin = r.U16();
  const uint8_t finger = r.U8();
  if (!r.ok()) {
    Refuse(reply, kReasonMalformed);
    return true;
  }
  const FingerTemplate* t = store_.Find(pin, finger);
  if (t == nullptr) {
    Refuse(reply, kReasonNotFound);
    return true;
  }
  std::vector<uint8_t> bytes = t->bytes;
  if (command == kReadWithFlag) bytes.push_back(t->flag);

  bool streamed = command == wire::CMD_USERTEMP_RRQ &&
                  context.options.Get("~QXFPVersion").value_or(std::string()) == "10";
  if (const auto forced = read_streamed_.find(command); forced != read_streamed_.end()) {
    streamed = forced->second;
  }
  if (!streamed && bytes.size() <= context.max_payload) {
    Ok(reply, std::move(bytes));
    return true;
  }
  context.bulk.SetDataSet(command,
                          std::vector<uint8_t>(request.begin(), request.begin() + kPinFingerBytes),
                          std::move(bytes));
  return false;
}

void TemplateCommands::Write(uint16_t command, std::span<const uint8_t> request,
                             const UploadBuffer& upload, std::optional<uint16_t> text_pin,
                             Reply& reply) {
  wire::ByteReader r(request);
  FingerTemplate t;
  if (command == kWriteByText) {
    r.Skip(kTextField);
    t.flag = r.U8();
    t.finger = r.U8();
  } else {
    t.pin = r.U16();
    t.finger = r.U8();
    if (command == kWriteWithFlag) t.flag = r.U8();
  }
  const uint16_t length = r.U16();
  // Version-10 hosts upload the template and send 10 or 87 with the header.
  const auto body = Body(r, length, command != kWriteByText ? &upload : nullptr);
  if (!body) return Refuse(reply, kReasonMalformed);
  if (command == kWriteByText) {
    if (!text_pin) return Refuse(reply, kReasonNotFound);
    t.pin = *text_pin;
  }
  t.bytes.assign(body->begin(), body->end());
  Store(std::move(t), reply);
}

// Into the first free finger of the user: PIN, 255, 8 zero bytes, length,
// template.
void TemplateCommands::Append(std::span<const uint8_t> request, Reply& reply) {
  wire::ByteReader r(request);
  FingerTemplate t;
  t.pin = r.U16();
  r.Skip(9);
  const uint16_t length = r.U16();
  const auto body = Body(r, length, nullptr);
  if (!body || body->empty()) return Refuse(reply, kReasonMalformed);
  const auto finger = store_.FreeFinger(t.pin, kLastAppendFinger);
  if (!finger) return Refuse(reply, kReasonNoRoom);
  t.finger = *finger;
  t.bytes.assign(body->begin(), body->end());
  Store(std::move(t), reply);
}

void TemplateCommands::Store(FingerTemplate t, Reply& reply) {
  if (t.finger > kHighestFinger || !store_.Put(std::move(t))) {
    return Refuse(reply, kReasonMalformed);
  }
  in_use_ = true;
  Ok(reply);
}

void TemplateCommands::Delete(std::span<const uint8_t> request, Reply& reply) {
  wire::ByteReader r(request);
  const uint16_t pin = r.U16();
  const uint8_t finger = r.U8();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  store_.Erase(pin, finger) ? Ok(reply) : Refuse(reply, kReasonNotFound);
}

void TemplateCommands::DeleteByText(std::span<const uint8_t> request,
                                    std::optional<uint16_t> text_pin, Reply& reply) {
  wire::ByteReader r(request);
  r.Skip(kTextField);
  const uint8_t finger = r.U8();
  if (!r.ok()) return Refuse(reply, kReasonMalformed);
  (text_pin && store_.Erase(*text_pin, finger)) ? Ok(reply) : Refuse(reply, kReasonNotFound);
}

// The PIN whose template matches; this terminal's matcher takes only the
// very same bytes, unless a test decides the answer.
void TemplateCommands::Identify(std::span<const uint8_t> request, Reply& reply) const {
  if (request.empty()) return Refuse(reply, kReasonMalformed);
  uint16_t pin = 0;
  if (identify_answer_) {
    pin = *identify_answer_;
  } else if (const FingerTemplate* t = store_.FindBytes(request)) {
    pin = t->pin;
  }
  std::vector<uint8_t> out(kIdentifyAnswerBytes, 0);
  wire::ByteWriter(out).U16(pin);
  Ok(reply, std::move(out));
}

void TemplateCommands::SetTemplates(std::vector<FingerTemplate> templates) {
  std::lock_guard lock(mu_);
  in_use_ = true;
  store_.Replace(std::move(templates));
}

std::vector<FingerTemplate> TemplateCommands::Templates() const {
  std::lock_guard lock(mu_);
  return store_.All();
}

std::optional<FingerTemplate> TemplateCommands::Find(uint16_t pin, uint8_t finger) const {
  std::lock_guard lock(mu_);
  const FingerTemplate* t = store_.Find(pin, finger);
  return t != nullptr ? std::optional<FingerTemplate>(*t) : std::nullopt;
}

std::vector<uint8_t> TemplateCommands::TableBytes() const {
  std::lock_guard lock(mu_);
  return store_.Counted();
}

void TemplateCommands::SetIdentifyAnswer(std::optional<uint16_t> pin) {
  std::lock_guard lock(mu_);
  identify_answer_ = pin;
}

void TemplateCommands::SetReadStreamed(uint16_t command, std::optional<bool> streamed) {
  std::lock_guard lock(mu_);
  if (streamed) {
    read_streamed_[command] = *streamed;
  } else {
    read_streamed_.erase(command);
  }
}

void TemplateCommands::ApplyBatch(std::span<const BatchTemplateChange> changes,
                                  std::span<const std::optional<uint16_t>> pins) {
  std::lock_guard lock(mu_);
  in_use_ = true;
  for (size_t i = 0; i < changes.size() && i < pins.size(); ++i) {
    const BatchTemplateChange& change = changes[i];
    if (!pins[i]) continue;
    const uint16_t pin = *pins[i];
    if (change.code == kBatchDelete) {
      if (change.finger_byte == kBatchAllFingers) {
        store_.EraseUser(pin);
      } else {
        store_.Erase(pin, change.finger_byte);
      }
      continue;
    }
    FingerTemplate t;
    t.pin = pin;
    t.finger = change.finger_byte & 0x0F;
    t.flag = static_cast<uint8_t>(change.finger_byte >> 4);
    if (t.flag == 0) t.flag = 1;
    // An addition keeps a template already there; code 2 replaces it.
    if (change.code == kBatchAdd && store_.Find(pin, t.finger) != nullptr) continue;
    t.bytes.assign(change.tmpl.begin(), change.tmpl.end());
    store_.Put(std::move(t));
  }
}

void TemplateCommands::UserRemoved(uint16_t pin) {
  std::lock_guard lock(mu_);
  store_.EraseUser(pin);
}

void TemplateCommands::DataCleared(int kind) {
  std::lock_guard lock(mu_);
  if (kind == kEverythingKind || kind == kTemplateKind) store_.Clear();
}

}  // namespace termsim
