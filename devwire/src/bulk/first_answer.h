// The wait for a terminal that prepares data before it answers: however
// long the caller's time-out, each attempt waits at most the first-answer
// limit, and all attempts together at most the query deadline (devwire.h).
#pragma once

#include <cstdint>

#include "exchange/exchange.h"

namespace devwire {

struct EngineConnection;

// DEVWIRE_FIRST_ANSWER_LIMIT_MS, or less when the environment variable
// TERMKIT_FIRST_ANSWER_LIMIT_MS holds a smaller positive number (tests show
// the bound with it without waiting minutes).
int32_t FirstAnswerLimitMs();

// `request` as one exchange, its time-out cut to the first-answer limit and
// its attempts to the query deadline.
ExchangeResult ExchangeFirstAnswer(EngineConnection& connection, ExchangeRequest request);

}  // namespace devwire
