#include "logs/log_time_range.h"

namespace devapi {

namespace {

// Packs in unsigned arithmetic: a moment nobody checked (or one the range
// check lets through, like month 0) wraps instead of overflowing.
uint32_t Pack(uint32_t years_since_2000, const Moment& m) {
  uint32_t t = years_since_2000 * 12u + (static_cast<uint32_t>(m.month) - 1u);
  t = t * 31u + (static_cast<uint32_t>(m.day) - 1u);
  t = t * 24u + static_cast<uint32_t>(m.hour);
  t = t * 60u + static_cast<uint32_t>(m.minute);
  return t * 60u + static_cast<uint32_t>(m.second);
}

}  // namespace

bool MomentInRange(const Moment& m) {
  const auto at_most = [](int32_t v, uint32_t max) { return static_cast<uint32_t>(v) <= max; };
  return m.year >= 1900 && at_most(m.month, 12) && at_most(m.day, 31) && at_most(m.hour, 24) &&
         at_most(m.minute, 60) && at_most(m.second, 60);
}

uint32_t PackMoment(const Moment& m) { return Pack(static_cast<uint32_t>(m.year) - 2000u, m); }

uint32_t PackMomentModulo100(const Moment& m) {
  return Pack(static_cast<uint32_t>(m.year % 100), m);
}

}  // namespace devapi
