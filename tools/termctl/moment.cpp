#include "moment.h"

#include <cstdio>
#include <ctime>

namespace termctl {

std::optional<Moment> ParseMoment(const std::string& text, bool end_of_day) {
  Moment m;
  char sep = 0;
  int consumed = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &m.year, &m.month, &m.day,
                            &sep, &m.hour, &m.minute, &m.second, &consumed);
  if (n == 3 && text.size() == 10) {
    if (end_of_day) m.hour = 23, m.minute = 59, m.second = 59;
  } else if (n == 6 && (sep == ' ' || sep == 'T')) {
    m.second = 0;
    // "HH:MM" without seconds: the whole text must have been used.
    if (text.size() != 16) return std::nullopt;
  } else if (n == 7 && (sep == ' ' || sep == 'T') && static_cast<size_t>(consumed) == text.size()) {
  } else {
    return std::nullopt;
  }
  if (m.year < 2000 || m.year > 2099 || m.month < 1 || m.month > 12 || m.day < 1 || m.day > 31 ||
      m.hour < 0 || m.hour > 23 || m.minute < 0 || m.minute > 59 || m.second < 0 || m.second > 59) {
    return std::nullopt;
  }
  return m;
}

std::string FormatMoment(const Moment& m) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", m.year, m.month, m.day, m.hour,
                m.minute, m.second);
  return buf;
}

Moment LocalNow() {
  const std::time_t now = std::time(nullptr);
  const std::tm* t = std::localtime(&now);
  Moment m;
  if (t == nullptr) return m;
  m.year = t->tm_year + 1900;
  m.month = t->tm_mon + 1;
  m.day = t->tm_mday;
  m.hour = t->tm_hour;
  m.minute = t->tm_min;
  m.second = t->tm_sec;
  return m;
}

}  // namespace termctl
