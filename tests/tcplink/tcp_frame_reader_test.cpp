// The frame reader over plain bytes: what a terminal may put on the stream.
#include "tcp_frame_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_bytes.h"

namespace {

using tcplink::TcpFrameReader;
using namespace tcplinktest;

// Feeds `stream` in pieces of `piece` bytes (0: all at once) and collects
// every packet that completes.
std::vector<std::vector<uint8_t>> Cut(const std::vector<uint8_t>& stream, size_t piece,
                                      TcpFrameReader* reader) {
  std::vector<std::vector<uint8_t>> packets;
  size_t pos = 0;
  while (pos < stream.size()) {
    const size_t n = piece == 0 ? stream.size() - pos : std::min(piece, stream.size() - pos);
    std::span<const uint8_t> chunk(stream.data() + pos, n);
    while (!chunk.empty()) {
      const size_t taken = reader->Feed(chunk);
      chunk = chunk.subspan(taken);
      pos += taken;
      if (reader->Ready()) {
        const auto p = reader->Packet();
        packets.emplace_back(p.begin(), p.end());
        reader->Release();
      }
    }
  }
  return packets;
}

const std::vector<uint8_t> kGood = Packet(2000, 7, {1, 2, 3, 4});
const std::vector<uint8_t> kOther = Packet(2000, 8, std::vector<uint8_t>(100, 0xAB));

struct StreamCase {
  std::string name;
  std::vector<uint8_t> stream;
  std::vector<std::vector<uint8_t>> packets;
};

std::vector<StreamCase> StreamCases() {
  std::vector<StreamCase> cases = {
      {"GoodFrame", Framed(kGood), {kGood}},
      {"TwoFrames", Concat({Framed(kGood), Framed(kOther)}), {kGood, kOther}},
      {"BadMagicThenGood", Concat({{0x50, 0x50, 0x82, 0x7C, 9, 9, 0x50, 1}, Framed(kGood)}),
       {kGood}},
      {"PlainGarbageThenGood", Concat({std::vector<uint8_t>(300, 0x50), Framed(kGood)}), {kGood}},
      {"MagicInsideBadLength",
       Concat({{0x50, 0x50, 0x82, 0x7D, 0x50, 0x50, 0x82, 0x7D}, FrameHeader(12),
               Packet(2000, 1, {5, 6, 7, 8})}),
       {Packet(2000, 1, {5, 6, 7, 8})}},
      {"Length65545", Concat({FrameHeader(65545), Framed(kGood)}), {kGood}},
      {"LengthAllOnes", Concat({FrameHeader(0xFFFFFFFFu), Framed(kGood)}), {kGood}},
      {"Length1MiB", Concat({FrameHeader(0x00100000u), Framed(kGood)}), {kGood}},
      {"Largest", Framed(std::vector<uint8_t>(65544, 0x11)), {std::vector<uint8_t>(65544, 0x11)}},
      {"Smallest", Framed(Packet(2000, 3)), {Packet(2000, 3)}},
  };
  for (uint32_t length = 0; length < 8; ++length) {
    cases.push_back({"Length" + std::to_string(length),
                     Concat({FrameHeader(length), Framed(kGood)}),
                     {kGood}});
  }
  return cases;
}

class FrameReaderStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FrameReaderStream, WholeAtOnceAndTrickled) {
  const StreamCase& c = GetParam();
  for (size_t piece : {size_t{0}, size_t{1}, size_t{3}, size_t{4096}}) {
    TcpFrameReader reader;
    EXPECT_EQ(Cut(c.stream, piece, &reader), c.packets) << "piece " << piece;
    EXPECT_FALSE(reader.Ready());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameReaderStream, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return info.param.name; });

TEST(FrameReader, StopsAtTheEndOfAFrameAndTakesNothingWhileReady) {
  TcpFrameReader reader;
  const auto stream = Concat({Framed(kGood), Framed(kOther)});
  const size_t first = Framed(kGood).size();
  EXPECT_EQ(reader.Feed(stream), first);
  ASSERT_TRUE(reader.Ready());
  EXPECT_EQ(reader.Feed(std::span<const uint8_t>(stream).subspan(first)), 0u);
  reader.Release();
  EXPECT_EQ(reader.Feed(std::span<const uint8_t>(stream).subspan(first)), stream.size() - first);
  ASSERT_TRUE(reader.Ready());
  EXPECT_EQ(std::vector<uint8_t>(reader.Packet().begin(), reader.Packet().end()), kOther);
  EXPECT_EQ(reader.headers_seen(), 2u);
}

TEST(FrameReader, ResetForgetsAPartialFrame) {
  TcpFrameReader reader;
  const auto frame = Framed(kOther);
  reader.Feed(std::span<const uint8_t>(frame).first(30));
  EXPECT_FALSE(reader.Ready());
  reader.Reset();
  EXPECT_TRUE(reader.Packet().empty());
  EXPECT_EQ(Cut(Framed(kGood), 0, &reader), std::vector<std::vector<uint8_t>>{kGood});
}

TEST(FrameReader, CountsSkippedGarbage) {
  TcpFrameReader reader;
  const auto stream = Concat({std::vector<uint8_t>(10, 0x01), FrameHeader(3), Framed(kGood)});
  EXPECT_EQ(Cut(stream, 0, &reader).size(), 1u);
  EXPECT_EQ(reader.bytes_skipped(), 18u);  // the 10 bytes and the bad header
  EXPECT_EQ(reader.headers_seen(), 1u);
}

TEST(FrameReader, EndlessGarbageHoldsNothing) {
  TcpFrameReader reader;
  const std::vector<uint8_t> junk(1 << 20, 0x50);
  EXPECT_EQ(reader.Feed(junk), junk.size());
  EXPECT_FALSE(reader.Ready());
  EXPECT_EQ(reader.headers_seen(), 0u);
  EXPECT_EQ(Cut(Framed(kGood), 0, &reader), std::vector<std::vector<uint8_t>>{kGood});
}

}  // namespace
