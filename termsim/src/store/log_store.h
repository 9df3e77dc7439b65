// A log as a terminal stores it: records in the order they were stored,
// each with a serial number that keeps counting across deletions, and the
// new-record mark that says which records a host has already taken.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace termsim {

template <typename Record>
class SerialLog {
 public:
  struct Entry {
    uint64_t serial;
    Record record;
  };

  // Replaces the log; every record counts as new.
  void Replace(std::vector<Record> records) {
    entries_.clear();
    next_serial_ = 1;
    mark_ = pending_ = 0;
    Append(std::move(records));
  }
  void Append(std::vector<Record> records) {
    for (auto& r : records) entries_.push_back({next_serial_++, std::move(r)});
  }
  void Clear() { entries_.clear(); }
  template <typename Pred>
  void EraseIf(Pred pred) {
    std::erase_if(entries_, [&](const Entry& e) { return pred(e.record); });
  }

  std::vector<Record> Records() const {
    return Select([](const Record&) { return true; });
  }
  template <typename Pred>
  std::vector<Record> Select(Pred pred) const {
    std::vector<Record> out;
    for (const Entry& e : entries_) {
      if (pred(e.record)) out.push_back(e.record);
    }
    return out;
  }

  // The records stored after serial number `after` (0: the new-record
  // mark). They are remembered as taken by the next Confirm().
  std::vector<Record> TakeNew(uint64_t after) {
    const uint64_t from = after != 0 ? after : mark_;
    std::vector<Record> out;
    for (const Entry& e : entries_) {
      if (e.serial > from) {
        out.push_back(e.record);
        pending_ = std::max(pending_, e.serial);
      }
    }
    return out;
  }
  void Confirm() { mark_ = std::max(mark_, pending_); }

 private:
  std::vector<Entry> entries_;
  uint64_t next_serial_ = 1;
  uint64_t mark_ = 0;     // serial of the last record a host confirmed
  uint64_t pending_ = 0;  // serial of the last record sent, not yet confirmed
};

}  // namespace termsim
