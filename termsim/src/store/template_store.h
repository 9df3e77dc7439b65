// The terminal's template store: one template per PIN and finger index, and
// the records it sends them in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "bulk/data_sets.h"
#include "termsim/templates.h"

namespace termsim {

// A record's size field counts its 6 header bytes and the template in 16
// bits: longer templates cannot be sent and are not kept.
inline constexpr size_t kTemplateRecordHeader = 6;
inline constexpr size_t kMaxTemplateBytes = 0xFFFF - kTemplateRecordHeader;

class TemplateStore {
 public:
  // Later templates replace earlier ones with the same PIN and finger;
  // empty or too long templates are left out.
  void Replace(std::vector<FingerTemplate> templates);
  // False (nothing stored) for an empty or too long template.
  bool Put(FingerTemplate t);
  std::vector<FingerTemplate> All() const;
  const FingerTemplate* Find(uint16_t pin, uint8_t finger) const;
  // The first stored template whose bytes are exactly `bytes`.
  const FingerTemplate* FindBytes(std::span<const uint8_t> bytes) const;
  // The lowest finger of 0-`last` the PIN has no template for.
  std::optional<uint8_t> FreeFinger(uint16_t pin, uint8_t last) const;
  bool Erase(uint16_t pin, uint8_t finger);
  void EraseUser(uint16_t pin);
  void Clear() { templates_.clear(); }
  bool empty() const { return templates_.empty(); }

  // The templates as one record each (size, PIN, finger, flag, bytes), by
  // PIN and finger; only those of `pin` when given.
  RecordList Records(std::optional<uint16_t> pin = std::nullopt) const;
  // The same records led by their 32-bit byte count.
  std::vector<uint8_t> Counted(std::optional<uint16_t> pin = std::nullopt) const;

 private:
  std::map<std::pair<uint16_t, uint8_t>, FingerTemplate> templates_;
};

}  // namespace termsim
