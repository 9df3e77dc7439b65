// Speed of the string table on an option-cache-like load: splitting a
// 10,000-entry "key=value" reply and looking keys up in it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "strtable/string_table.h"

namespace {

constexpr int kEntries = 10000;
constexpr int kLookups = 1000000;

std::string KeyName(int i) {
  char key[16];
  std::snprintf(key, sizeof key, "Key%05d", i);
  return key;
}

std::string BuildReply() {
  std::string reply;
  for (int i = 0; i < kEntries; ++i) {
    if (i != 0) reply += ',';
    reply += KeyName(i) + "=v" + std::to_string(i % 97);
  }
  return reply;
}

void BM_Split(benchmark::State& state) {
  const std::string reply = BuildReply();
  auto table = strtable::StringTable::Create();
  for (auto _ : state) {
    benchmark::DoNotOptimize(table->Split(reply, ","));
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_Split)->Unit(benchmark::kMicrosecond);

// One iteration is 1,000,000 ValueOf calls cycling over the existing keys; the
// "time_per_lookup" counter gives the cost of one.
void BM_ValueOf(benchmark::State& state) {
  auto table = strtable::StringTable::Create();
  table->Split(BuildReply(), ",");
  std::vector<std::string> keys;
  keys.reserve(kEntries);
  for (int i = 0; i < kEntries; ++i) keys.push_back(KeyName(i));

  for (auto _ : state) {
    size_t k = 0;
    for (int i = 0; i < kLookups; ++i) {
      benchmark::DoNotOptimize(table->ValueOf(keys[k].c_str()));
      if (++k == keys.size()) k = 0;
    }
  }
  state.SetItemsProcessed(state.iterations() * kLookups);
  // An inverted rate: CPU seconds per lookup, printed with an SI prefix ("48n" is 48 ns).
  state.counters["time_per_lookup"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kLookups,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ValueOf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
