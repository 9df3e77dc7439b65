// The bulk faults a test asked for, used up as transfers go out.
#pragma once

#include <cstddef>
#include <deque>

#include "termsim/simulator.h"

namespace termsim {

class BulkFaultPlan {
 public:
  void Set(const BulkFaults& faults);

  // The faults of the next transfer (clean once the list is used up).
  TransferFaults NextTransfer();
  // True when the next memory read is to change a byte (counts down).
  bool TakeMisread();
  // True when the next inline memory read is to lose its last byte.
  bool TakeShortInline();
  // True when a memory read of `count` bytes must stream with a damaged end.
  bool DamagesBlock(size_t count) const;
  int64_t size_delta() const { return size_delta_; }
  bool prepare_without_data() const { return prepare_without_data_; }
  int64_t piecewise_count() const { return piecewise_count_; }
  bool empty_blocks() const { return empty_blocks_; }

 private:
  std::deque<TransferFaults> transfers_;
  int misread_blocks_ = 0;
  int short_inline_reads_ = 0;
  int64_t damage_blocks_above_ = -1;
  int64_t size_delta_ = 0;
  bool prepare_without_data_ = false;
  int64_t piecewise_count_ = -1;
  bool empty_blocks_ = false;
};

}  // namespace termsim
