// The demo terminal: a fixed, seeded data set that shows what a terminal
// keeps (some dozens of users, two months of punches and a few operation
// records), used by termctl's built-in terminal and by `termsim --demo`.
#pragma once

#include "termsim/simulator.h"

namespace termsim {

// A black-and-white "Ver 6.60" fingerprint terminal whose clock stands just
// after the last day of punches.
Profile DemoProfile();

// Loads the demo users, attendance and operation logs into `sim`, with the
// storage counters that go with them. The same data every time.
void LoadDemoData(Simulator& sim);

}  // namespace termsim
