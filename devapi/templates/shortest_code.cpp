#include "shortest_code.h"

#include <algorithm>
#include <array>

#include "grid_stream_codes.h"

namespace templates {
namespace {

constexpr int kMaxGroup = kMaxCodeArg + 1;  // cells per run code, pairs per delta code

enum class Step : uint8_t { kNone, kRun, kDelta, kLiteral };

struct Choice {
  int length = 0;  // code bytes for the rest of the run from here
  Step step = Step::kNone;
  int count = 0;  // cells for kRun, pairs for kDelta
};

// The difference between two orientations, wrapped into -60..59.
int WrappedDelta(int to, int from) {
  const int half = kOrientationClasses / 2;
  int d = (to - from + half) % kOrientationClasses;
  if (d < 0) d += kOrientationClasses;
  return d - half;
}

bool FitsNibble(int delta) { return delta >= -kNibbleBias && delta < kNibbleBias; }

}  // namespace

// Every code leaves the running value at the last cell it produced, so the
// best sequence from a position depends on the position alone: solving the
// positions from the end backwards gives the same choice an exhaustive
// search would make, in time linear in the run.
bool WriteShortestRunCodes(std::span<const uint8_t> values, int running, wire::ByteWriter& out) {
  const int v = static_cast<int>(values.size());
  if (values.size() > kMaxCodedRun) return false;
  std::array<Choice, kMaxCodedRun + 1> best{};

  for (int i = v - 1; i >= 0; --i) {
    const int r = (i == 0) ? running : values[i - 1];
    const int left = v - i;
    Choice choice;
    auto consider = [&](int length, Step step, int count) {
      if (choice.step == Step::kNone || length < choice.length) choice = {length, step, count};
    };

    if (r < kOrientationClasses) {
      int same = 0;
      while (i + same < v && values[i + same] == r) ++same;
      // The whole rest repeats the running value: one run code.
      if (same == left && left >= 2 && left <= kMaxGroup) consider(1, Step::kRun, left);
      for (int k = 2; k <= std::min(same, kMaxGroup); ++k) {
        consider(1 + best[i + k].length, Step::kRun, k);
      }
      // Delta groups of p pairs while the steps fit a nibble.
      int steps = 0;
      for (int last = r; i + steps < v && FitsNibble(WrappedDelta(values[i + steps], last));) {
        last = values[i + steps];
        ++steps;
      }
      for (int p = 2; p <= std::min(steps / 2, kMaxGroup); ++p) {
        consider(1 + p + best[i + 2 * p].length, Step::kDelta, p);
      }
    }
    consider(1 + best[i + 1].length, Step::kLiteral, 1);
    best[i] = choice;
  }

  int prev = running;
  for (int i = 0; i < v;) {
    const Choice& c = best[i];
    switch (c.step) {
      case Step::kRun:
        out.U8(static_cast<uint8_t>(kRunCode + c.count - 1));
        i += c.count;
        break;
      case Step::kDelta:
        out.U8(static_cast<uint8_t>(kDeltaCode + c.count - 1));
        for (int p = 0; p < c.count; ++p) {
          const int a = values[i + 2 * p];
          const int b = values[i + 2 * p + 1];
          const int high = WrappedDelta(a, prev) + kNibbleBias;
          const int low = WrappedDelta(b, a) + kNibbleBias;
          out.U8(static_cast<uint8_t>((high << 4) | low));
          prev = b;
        }
        i += 2 * c.count;
        break;
      case Step::kLiteral:
      case Step::kNone:
        out.U8(values[i]);
        ++i;
        break;
    }
    prev = values[i - 1];
  }
  return true;
}

}  // namespace templates
