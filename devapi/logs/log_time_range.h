// Moments given by the host to the time-range log functions.
#pragma once

#include <cstdint>

namespace devapi {

struct Moment {
  int32_t year, month, day, hour, minute, second;
};

// The range check of the time-range functions: the year at least 1900,
// month at most 12, day at most 31, hour at most 24, minute and second at
// most 60, each of the five compared as an unsigned number (so negative
// values fail).
bool MomentInRange(const Moment& m);

// The packed time of a moment, counting years from 2000.
uint32_t PackMoment(const Moment& m);

// The packed time with the year taken modulo 100, as the clock is set.
uint32_t PackMomentModulo100(const Moment& m);

}  // namespace devapi
