#include "bulk/faults.h"

namespace termsim {

void BulkFaultPlan::Set(const BulkFaults& faults) {
  transfers_.assign(faults.transfers.begin(), faults.transfers.end());
  misread_blocks_ = faults.misread_blocks;
  short_inline_reads_ = faults.short_inline_reads;
  damage_blocks_above_ = faults.damage_blocks_above;
  size_delta_ = faults.size_delta;
  prepare_without_data_ = faults.prepare_without_data;
  piecewise_count_ = faults.piecewise_count;
  empty_blocks_ = faults.empty_blocks;
}

TransferFaults BulkFaultPlan::NextTransfer() {
  if (transfers_.empty()) return {};
  TransferFaults next = std::move(transfers_.front());
  transfers_.pop_front();
  return next;
}

bool BulkFaultPlan::TakeMisread() {
  if (misread_blocks_ <= 0) return false;
  --misread_blocks_;
  return true;
}

bool BulkFaultPlan::TakeShortInline() {
  if (short_inline_reads_ <= 0) return false;
  --short_inline_reads_;
  return true;
}

bool BulkFaultPlan::DamagesBlock(size_t count) const {
  return damage_blocks_above_ >= 0 && static_cast<int64_t>(count) > damage_blocks_above_;
}

}  // namespace termsim
