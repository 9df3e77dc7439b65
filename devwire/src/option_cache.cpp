#include "option_cache.h"

#include "engine_connection.h"

namespace devwire {

bool AnswerOptionRead(EngineConnection& connection, uint16_t& code,
                      std::span<const uint8_t> request, std::span<uint8_t> reply) {
  // No probe has filled the cache yet: the terminal answers.
  return false;
}

void ApplyOptionWrite(EngineConnection& connection, const std::string& request) {}

}  // namespace devwire
