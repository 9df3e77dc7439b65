#include "store/template_store.h"

#include <algorithm>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

bool Storable(const FingerTemplate& t) {
  return !t.bytes.empty() && t.bytes.size() <= kMaxTemplateBytes;
}

Bytes Record(const FingerTemplate& t) {
  Bytes out(kTemplateRecordHeader + t.bytes.size());
  wire::ByteWriter w(out);
  w.U16(static_cast<uint16_t>(out.size()));
  w.U16(t.pin);
  w.U8(t.finger);
  w.U8(t.flag);
  w.Bytes(t.bytes);
  return out;
}

}  // namespace

void TemplateStore::Replace(std::vector<FingerTemplate> templates) {
  templates_.clear();
  for (auto& t : templates) Put(std::move(t));
}

bool TemplateStore::Put(FingerTemplate t) {
  if (!Storable(t)) return false;
  const auto key = std::make_pair(t.pin, t.finger);
  templates_[key] = std::move(t);
  return true;
}

std::vector<FingerTemplate> TemplateStore::All() const {
  std::vector<FingerTemplate> out;
  out.reserve(templates_.size());
  for (const auto& [key, t] : templates_) out.push_back(t);
  return out;
}

const FingerTemplate* TemplateStore::Find(uint16_t pin, uint8_t finger) const {
  const auto it = templates_.find({pin, finger});
  return it == templates_.end() ? nullptr : &it->second;
}

const FingerTemplate* TemplateStore::FindBytes(std::span<const uint8_t> bytes) const {
  for (const auto& [key, t] : templates_) {
    if (std::equal(t.bytes.begin(), t.bytes.end(), bytes.begin(), bytes.end())) return &t;
  }
  return nullptr;
}

std::optional<uint8_t> TemplateStore::FreeFinger(uint16_t pin, uint8_t last) const {
  for (unsigned finger = 0; finger <= last; ++finger) {
    if (!templates_.contains({pin, static_cast<uint8_t>(finger)})) {
      return static_cast<uint8_t>(finger);
    }
  }
  return std::nullopt;
}

bool TemplateStore::Erase(uint16_t pin, uint8_t finger) {
  return templates_.erase({pin, finger}) != 0;
}

void TemplateStore::EraseUser(uint16_t pin) {
  const auto first = templates_.lower_bound({pin, 0});
  const auto last = templates_.upper_bound({pin, 0xFF});
  templates_.erase(first, last);
}

RecordList TemplateStore::Records(std::optional<uint16_t> pin) const {
  RecordList out;
  for (const auto& [key, t] : templates_) {
    if (!pin || t.pin == *pin) out.push_back(Record(t));
  }
  return out;
}

std::vector<uint8_t> TemplateStore::Counted(std::optional<uint16_t> pin) const {
  const RecordList records = Records(pin);
  size_t total = 0;
  for (const Bytes& r : records) total += r.size();
  std::vector<uint8_t> out(4 + total);
  wire::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(total));
  for (const Bytes& r : records) w.Bytes(r);
  return out;
}

}  // namespace termsim
