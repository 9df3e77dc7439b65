#include "store/free_sizes.h"

#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Word positions of the counters, with the status number a host asks for
// in brackets; the rest stay 0.
enum Word : size_t {
  kUsers = 4,                 // (2)
  kFingerprints = 6,          // (3)
  kAttendanceRecords = 8,     // (6)
  kOperationRecords = 10,     // (5)
  kAdministrators = 12,       // (1)
  kPasswords = 13,            // (4)
  kFingerprintCapacity = 14,  // (7)
  kUserCapacity = 15,         // (8)
  kRecordCapacity = 16,       // (9)
  kFingerprintsFree = 17,     // (10)
  kUsersFree = 18,            // (11)
  kRecordsFree = 19,          // (12)
  kFaces = 20,                // (21)
  kFaceCapacity = 22,         // (22)
};

constexpr uint32_t kUserCount = 12;
constexpr uint32_t kFingerprintCount = 20;
constexpr uint32_t kRecordCount = 345;
constexpr uint32_t kFingerprintMax = 3000;
constexpr uint32_t kUserMax = 10000;
constexpr uint32_t kRecordMax = 100000;

constexpr size_t kWordNumberBytes = 4;

}  // namespace

StorageWords MakeStorageWords(const std::map<int, uint32_t>& overrides) {
  StorageWords words{};
  words[kUsers] = kUserCount;
  words[kFingerprints] = kFingerprintCount;
  words[kAttendanceRecords] = kRecordCount;
  words[kOperationRecords] = 67;
  words[kAdministrators] = 1;
  words[kPasswords] = 3;
  words[kFingerprintCapacity] = kFingerprintMax;
  words[kUserCapacity] = kUserMax;
  words[kRecordCapacity] = kRecordMax;
  words[kFingerprintsFree] = kFingerprintMax - kFingerprintCount;
  words[kUsersFree] = kUserMax - kUserCount;
  words[kRecordsFree] = kRecordMax - kRecordCount;
  words[kFaces] = 0;
  words[kFaceCapacity] = 400;
  for (const auto& [word, value] : overrides) {
    if (word >= 0 && static_cast<size_t>(word) < words.size()) words[word] = value;
  }
  return words;
}

void AnswerFreeSizes(const StorageWords& words, std::span<const uint8_t> request, Reply& reply) {
  reply.payload.clear();
  if (request.empty()) {
    reply.payload.resize(words.size() * 4);
    wire::ByteWriter w(reply.payload);
    for (uint32_t v : words) w.U32(v);
    reply.code = wire::CMD_ACK_OK;
    return;
  }
  wire::ByteReader r(request);
  const uint32_t word = r.U32();
  if (request.size() != kWordNumberBytes || word >= words.size()) {
    reply.code = wire::CMD_ACK_ERROR;
    return;
  }
  reply.payload.resize(4);
  wire::ByteWriter(reply.payload).U32(words[word]);
  reply.code = wire::CMD_ACK_OK;
}

}  // namespace termsim
