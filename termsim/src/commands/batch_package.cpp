#include "commands/batch_package.h"

#include <map>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

constexpr size_t kHeadBytes = 12;
constexpr size_t kIdTextBytes = 24;
constexpr size_t kTftDeletionBytes = 4;
constexpr size_t kWideDeletionBytes = 28;
constexpr int32_t kNoOffset = -1;

bool Addressable(uint32_t pin) { return pin != 0 && pin < 0xFFFF; }

std::optional<std::vector<BatchUserChange>> ReadUsers(std::span<const uint8_t> stream,
                                                      UserRecordLayout layout) {
  const bool tft = layout == UserRecordLayout::kTft;
  const size_t record_bytes = UserRecordBytes(tft ? UserRecordLayout::kTft
                                                  : UserRecordLayout::kExtended);
  std::vector<BatchUserChange> out;
  wire::ByteReader r(stream);
  while (r.remaining() > 0) {
    BatchUserChange change;
    const uint8_t code = r.U8();
    if (code == kBatchAddOrReplace) {
      change.record = r.View(record_bytes);
      change.pin = wire::ByteReader(change.record).U16();
    } else if (code == kBatchDelete) {
      change.erase = true;
      const auto deletion = r.View(tft ? kTftDeletionBytes : kWideDeletionBytes);
      wire::ByteReader d(deletion);
      const uint32_t pin = tft ? d.U32() : d.U16();
      if (!Addressable(pin)) return std::nullopt;
      change.pin = static_cast<uint16_t>(pin);
    } else {
      return std::nullopt;
    }
    if (!r.ok() || !Addressable(change.pin)) return std::nullopt;
    out.push_back(change);
  }
  return out;
}

// The template data entries by the offset they start at.
std::optional<std::map<uint32_t, std::span<const uint8_t>>> ReadTemplates(
    std::span<const uint8_t> stream) {
  std::map<uint32_t, std::span<const uint8_t>> out;
  wire::ByteReader r(stream);
  while (r.remaining() > 0) {
    const auto start = static_cast<uint32_t>(r.position());
    const uint16_t length = r.U16();
    const auto bytes = r.View(length);
    if (!r.ok() || length == 0) return std::nullopt;
    out.emplace(start, bytes);
  }
  return out;
}

std::optional<std::vector<BatchTemplateChange>> ReadOperations(
    std::span<const uint8_t> stream, bool by_id_text,
    const std::map<uint32_t, std::span<const uint8_t>>& templates) {
  std::vector<BatchTemplateChange> out;
  wire::ByteReader r(stream);
  while (r.remaining() > 0) {
    BatchTemplateChange change;
    change.code = r.U8();
    if (by_id_text) {
      change.id_text = r.FixedText(kIdTextBytes);
    } else {
      change.pin = r.U16();
    }
    change.finger_byte = r.U8();
    const int32_t offset = r.I32();
    if (!r.ok() || (!by_id_text && !Addressable(change.pin))) return std::nullopt;
    if (change.code == kBatchDelete) {
      if (offset != kNoOffset) return std::nullopt;
    } else if (change.code == kBatchAdd || change.code == kBatchAddOrReplace) {
      const auto entry = offset < 0 ? templates.end() : templates.find(static_cast<uint32_t>(offset));
      if (entry == templates.end()) return std::nullopt;
      change.tmpl = entry->second;
    } else {
      return std::nullopt;
    }
    out.push_back(change);
  }
  return out;
}

}  // namespace

std::optional<BatchPackage> ParseBatchPackage(std::span<const uint8_t> package,
                                              UserRecordLayout layout, bool ops_by_id_text) {
  wire::ByteReader head(package);
  const uint64_t users = head.U32();
  const uint64_t ops = head.U32();
  const uint64_t data = head.U32();
  if (!head.ok() || kHeadBytes + users + ops + data != package.size()) return std::nullopt;
  const auto body = package.subspan(kHeadBytes);
  const auto user_stream = body.first(static_cast<size_t>(users));
  const auto op_stream = body.subspan(static_cast<size_t>(users), static_cast<size_t>(ops));
  const auto data_stream = body.subspan(static_cast<size_t>(users + ops));

  const auto templates = ReadTemplates(data_stream);
  if (!templates) return std::nullopt;
  auto user_changes = ReadUsers(user_stream, layout);
  auto template_changes = ReadOperations(op_stream, ops_by_id_text, *templates);
  if (!user_changes || !template_changes) return std::nullopt;
  return BatchPackage{std::move(*user_changes), std::move(*template_changes)};
}

}  // namespace termsim
