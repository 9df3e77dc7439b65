#include "commands/option_probe.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "wire/codes.h"

namespace termsim {

namespace {

// What a confused firmware might say instead of a list.
constexpr char kGarbageText[] = "NOT SUPPORTED";

std::vector<uint8_t> Terminated(const std::string& text) {
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

// "key=?" asks for key; a bare key is taken the same way.
std::string_view AskedKey(std::string_view piece) { return piece.substr(0, piece.find('=')); }

}  // namespace

void AnswerOptionProbe(const OptionStore& options, ProbeAnswer mode,
                       std::span<const uint8_t> request, Reply& reply) {
  switch (mode) {
    case ProbeAnswer::kUnknown:
      reply.code = wire::CMD_ACK_UNKNOWN;
      return;
    case ProbeAnswer::kError:
      reply.code = wire::CMD_ACK_ERROR;
      return;
    case ProbeAnswer::kEmpty:
      reply.code = wire::CMD_ACK_OK;
      reply.payload = Terminated("");
      return;
    case ProbeAnswer::kGarbage:
      reply.code = wire::CMD_ACK_OK;
      reply.payload = Terminated(kGarbageText);
      return;
    case ProbeAnswer::kValues:
      break;
  }

  const std::string asked = PayloadText(request);
  std::string answer;
  size_t start = 0;
  while (start <= asked.size()) {
    const size_t end = std::min(asked.find(',', start), asked.size());
    const std::string key(AskedKey(std::string_view(asked).substr(start, end - start)));
    start = end + 1;
    const auto value = key.empty() ? std::nullopt : options.Get(key);
    if (!value) continue;
    const std::string entry = key + "=" + *value;
    // Whatever does not fit one packet (with the terminator) is left out.
    const size_t grown = answer.size() + (answer.empty() ? 0 : 1) + entry.size();
    if (grown + 1 > kMaxPayload) continue;
    if (!answer.empty()) answer += ',';
    answer += entry;
  }
  reply.code = wire::CMD_ACK_OK;
  reply.payload = Terminated(answer);
}

}  // namespace termsim
