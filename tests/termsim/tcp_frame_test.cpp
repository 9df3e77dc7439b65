// The frame splitter on its own: packets come out whole and in order however
// the stream was cut into reads, and a bad frame stops the stream.
#include "links/tcp_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim_tcp_client.h"
#include "wire/codes.h"

namespace termsim {
namespace {

using Status = FrameSplitter::Status;

std::vector<std::vector<uint8_t>> Drain(FrameSplitter& s, Status* last) {
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> packet;
  while ((*last = s.Next(&packet)) == Status::kPacket) out.push_back(packet);
  return out;
}

TEST(TcpFrame, HeaderIsMagicAndLittleEndianLength) {
  const auto h = FrameHeader(0x00010208);
  EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.end()),
            (std::vector<uint8_t>{0x50, 0x50, 0x82, 0x7D, 0x08, 0x02, 0x01, 0x00}));
}

TEST(TcpFrame, PacketsComeOutWholeHoweverTheStreamIsCut) {
  const auto a = simtest::Packet(wire::CMD_CONNECT, 0, 0);
  const auto b = simtest::Packet(wire::CMD_OPTIONS_RRQ, 7, 1, simtest::Bytes("~Platform"));
  const auto big = simtest::Packet(wire::CMD_DATA, 7, 2, std::vector<uint8_t>(65536, 0xA5));
  std::vector<uint8_t> stream = simtest::Frame(a);
  for (const auto* p : {&b, &big, &a}) {
    const auto f = simtest::Frame(*p);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  const std::vector<std::vector<uint8_t>> expected = {a, b, big, a};
  const size_t cuts[] = {stream.size(), 1, 3, 8, 9, 4096};
  for (const size_t cut : cuts) {
    FrameSplitter s;
    std::vector<std::vector<uint8_t>> got;
    Status last = Status::kNeedMore;
    for (size_t at = 0; at < stream.size(); at += cut) {
      s.Feed(std::span<const uint8_t>(stream).subspan(at, std::min(cut, stream.size() - at)));
      const auto more = Drain(s, &last);
      got.insert(got.end(), more.begin(), more.end());
      ASSERT_EQ(last, Status::kNeedMore) << "cut " << cut;
      // One frame and one read at most wait for their end.
      EXPECT_LE(s.buffered(), kFrameHeaderSize + big.size() + cut);
    }
    EXPECT_EQ(got, expected) << "cut " << cut;
    EXPECT_EQ(s.buffered(), 0u);
  }
}

TEST(TcpFrame, BadFramesStopTheStream) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    Status status;
  };
  const auto good = simtest::Frame(simtest::Packet(wire::CMD_EXIT, 7, 3));
  auto with_length = [&](uint32_t length) {
    auto f = good;
    f[4] = static_cast<uint8_t>(length);
    f[5] = static_cast<uint8_t>(length >> 8);
    f[6] = static_cast<uint8_t>(length >> 16);
    f[7] = static_cast<uint8_t>(length >> 24);
    return f;
  };
  auto wrong_magic = good;
  wrong_magic[3] = 0x7E;
  const Case cases[] = {
      {"garbage", {'h', 'e', 'l', 'l', 'o'}, Status::kBadMagic},
      {"first byte alone", {0x51}, Status::kBadMagic},
      {"magic one byte off", wrong_magic, Status::kBadMagic},
      {"length 0", with_length(0), Status::kBadLength},
      {"length 7", with_length(7), Status::kBadLength},
      {"length 65545", with_length(65545), Status::kBadLength},
      {"length 4 GiB - 1", with_length(0xFFFFFFFF), Status::kBadLength},
  };
  for (const Case& c : cases) {
    FrameSplitter s;
    s.Feed(c.bytes);
    std::vector<uint8_t> packet;
    EXPECT_EQ(s.Next(&packet), c.status) << c.name;
    // Nothing after it is taken, not even a good frame.
    s.Feed(good);
    EXPECT_EQ(s.Next(&packet), c.status) << c.name;
  }
}

TEST(TcpFrame, SmallestAndLargestPacketsPass) {
  for (const uint32_t payload : {0u, 65536u}) {
    FrameSplitter s;
    const auto p = simtest::Packet(wire::CMD_DATA, 1, 1, std::vector<uint8_t>(payload, 1));
    s.Feed(simtest::Frame(p));
    std::vector<uint8_t> packet;
    ASSERT_EQ(s.Next(&packet), Status::kPacket) << payload;
    EXPECT_EQ(packet, p);
    EXPECT_EQ(s.Next(&packet), Status::kNeedMore);
  }
}

}  // namespace
}  // namespace termsim
