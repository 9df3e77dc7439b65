// Wall-clock moments as the terminal keeps them, parsed from and shown as text.
#pragma once

#include <optional>
#include <string>

namespace termctl {

struct Moment {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" (also with a 'T'). A bare date
// means its first second, or its last one when `end_of_day`.
std::optional<Moment> ParseMoment(const std::string& text, bool end_of_day = false);
std::string FormatMoment(const Moment& m);
// This computer's local time.
Moment LocalNow();

}  // namespace termctl
