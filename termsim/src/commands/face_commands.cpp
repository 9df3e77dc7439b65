#include "commands/face_commands.h"

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr uint16_t kReadFaces = 150;
constexpr uint16_t kWriteFaces = 151;
constexpr uint16_t kDeleteFaces = 152;
constexpr uint16_t kGetValidity = 10020;
constexpr uint16_t kSetValidity = 10021;

constexpr uint16_t kReasonMalformed = 1;
constexpr uint16_t kReasonNotFound = 2;

constexpr size_t kTextField = 24;
constexpr size_t kFaceHeader = 28;      // text 24, 0, index, u16 length
constexpr size_t kFaceSelector = 26;    // the header without its length
constexpr size_t kValidityRecord = 40;  // text 24, four u32
constexpr uint8_t kAllFaces = 50;
constexpr size_t kIndexAt = 4;  // of a face record

struct FaceHeader {
  uint8_t index = 0;
  uint16_t length = 0;
};

std::optional<FaceHeader> ReadHeader(std::span<const uint8_t> data) {
  if (data.size() < kFaceHeader) return std::nullopt;
  wire::ByteReader r(data);
  r.Skip(kTextField + 1);
  FaceHeader h;
  h.index = r.U8();
  h.length = r.U16();
  return h;
}

}  // namespace

bool FaceCommands::NamesUser(uint16_t code) {
  return code == kReadFaces || code == kWriteFaces || code == kDeleteFaces ||
         code == kGetValidity || code == kSetValidity;
}

bool FaceCommands::Answer(uint16_t code, std::span<const uint8_t> data,
                          std::optional<uint16_t> text_pin, const UploadBuffer& upload,
                          BulkTerminal& bulk, Reply& reply) {
  std::lock_guard lock(mu_);
  switch (code) {
    case kReadFaces:
      return Read(data, text_pin, bulk, reply);
    case kWriteFaces:
      Write(data, text_pin, upload, reply);
      return true;
    case kDeleteFaces:
      Delete(data, text_pin, reply);
      return true;
    case kGetValidity:
      GetValidity(data, text_pin, reply);
      return true;
    case kSetValidity:
      SetValidity(data, text_pin, reply);
      return true;
    default:
      return false;
  }
}

// The records of one index, or of all (50), handed to the bulk side as the
// data set of this very request.
bool FaceCommands::Read(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                        BulkTerminal& bulk, Reply& reply) {
  const auto header = ReadHeader(data);
  if (!header) {
    Refuse(reply, kReasonMalformed);
    return true;
  }
  std::vector<uint8_t> bytes;
  if (pin) {
    for (const auto& [key, record] : faces_) {
      if (key.first == *pin && (header->index == kAllFaces || key.second == header->index)) {
        bytes.insert(bytes.end(), record.begin(), record.end());
      }
    }
  }
  if (bytes.empty()) {
    Refuse(reply, kReasonNotFound);
    return true;
  }
  bulk.SetDataSet(kReadFaces, Bytes(data.begin(), data.begin() + kFaceSelector),
                  std::move(bytes));
  return false;
}

// The records come as the upload before the command; each is stored under
// the user's PIN and the index it names.
void FaceCommands::Write(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                         const UploadBuffer& upload, Reply& reply) {
  const auto header = ReadHeader(data);
  if (!header || !upload.complete() || upload.data().size() != header->length ||
      header->length == 0 || header->length % kFaceRecordBytes != 0) {
    return Refuse(reply, kReasonMalformed);
  }
  if (!pin) return Refuse(reply, kReasonNotFound);
  const auto& bytes = upload.data();
  for (size_t at = 0; at < bytes.size(); at += kFaceRecordBytes) {
    std::vector<uint8_t> record(bytes.begin() + at, bytes.begin() + at + kFaceRecordBytes);
    wire::StoreU16(std::span<uint8_t, 2>(record.data() + 2, 2), *pin);
    faces_[{*pin, record[kIndexAt]}] = std::move(record);
  }
  Ok(reply);
}

void FaceCommands::Delete(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                          Reply& reply) {
  const auto header = ReadHeader(data);
  if (!header) return Refuse(reply, kReasonMalformed);
  size_t erased = 0;
  for (auto it = faces_.begin(); pin && it != faces_.end();) {
    if (it->first.first == *pin &&
        (header->index == kAllFaces || it->first.second == header->index)) {
      it = faces_.erase(it);
      ++erased;
    } else {
      ++it;
    }
  }
  erased > 0 ? Ok(reply) : Refuse(reply, kReasonNotFound);
}

void FaceCommands::GetValidity(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                               Reply& reply) const {
  if (data.size() < kTextField) return Refuse(reply, kReasonMalformed);
  const auto found = pin ? validity_.find(*pin) : validity_.end();
  if (found == validity_.end()) return Refuse(reply, kReasonNotFound);
  std::vector<uint8_t> out(kValidityRecord, 0);
  wire::ByteWriter w(out);
  w.Bytes(data.first(kTextField));
  w.U32(found->second.value1);
  w.U32(found->second.value2);
  w.U32(found->second.start);
  w.U32(found->second.end);
  Ok(reply, std::move(out));
}

void FaceCommands::SetValidity(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                               Reply& reply) {
  if (data.size() != kValidityRecord) return Refuse(reply, kReasonMalformed);
  if (!pin) return Refuse(reply, kReasonNotFound);
  wire::ByteReader r(data);
  r.Skip(kTextField);
  ValidityPeriod v;
  v.value1 = r.U32();
  v.value2 = r.U32();
  v.start = r.U32();
  v.end = r.U32();
  validity_[*pin] = v;
  Ok(reply);
}

void FaceCommands::SetFaces(std::vector<Face> faces) {
  std::lock_guard lock(mu_);
  faces_.clear();
  for (auto& f : faces) {
    f.record.resize(kFaceRecordBytes, 0);
    wire::StoreU16(std::span<uint8_t, 2>(f.record.data() + 2, 2), f.pin);
    f.record[kIndexAt] = f.index;
    faces_[{f.pin, f.index}] = std::move(f.record);
  }
}

std::vector<Face> FaceCommands::Faces() const {
  std::lock_guard lock(mu_);
  std::vector<Face> out;
  for (const auto& [key, record] : faces_) out.push_back({key.first, key.second, record});
  return out;
}

void FaceCommands::SetValidityPeriods(std::map<uint16_t, ValidityPeriod> periods) {
  std::lock_guard lock(mu_);
  validity_ = std::move(periods);
}

std::map<uint16_t, ValidityPeriod> FaceCommands::ValidityPeriods() const {
  std::lock_guard lock(mu_);
  return validity_;
}

void FaceCommands::UserRemoved(uint16_t pin) {
  std::lock_guard lock(mu_);
  std::erase_if(faces_, [pin](const auto& entry) { return entry.first.first == pin; });
  validity_.erase(pin);
}

}  // namespace termsim
