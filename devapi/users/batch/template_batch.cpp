// Template writes and deletions queued in an open batch.
#include <array>

#include "users/batch/batch_entries.h"
#include "users/batch/batch_streams.h"
#include "users/fingerprint_batch_seam.h"
#include "users/user_numbers.h"

namespace users {

using OpForm = devapi::DeviceSession::BatchState::OpForm;

std::optional<int32_t> BatchTakesTemplateOperation(devapi::DeviceSession& s,
                                                   const TemplateBatchOperation& op) {
  auto& b = s.batch;
  if (!b.active) return std::nullopt;
  const OpForm form = op.by_id_text ? OpForm::kIdText : OpForm::kPin;
  if (!FormFits(b.op_form, form)) return kBatchOtherForm;
  // A user the terminal does not know is not queued: it would refuse it.
  if (!op.by_id_text && !IsValidPin(op.pin)) return 0;
  // Templates beyond a 16-bit length cannot be described in the data.
  if (op.tmpl.size() > 0xFFFF) return kBatchFull;

  const uint8_t code = op.erase ? kOpDelete : (b.overwrite ? kOpAddOrReplace : kOpAdd);
  const auto offset = op.erase ? kNoOffset : static_cast<int32_t>(b.template_data.size());
  const auto pin = static_cast<uint16_t>(op.pin);
  const auto pin_op = PinOperation(code, pin, op.finger, offset);
  const auto id_op = IdOperation(code, op.id_text, op.finger, offset);
  const BatchPiece operation{b.template_ops, kBatchOpsCap,
                             op.by_id_text ? std::span<const uint8_t>(id_op)
                                           : std::span<const uint8_t>(pin_op)};
  const auto length = TemplateLength(static_cast<uint16_t>(op.tmpl.size()));
  const int32_t result =
      op.erase ? AppendToBatch({operation})
               : AppendToBatch({operation, {b.template_data, kBatchTemplateDataCap, length,
                                            op.tmpl}});
  if (result == kBatchTaken) b.op_form = form;
  return result;
}

}  // namespace users
