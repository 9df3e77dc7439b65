// The shortest-code search for grid runs must write exactly what an
// exhaustive search with the same tie-break writes.
#include "shortest_code.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "grid_stream_decoder.h"

namespace templates {
namespace {

using Bytes = std::vector<uint8_t>;

int Wrapped(int d) {
  d = ((d % 120) + 120) % 120;
  return d >= 60 ? d - 120 : d;
}

// Straight from the rules: try every candidate, recursing into the rest; a
// later candidate wins only when strictly shorter.
Bytes Exhaustive(const std::vector<int>& w, size_t from, int r) {
  const size_t v = w.size() - from;
  if (v == 0) return {};
  Bytes best;
  bool have = false;
  auto offer = [&](Bytes candidate) {
    if (!have || candidate.size() < best.size()) {
      best = std::move(candidate);
      have = true;
    }
  };
  if (r < 120) {
    size_t same = 0;
    while (same < v && w[from + same] == r) ++same;
    if (same == v && v >= 2 && v <= 32) offer({static_cast<uint8_t>(0x80 + v - 1)});
    for (size_t k = 2; k <= std::min<size_t>(same, 32); ++k) {
      Bytes c = {static_cast<uint8_t>(0x80 + k - 1)};
      Bytes rest = Exhaustive(w, from + k, r);
      c.insert(c.end(), rest.begin(), rest.end());
      offer(c);
    }
    size_t steps = 0;
    for (int prev = r; steps < v; ++steps) {
      const int d = Wrapped(w[from + steps] - prev);
      if (d < -8 || d > 7) break;
      prev = w[from + steps];
    }
    for (size_t p = 2; p <= std::min<size_t>(steps / 2, 32); ++p) {
      Bytes c = {static_cast<uint8_t>(0xA0 + p - 1)};
      int prev = r;
      for (size_t q = 0; q < p; ++q) {
        const int a = w[from + 2 * q], b = w[from + 2 * q + 1];
        c.push_back(static_cast<uint8_t>(((Wrapped(a - prev) + 8) << 4) | (Wrapped(b - a) + 8)));
        prev = b;
      }
      Bytes rest = Exhaustive(w, from + 2 * p, w[from + 2 * p - 1]);
      c.insert(c.end(), rest.begin(), rest.end());
      offer(c);
    }
  }
  Bytes c = {static_cast<uint8_t>(w[from])};
  Bytes rest = Exhaustive(w, from + 1, w[from]);
  c.insert(c.end(), rest.begin(), rest.end());
  offer(c);
  return best;
}

Bytes Search(const std::vector<int>& values, int running) {
  std::vector<uint8_t> w(values.begin(), values.end());
  std::array<uint8_t, 256> out{};
  wire::ByteWriter writer(out);
  EXPECT_TRUE(WriteShortestRunCodes(w, running, writer));
  return Bytes(out.begin(), out.begin() + writer.size());
}

TEST(ShortestCode, KnownRuns) {
  EXPECT_EQ(Search({5, 5, 5, 7, 7}, 126), (Bytes{0x05, 0x81, 0x07, 0x07}));
  EXPECT_EQ(Search({5, 5, 5, 7, 7}, 5), (Bytes{0x82, 0x07, 0x07}));
  EXPECT_EQ(Search({4, 4}, 4), (Bytes{0x81}));
  EXPECT_EQ(Search({4}, 4), (Bytes{0x04}));  // a run code needs two cells
  EXPECT_EQ(Search({}, 4), Bytes{});
}

TEST(ShortestCode, MatchesExhaustiveSearchOnRandomRuns) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 400; ++round) {
    const int v = 1 + static_cast<int>(rng() % 12);
    // Few distinct, close values, so runs and deltas compete.
    const int base = static_cast<int>(rng() % 120);
    std::vector<int> w;
    for (int i = 0; i < v; ++i) {
      const int spread = (rng() % 4 == 0) ? 30 : 4;
      w.push_back((base + static_cast<int>(rng() % spread) + 118) % 120);
    }
    const int running = (rng() % 3 == 0) ? 126 : (rng() % 2 ? w[0] : (base + 3) % 120);
    ASSERT_EQ(Search(w, running), Exhaustive(w, 0, running)) << "round " << round;
  }
}

TEST(ShortestCode, LongRunsDecodeBack) {
  // A whole 32-cell line of gentle slope: far too many paths to try one by
  // one, yet the codes come out short and decode to the same cells.
  std::vector<int> w;
  for (int i = 0; i < 32; ++i) w.push_back((110 + i / 2 + (i % 3)) % 120);
  const Bytes codes = Search(w, 126);
  EXPECT_LT(codes.size(), 24u);
  Bytes stream(2 + codes.size());
  stream[0] = 31;  // 32 cells, one line
  std::copy(codes.begin(), codes.end(), stream.begin() + 2);
  auto model = std::make_unique<TemplateModel>();
  model->ClearGrid();
  const GridStreamResult r = DecodeGridStream(stream, *model);
  ASSERT_EQ(r.status, GridStreamStatus::kOk);
  EXPECT_EQ(r.consumed, stream.size());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(model->Cell(0, i), w[i]) << i;
}

TEST(ShortestCode, RefusesRunsLongerThanALine) {
  std::vector<uint8_t> w(kMaxCodedRun + 1, 3);
  std::array<uint8_t, 256> out{};
  wire::ByteWriter writer(out);
  EXPECT_FALSE(WriteShortestRunCodes(w, 3, writer));
  EXPECT_EQ(writer.size(), 0u);
}

}  // namespace
}  // namespace templates
