#include "free_sizes.h"

#include <array>

#include "wire/le_bytes.h"

namespace termsim {

namespace {

// Word positions of the counters a host reads; the rest stay 0.
enum Word : size_t {
  kUsers = 4,
  kFingerprints = 6,
  kAttendanceRecords = 8,
  kOperationRecords = 10,
  kAdministrators = 12,
  kPasswords = 13,
  kFingerprintCapacity = 14,
  kUserCapacity = 15,
  kRecordCapacity = 16,
  kFingerprintsFree = 17,
  kUsersFree = 18,
  kRecordsFree = 19,
  kFaces = 20,
  kFaceCapacity = 22,
};

// A small, half-used terminal; fixed, so tests can count on the numbers.
constexpr uint32_t kUserCount = 12;
constexpr uint32_t kFingerprintCount = 20;
constexpr uint32_t kRecordCount = 345;
constexpr uint32_t kFingerprintMax = 3000;
constexpr uint32_t kUserMax = 10000;
constexpr uint32_t kRecordMax = 100000;

}  // namespace

std::vector<uint8_t> FreeSizesPayload() {
  std::array<uint32_t, kFreeSizesWords> words{};
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

  std::vector<uint8_t> out(kFreeSizesWords * 4);
  wire::ByteWriter w(out);
  for (uint32_t v : words) w.U32(v);
  return out;
}

}  // namespace termsim
