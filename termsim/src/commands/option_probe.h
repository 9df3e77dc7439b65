// The option probe (command 501): the host asks for many options at once
// with "key=?,key=?,..." and the terminal lists the ones it has.
#pragma once

#include <cstdint>
#include <span>

#include "store/option_store.h"
#include "commands/reply.h"
#include "termsim/simulator.h"

namespace termsim {

// Answers "key=value" for every asked key the store holds, joined by ",",
// as far as one reply packet holds them; or as `mode` says otherwise.
void AnswerOptionProbe(const OptionStore& options, ProbeAnswer mode,
                       std::span<const uint8_t> request, Reply& reply);

}  // namespace termsim
