// The real-time log that hosts poll with command 90: records of what
// happened on the terminal, handed out in batches. A host that got a batch
// asks for the next one with a new sequence number; the same number again
// means its last answer got lost, and the same batch is sent again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/reply.h"
#include "termsim/simulator.h"

namespace termsim {

inline constexpr uint16_t kRealtimeLogPoll = 90;

// Record size by the kind of terminal: colour-screen terminals keep 38-byte
// records, firmware newer than 6.18 of 2007-08-07 keeps 18 bytes, older
// firmware 16. Each record is a 16-bit code and its payload.
size_t RealtimeRecordSize(const std::string& firmware, const std::string& platform);

class RealtimeLog {
 public:
  explicit RealtimeLog(size_t record_size);

  size_t record_size() const { return record_size_; }

  // Queues a record; the payload is cut or padded with zeros to fit.
  void Add(uint16_t code, std::span<const uint8_t> payload);
  size_t queued() const { return queue_.size(); }

  // Answers a poll (the command's data: a 32-bit sequence number). The
  // answer is a 32-bit byte count and the records; `count_excess` is added
  // to the count without adding bytes. The answer's payload stays within
  // `max_payload` (and within one UDP packet on any link).
  void AnswerPoll(std::span<const uint8_t> data, uint32_t count_excess, Reply& reply,
                  size_t max_payload = kMaxPayload);

  RealtimePollCounts counts() const { return counts_; }

 private:
  // Records of one answer: as many as fit beside the count in one packet.
  size_t BatchCapacity(size_t max_payload) const;

  const size_t record_size_;
  std::deque<std::vector<uint8_t>> queue_;
  std::vector<uint8_t> batch_;  // the records of the last answer
  std::optional<uint32_t> batch_sequence_;
  RealtimePollCounts counts_;
};

}  // namespace termsim
