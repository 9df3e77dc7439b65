#include "links/stream_fault_plan.h"

namespace termsim {

namespace {

// Counts one down; true when it reached its end now.
bool Reached(int& left) {
  if (left <= 0) return false;
  return --left == 0;
}

bool Take(int& counter) {
  if (counter <= 0) return false;
  --counter;
  return true;
}

}  // namespace

void StreamFaultPlan::Set(const StreamFaults& faults) {
  std::lock_guard lock(mu_);
  faults_ = faults;
}

StreamFaults StreamFaultPlan::Get() const {
  std::lock_guard lock(mu_);
  return faults_;
}

StreamFaultPlan::Cut StreamFaultPlan::OnRequest() {
  std::lock_guard lock(mu_);
  // Both count the same requests; a reset that falls due with a close wins.
  const bool close = Reached(faults_.close_after);
  const bool reset = Reached(faults_.reset_after);
  if (reset) return Cut::kReset;
  return close ? Cut::kClose : Cut::kNone;
}

bool StreamFaultPlan::OnDataPacket() {
  std::lock_guard lock(mu_);
  return Reached(faults_.reset_after_data);
}

StreamFaultPlan::FrameShape StreamFaultPlan::NextFrame() {
  std::lock_guard lock(mu_);
  FrameShape shape;
  shape.bad_magic = Take(faults_.bad_magic);
  shape.oversize = Take(faults_.oversize);
  return shape;
}

StreamFaultPlan::Writing StreamFaultPlan::writing() const {
  std::lock_guard lock(mu_);
  return Writing{faults_.split_bytes, faults_.split_pause_ms, faults_.coalesce};
}

bool StreamFaultPlan::refuse() const {
  std::lock_guard lock(mu_);
  return faults_.refuse;
}

void StreamFaultPlan::set_refuse(bool refuse) {
  std::lock_guard lock(mu_);
  faults_.refuse = refuse;
}

}  // namespace termsim
