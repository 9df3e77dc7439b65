// The data sets a terminal hands out in bulk, by command and request.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace termsim {

using Bytes = std::vector<uint8_t>;
using RecordList = std::vector<Bytes>;

class DataSetStore {
 public:
  void Set(uint16_t command, Bytes request_prefix, Bytes bytes);
  void SetRecords(uint16_t command, RecordList records);
  void Clear();

  // The data set answering `command` with `request`: the one with the
  // longest prefix that the request begins with; null when none.
  std::shared_ptr<const Bytes> Find(uint16_t command, std::span<const uint8_t> request) const;
  // The records read piecewise with `command`; null when none.
  std::shared_ptr<const RecordList> Records(uint16_t command) const;

 private:
  // By command, then by request prefix.
  std::map<uint16_t, std::map<Bytes, std::shared_ptr<const Bytes>>> sets_;
  std::map<uint16_t, std::shared_ptr<const RecordList>> records_;
};

}  // namespace termsim
