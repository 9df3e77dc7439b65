// Speed of the version-9 template codec on prints of realistic size: 30 to
// 60 minutiae, one or two singular points and a 24 x 24 to 30 x 30
// orientation grid that is empty outside an oval and varies smoothly inside.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "template_codec.h"
#include "template_encoder.h"

namespace {

using Template = std::vector<uint8_t>;
constexpr int kTemplates = 256;

std::unique_ptr<templates::TemplateModel> MakePrint(std::mt19937& rng) {
  auto m = std::make_unique<templates::TemplateModel>();
  m->Clear();
  m->quality = 60 + static_cast<int>(rng() % 40);
  m->minutiae_count = 30 + static_cast<int>(rng() % 31);
  for (int i = 0; i < m->minutiae_count; ++i) {
    m->minutiae[i] = {static_cast<int>(40 + rng() % 420), static_cast<int>(40 + rng() % 440),
                      static_cast<int>(rng() % 240), static_cast<int>(rng() % 2),
                      static_cast<int>(rng() % 256)};
  }
  m->singular_count = 1 + static_cast<int>(rng() % 2);
  for (int i = 0; i < m->singular_count; ++i) {
    m->singular[i] = {static_cast<int>(150 + rng() % 200), static_cast<int>(150 + rng() % 200),
                      static_cast<int>(rng() % 360), static_cast<int>(rng() % 2)};
  }
  const int size = 24 + static_cast<int>(rng() % 7);
  m->grid_lines = m->grid_cells = size;
  const double phase = (rng() % 120) / 120.0 * 6.283;
  for (int line = 0; line < size; ++line) {
    for (int cell = 0; cell < size; ++cell) {
      const double dx = (cell - size / 2.0) / (size / 2.0);
      const double dy = (line - size / 2.0) / (size / 2.0);
      if (dx * dx / 0.8 + dy * dy > 1.0) continue;  // outside the print
      // Ridge flow turning slowly across the print.
      const double angle = std::atan2(dy + 0.3, dx) + phase + 0.4 * dy;
      const int cls = static_cast<int>(std::fmod(angle / 6.2832 * 120 + 240, 120));
      m->Cell(line, cell) = static_cast<uint8_t>(cls);
    }
  }
  return m;
}

struct Corpus {
  std::vector<Template> compact;
  std::vector<Template> standard;
};

const Corpus& Prints() {
  static const Corpus corpus = [] {
    Corpus c;
    std::mt19937 rng(20240501);
    for (int i = 0; i < kTemplates; ++i) {
      auto model = MakePrint(rng);
      Template t(templates::kCompactScratchBytes);
      t.resize(templates::EncodeCompact(*model, true, t));
      c.compact.push_back(std::move(t));
      Template s(templates::kStandardMaxBytes);
      s.resize(templates::EncodeStandard(*model, 1, true, s));
      c.standard.push_back(std::move(s));
    }
    return c;
  }();
  return corpus;
}

double MeanSize(const std::vector<Template>& set) {
  double total = 0;
  for (const auto& t : set) total += static_cast<double>(t.size());
  return total / static_cast<double>(set.size());
}

template <typename Op>
void RunOver(benchmark::State& state, const std::vector<Template>& set, Op op) {
  size_t i = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    const Template& t = set[i];
    benchmark::DoNotOptimize(op(t));
    bytes += static_cast<int64_t>(t.size());
    i = (i + 1) % set.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(bytes);
  state.counters["mean_bytes"] = MeanSize(set);
}

void BM_TemplateLength_Compact(benchmark::State& state) {
  RunOver(state, Prints().compact, [](const Template& t) { return templates::TemplateLength(t); });
}
BENCHMARK(BM_TemplateLength_Compact);

void BM_TemplateLength_Standard(benchmark::State& state) {
  RunOver(state, Prints().standard, [](const Template& t) { return templates::TemplateLength(t); });
}
BENCHMARK(BM_TemplateLength_Standard);

void BM_ReEncodeTemplate_FromStandard(benchmark::State& state) {
  std::vector<uint8_t> out(templates::kCompactMaxBytes);
  RunOver(state, Prints().standard,
          [&](const Template& t) { return templates::ReEncodeTemplate(t, out); });
}
BENCHMARK(BM_ReEncodeTemplate_FromStandard);

void BM_ReEncodeTemplate_FromCompact(benchmark::State& state) {
  std::vector<uint8_t> out(templates::kCompactMaxBytes);
  RunOver(state, Prints().compact,
          [&](const Template& t) { return templates::ReEncodeTemplate(t, out); });
}
BENCHMARK(BM_ReEncodeTemplate_FromCompact);

void BM_ConvertTemplate_FromCompact(benchmark::State& state) {
  std::vector<uint8_t> out(templates::kStandardMaxBytes);
  RunOver(state, Prints().compact,
          [&](const Template& t) { return templates::ConvertTemplate(t, out); });
}
BENCHMARK(BM_ConvertTemplate_FromCompact);

// Shrinking a copy (taken inside the loop) to a size that drops the grid and
// some minutiae: 150 bytes keep at most 28 of the 30 to 60.
void BM_ShrinkTemplate_Compact(benchmark::State& state) {
  constexpr size_t kLimit = 150;
  Template copy;
  RunOver(state, Prints().compact, [&](const Template& t) {
    copy = t;
    return templates::ShrinkTemplate(copy, kLimit);
  });
}
BENCHMARK(BM_ShrinkTemplate_Compact);

}  // namespace

BENCHMARK_MAIN();
