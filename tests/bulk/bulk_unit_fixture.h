// A connection over the in-process fake terminal, with helpers that script
// a terminal's bulk answers packet by packet.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "engine_fixture.h"
#include "wire/le_bytes.h"
#include "wire/packet.h"

namespace bulktest {

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 131 + seed * 17 + (i >> 8));
  return v;
}

inline std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> out(words.size() * 4);
  wire::ByteWriter w(out);
  for (uint32_t v : words) w.U32(v);
  return out;
}

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
  return {v.begin() + static_cast<ptrdiff_t>(from), v.begin() + static_cast<ptrdiff_t>(from + n)};
}

class BulkUnitTest : public enginetest::EngineFixture {
 protected:
  void SetUp() override { Open(); }

  // A data packet as a terminal streams it: chunk index in the connection
  // word, the request's sequence number.
  void PushChunk(uint16_t index, uint16_t counter, const std::vector<uint8_t>& payload,
                 bool damaged = false) {
    auto packet = enginetest::FakeTerminal::Packet(wire::CMD_DATA, index, counter, payload);
    if (damaged) packet[2] ^= 0x55;
    term.PushRaw(std::move(packet));
  }
};

}  // namespace bulktest
