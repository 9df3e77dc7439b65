// The exported container functions: argument checks, the entry lines on
// standard output, and bounded copies between the caller's buffers and the
// codec.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "devapi.h"
#include "template_codec.h"

namespace {

// The caller's container, as long as its own length field says; empty when
// that length is not one a container can have.
std::span<const uint8_t> CallerContainer(const unsigned char* bytes) {
  if (bytes == nullptr) return {};
  const size_t length =
      templates::ContainerLength(std::span<const uint8_t>(bytes, templates::kLengthOffset + 2));
  if (!templates::ContainerLengthValid(length)) return {};
  return {bytes, length};
}

void Print(const std::string& text) { std::fputs(text.c_str(), stdout); }

}  // namespace

int32_t FPTOOL_MERGE_TEMPLATE(const unsigned char* const* containers, int32_t count,
                              unsigned char* merged) {
  if (containers == nullptr || merged == nullptr || count < 1) return 0;
  std::fputs("FPTOOL_MERGE_TEMPLATE\n", stdout);
  try {
    std::vector<std::span<const uint8_t>> inputs;
    inputs.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const auto input = CallerContainer(containers[i]);
      if (input.empty()) return 0;
      inputs.push_back(input);
    }
    std::string trace;
    const std::vector<uint8_t> result = templates::MergeTemplates(inputs, trace);
    Print(trace);
    if (result.empty() || result.size() > templates::kMaxContainerBytes) return 0;
    std::copy(result.begin(), result.end(), merged);
    return static_cast<int32_t>(result.size());
  } catch (...) {
    return 0;  // out of memory: nothing crosses the C border
  }
}

int32_t FPTOOL_SPLIT_TEMPLATE(const unsigned char* container, unsigned char* const* outputs,
                              int32_t* count, int32_t* lengths) {
  std::fputs("FPTOOL_SPLIT_TEMPLATE\n", stdout);
  if (container == nullptr || outputs == nullptr || count == nullptr || lengths == nullptr) {
    return 0;
  }
  try {
    const auto input = CallerContainer(container);
    if (input.empty()) return 0;
    std::string trace;
    const auto parts = templates::SplitTemplate(input, trace);
    Print(trace);
    if (parts.empty() || parts.size() > templates::kMaxSplitParts) return 0;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (outputs[i] == nullptr || parts[i].size() > templates::kMaxSplitPartBytes) return 0;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
      std::copy(parts[i].begin(), parts[i].end(), outputs[i]);
      lengths[i] = static_cast<int32_t>(parts[i].size());
    }
    *count = static_cast<int32_t>(parts.size());
    return static_cast<int32_t>(parts.size());
  } catch (...) {
    return 0;
  }
}
