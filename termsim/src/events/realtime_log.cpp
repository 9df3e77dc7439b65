#include "events/realtime_log.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {
namespace {

constexpr size_t kTftRecord = 38;
constexpr size_t kLongRecord = 18;
constexpr size_t kShortRecord = 16;
constexpr size_t kCountSize = 4;

// Build dates in firmware texts look like "Ver 6.60 Oct 26 2009".
int MonthNumber(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (kMonths[i] == name) return static_cast<int>(i) + 1;
  }
  return 0;
}

// Version 6.18 built after 2007-08-07, or any later version.
bool NewerThan618Of20070807(const std::string& firmware) {
  int major = 0;
  int minor = 0;
  char month[4] = {};
  int day = 0;
  int year = 0;
  const int fields =
      std::sscanf(firmware.c_str(), "Ver %d.%d %3s %d %d", &major, &minor, month, &day, &year);
  if (fields < 2) return false;
  if (major != 6 || minor != 18) return major > 6 || (major == 6 && minor > 18);
  if (fields < 5) return false;
  const long date = year * 10000L + MonthNumber(month) * 100L + day;
  return date > 20070807L;
}

}  // namespace

size_t RealtimeRecordSize(const std::string& firmware, const std::string& platform) {
  if (platform.find("TFT") != std::string::npos) return kTftRecord;
  return NewerThan618Of20070807(firmware) ? kLongRecord : kShortRecord;
}

RealtimeLog::RealtimeLog(size_t record_size) : record_size_(record_size) {}

void RealtimeLog::Add(uint16_t code, std::span<const uint8_t> payload) {
  std::vector<uint8_t> record(record_size_, 0);
  wire::ByteWriter w(record);
  w.U16(code);
  w.Bytes(payload.first(std::min(payload.size(), w.remaining())));
  queue_.push_back(std::move(record));
}

size_t RealtimeLog::BatchCapacity(size_t max_payload) const {
  const size_t room = std::min(max_payload, kMaxPayload);
  return room > kCountSize ? (room - kCountSize) / record_size_ : 0;
}

void RealtimeLog::AnswerPoll(std::span<const uint8_t> data, uint32_t count_excess, Reply& reply,
                             size_t max_payload) {
  wire::ByteReader r(data);
  const uint32_t sequence = r.U32();
  if (!r.ok()) {
    reply.code = wire::CMD_ACK_ERROR;
    return;
  }
  ++counts_.polls;
  counts_.last_sequence = sequence;
  if (batch_sequence_ == sequence && !batch_.empty()) {
    ++counts_.repeated;  // the host missed our last answer
  } else {
    // A new number: the host has the last batch. The next one follows.
    batch_.clear();
    const size_t take = std::min(queue_.size(), BatchCapacity(max_payload));
    for (size_t i = 0; i < take; ++i) {
      batch_.insert(batch_.end(), queue_.front().begin(), queue_.front().end());
      queue_.pop_front();
    }
    batch_sequence_ = sequence;
  }
  std::vector<uint8_t> payload(kCountSize + batch_.size());
  wire::ByteWriter w(payload);
  w.U32(static_cast<uint32_t>(batch_.size()) + count_excess);
  w.Bytes(batch_);
  reply.code = wire::CMD_ACK_OK;
  reply.payload = std::move(payload);
}

}  // namespace termsim
