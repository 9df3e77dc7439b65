// The terminal's side of bulk data: streamed answers to the commands that
// have a data set, data prepared in memory for buffered reads, and records
// read piecewise in large blocks. Thread-safe: the terminal model calls it
// from the receive loop while tests change data sets and faults.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "bulk/data_sets.h"
#include "bulk/faults.h"
#include "commands/reply.h"
#include "termsim/simulator.h"
#include "wire/packet.h"

namespace termsim {

class BulkTerminal {
 public:
  void SetDataSet(uint16_t command, Bytes request_prefix, Bytes bytes);
  void SetRecordSet(uint16_t command, RecordList records);
  void ClearDataSets();
  void SetOptions(const BulkOptions& options);
  void SetFaults(const BulkFaults& faults);
  size_t PreparedCount() const;

  // Answers `request` of the conversation `session` when it is a bulk
  // command or asks for a data set; false (reply untouched) otherwise.
  // `max_payload` is what one packet carries on the conversation's link:
  // inline answers up to it, data packets never above it.
  bool Answer(uint16_t session, const wire::PacketView& request, size_t max_payload,
              Reply& reply);
  // CMD_FREE_DATA: the conversation's prepared data is dropped.
  void Release(uint16_t session);

 private:
  // What one conversation has prepared.
  struct Prepared {
    std::optional<Bytes> memory;                // for CMD_READ_DATA
    std::shared_ptr<const RecordList> records;  // for command 2018
  };

  void Query(uint16_t session, std::span<const uint8_t> payload, size_t max_payload, Reply& reply);
  void ReadMemory(uint16_t session, const wire::PacketView& request, size_t max_payload,
                  Reply& reply);
  void Stream(std::span<const uint8_t> data, uint16_t counter, const TransferFaults& faults,
              bool damage_last, size_t max_payload, Reply& reply);
  void CountRecords(uint16_t session, std::shared_ptr<const RecordList> records, Reply& reply);
  void LargeBlock(uint16_t session, const wire::PacketView& request, size_t max_payload,
                  Reply& reply);
  // Bytes per data packet: the configured chunk, within what a packet carries.
  uint32_t ChunkSize(size_t max_payload) const;

  mutable std::mutex mu_;
  DataSetStore store_;
  BulkOptions options_;
  BulkFaultPlan faults_;
  std::map<uint16_t, Prepared> prepared_;
};

}  // namespace termsim
