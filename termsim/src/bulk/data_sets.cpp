#include "bulk/data_sets.h"

#include <algorithm>

namespace termsim {

void DataSetStore::Set(uint16_t command, Bytes request_prefix, Bytes bytes) {
  sets_[command][std::move(request_prefix)] = std::make_shared<const Bytes>(std::move(bytes));
}

void DataSetStore::SetRecords(uint16_t command, RecordList records) {
  records_[command] = std::make_shared<const RecordList>(std::move(records));
}

void DataSetStore::Clear() {
  sets_.clear();
  records_.clear();
}

std::shared_ptr<const Bytes> DataSetStore::Find(uint16_t command,
                                                std::span<const uint8_t> request) const {
  const auto sets = sets_.find(command);
  if (sets == sets_.end()) return nullptr;
  std::shared_ptr<const Bytes> best;
  size_t best_length = 0;
  for (const auto& [prefix, bytes] : sets->second) {
    const bool matches = prefix.size() <= request.size() &&
                         std::equal(prefix.begin(), prefix.end(), request.begin());
    if (matches && (!best || prefix.size() > best_length)) {
      best = bytes;
      best_length = prefix.size();
    }
  }
  return best;
}

std::shared_ptr<const RecordList> DataSetStore::Records(uint16_t command) const {
  const auto it = records_.find(command);
  return it == records_.end() ? nullptr : it->second;
}

}  // namespace termsim
