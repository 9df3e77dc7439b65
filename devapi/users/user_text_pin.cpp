#include "users/user_text_pin.h"

#include <charconv>
#include <cstring>

#include "users/user_numbers.h"

namespace users {

int64_t PinFromUserText(devapi::DeviceSession& s, const char* text) {
  if (s.is_tft != 0) {
    const auto id = CallerIdText(text);
    return id ? PinFromIdText(s, *id) : -1;
  }
  // Decimal as atol reads it: leading blanks, a sign, then digits.
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  const size_t n = strnlen(p, 24);
  int64_t number = 0;
  const char* first = (n > 0 && *p == '+') ? p + 1 : p;
  std::from_chars(first, p + n, number);
  return PinFromPin2(s, number);
}

}  // namespace users
