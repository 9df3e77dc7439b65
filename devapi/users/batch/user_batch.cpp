// User writes and deletions queued in an open batch, and the batch's list
// of the users it creates.
#include <algorithm>
#include <array>

#include "users/batch/batch_entries.h"
#include "users/batch/batch_streams.h"
#include "users/fingerprint_batch_seam.h"
#include "users/user_batch_seam.h"
#include "users/user_numbers.h"
#include "users/user_records.h"
#include "wire/le_bytes.h"

namespace users {

namespace {

using BatchState = devapi::DeviceSession::BatchState;
using UserForm = BatchState::UserForm;
using OpForm = BatchState::OpForm;
using Kind = UserBatchEntry::Kind;

constexpr std::array<uint8_t, 1> kWriteCode{kEntryWrite};
constexpr std::array<uint8_t, 1> kDeleteCode{kEntryDelete};

// The whole records of the new-user list.
std::span<const uint8_t> NewUserRecords(const BatchState& b) {
  if (b.new_users.size() < kNewUsersLead) return {};
  const auto records = std::span<const uint8_t>(b.new_users).subspan(kNewUsersLead);
  return records.first(records.size() / kExtendedRecordSize * kExtendedRecordSize);
}

int32_t AppendWrite(BatchState& b, const UserBatchEntry& e) {
  const bool tft = e.kind == Kind::kTftWrite;
  const size_t size = tft ? kTftRecordSize : kExtendedRecordSize;
  if (e.record.size() != size) return kBatchFull;
  const UserForm form = tft ? UserForm::kTft : UserForm::kExtended;
  if (!FormFits(b.user_form, form)) return kBatchOtherForm;
  const BatchPiece entry{b.user_entries, kBatchUserEntriesCap, kWriteCode, e.record};
  int32_t result = kBatchTaken;
  if (e.new_user) {
    // The list starts with its byte count, kept up to date below.
    const std::array<uint8_t, kNewUsersLead> lead{};
    const auto head =
        b.new_users.empty() ? std::span<const uint8_t>(lead) : std::span<const uint8_t>();
    result = AppendToBatch({entry, {b.new_users, kBatchNewUsersCap, head, e.record}});
    if (result == kBatchTaken) {
      wire::ByteWriter(std::span(b.new_users).first(kNewUsersLead))
          .U32(static_cast<uint32_t>(b.new_users.size() - kNewUsersLead));
    }
  } else {
    result = AppendToBatch({entry});
  }
  if (result == kBatchTaken) b.user_form = form;
  return result;
}

int32_t AppendDeletion(BatchState& b, const UserBatchEntry& e) {
  const UserForm form = e.kind == Kind::kDeleteByPin ? UserForm::kExtended : UserForm::kTft;
  const bool by_text = e.kind == Kind::kDeleteByIdText;
  const OpForm op_form = by_text ? OpForm::kIdText : OpForm::kPin;
  if (!FormFits(b.user_form, form) || !FormFits(b.op_form, op_form)) return kBatchOtherForm;
  if (!IsValidPin(e.pin)) return 0;  // nobody to delete
  const auto pin = static_cast<uint16_t>(e.pin);
  const auto extended = ExtendedDeletion(pin);
  const auto narrow = PinDeletion(pin);
  const auto record = form == UserForm::kExtended ? std::span<const uint8_t>(extended)
                                                  : std::span<const uint8_t>(narrow);
  // The user's templates go with it.
  const auto pin_op = PinOperation(kOpDelete, pin, kAllFingers, kNoOffset);
  const auto id_op = IdOperation(kOpDelete, e.id_text, kAllFingers, kNoOffset);
  const auto op = by_text ? std::span<const uint8_t>(id_op) : std::span<const uint8_t>(pin_op);
  const int32_t result = AppendToBatch({{b.user_entries, kBatchUserEntriesCap, kDeleteCode, record},
                                        {b.template_ops, kBatchOpsCap, op}});
  if (result == kBatchTaken) {
    b.user_form = form;
    b.op_form = op_form;
  }
  return result;
}

}  // namespace

std::optional<int32_t> BatchTakesUserEntry(devapi::DeviceSession& s, const UserBatchEntry& e) {
  if (!s.batch.active) return std::nullopt;
  switch (e.kind) {
    case Kind::kExtendedWrite:
    case Kind::kTftWrite:
      return AppendWrite(s.batch, e);
    case Kind::kDeleteByPin:
    case Kind::kDeleteByNumber:
    case Kind::kDeleteByIdText:
      return AppendDeletion(s.batch, e);
  }
  return std::nullopt;
}

std::span<const uint8_t> BatchNewUserByPin2(const devapi::DeviceSession& s, uint32_t pin2) {
  if (!s.batch.active) return {};
  const auto records = NewUserRecords(s.batch);
  for (size_t at = 0; at < records.size(); at += kExtendedRecordSize) {
    const auto record = records.subspan(at, kExtendedRecordSize);
    if (RecordPin2(record) == pin2) return record;
  }
  return {};
}

void MarkBatchNewUserPins(const devapi::DeviceSession& s, std::span<uint8_t> map) {
  if (!s.batch.active) return;
  const auto records = NewUserRecords(s.batch);
  for (size_t at = 0; at < records.size(); at += kExtendedRecordSize) {
    const uint16_t pin = RecordPin(records.subspan(at, kExtendedRecordSize));
    if (pin < map.size()) map[pin] = 1;
  }
}

}  // namespace users
