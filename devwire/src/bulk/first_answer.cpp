#include "bulk/first_answer.h"

#include <algorithm>
#include <cstdlib>

#include "bulk/constants.h"
#include "exchange/wait_bound.h"

namespace devwire {

int32_t FirstAnswerLimitMs() {
  int32_t limit = DEVWIRE_FIRST_ANSWER_LIMIT_MS;
  if (const char* text = std::getenv(kFirstAnswerLimitVariable)) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    // Only ever shorter.
    if (end != text && *end == '\0' && v > 0 && v < limit) limit = static_cast<int32_t>(v);
  }
  return limit;
}

ExchangeResult ExchangeFirstAnswer(EngineConnection& c, ExchangeRequest request) {
  const int32_t limit = FirstAnswerLimitMs();
  request.timeout_ms = std::min(request.timeout_ms, limit);
  DeadlineScope deadline(c);
  deadline.Limit(static_cast<uint64_t>(limit) * kQueryDeadlineAnswers);
  return Exchange(c, request);
}

}  // namespace devwire
