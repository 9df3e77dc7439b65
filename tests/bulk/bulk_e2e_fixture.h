// A connection through the test's link (sim_link.h) to a terminal simulator
// on loopback,
// and data sets to read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "devwire.h"
#include "sim_link.h"
#include "termsim/simulator.h"

namespace bulktest {

// Bytes that do not compress.
inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed = 7) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Bytes shaped like attendance records: they compress well, but not to
// nothing.
inline std::vector<uint8_t> RecordBytes(size_t n, uint32_t seed = 11) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  v.reserve(n + 64);
  char line[64];
  while (v.size() < n) {
    const auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const int len = std::snprintf(line, sizeof line, "%05u\t2024-01-%02u 08:%02u:%02u\t%u\t1\n",
                                  pick(3000), 1 + pick(28), pick(60), pick(60), pick(4));
    v.insert(v.end(), line, line + len);
  }
  v.resize(n);
  return v;
}

class BulkE2ETest : public ::testing::Test {
 protected:
  void SetUp() override { Open(nullptr); }
  // Without a callback the connection reads for itself; with one it has a
  // reader thread.
  void Open(DEVWIRE_EVENT_CALLBACK callback, void* context = nullptr) {
    DEVWIRE_LASTERROR(nullptr);
    sim = std::make_unique<termsim::Simulator>();
    ASSERT_TRUE(simlink::Start(*sim));
    handle = simlink::OpenEngine(*sim, callback, context);
    ASSERT_NE(handle, nullptr);
    sim->ClearReceived();
  }
  void TearDown() override {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVWIRE_HANDLE handle = nullptr;
};

}  // namespace bulktest
