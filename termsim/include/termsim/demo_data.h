// The demo terminal: a fixed, seeded data set that shows what a terminal
// keeps (some dozens of users, two months of punches and a few operation
// records), used by termctl's built-in terminal and by `termsim --demo`.
#pragma once

#include <cstdint>

#include "termsim/simulator.h"

namespace termsim {

// How often one of the demo terminal's users punches.
inline constexpr uint32_t kDemoPunchEveryMs = 3000;

// A black-and-white "Ver 6.60" fingerprint terminal whose clock stands just
// after the last day of punches.
Profile DemoProfile();

// Loads the demo users, attendance and operation logs into `sim`, with the
// storage counters that go with them. The same data every time.
void LoadDemoData(Simulator& sim);

}  // namespace termsim
