#include "usb_block.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "wire/packet.h"

namespace {

using namespace usblink;

std::vector<uint8_t> Packet(size_t length, uint8_t fill = 0x11) {
  std::vector<uint8_t> p(length, fill);
  if (length >= 2) p[0] = 0xD0, p[1] = 0x07;  // code 2000
  return p;
}

TEST(UsbBlock, RequestBlocksFollowTheirPacketSize) {
  struct Case {
    size_t length;
    size_t block;
  };
  for (const Case& c : std::vector<Case>{{8, 512}, {100, 512}, {503, 512}, {504, 1024},
                                         {1015, 1024}, {1016, 1536}, {1527, 1536}, {1528, 0}}) {
    EXPECT_EQ(BlockSizeFor(c.length), c.block) << c.length;
  }
}

TEST(UsbBlock, A100BytePacketGoesOutAsA512ByteBlock) {
  const auto packet = Packet(100);
  std::vector<uint8_t> out(kBlockArea, 0xEE);
  ASSERT_EQ(EncodeBlock(0x0105 & 0xFF, packet, out), 512u);
  EXPECT_EQ(out[0], 0x05);
  EXPECT_EQ(out[1], 0x05);
  EXPECT_EQ(out[2], 0x81);
  EXPECT_EQ(out[3], 0x7E);
  EXPECT_EQ(out[4] | (out[5] << 8), 100);
  EXPECT_TRUE(std::equal(packet.begin(), packet.end(), out.begin() + 8));
  EXPECT_EQ(out[108], 0xFF);
  for (size_t i = 109; i < kBlockArea; ++i) ASSERT_EQ(out[i], 0) << i;
  // The checksum covers the 8 + length bytes with its own field zero.
  const uint16_t stored = static_cast<uint16_t>(out[6] | (out[7] << 8));
  out[6] = out[7] = 0;
  EXPECT_EQ(stored, wire::InternetChecksum(std::span<const uint8_t>(out).first(108)));
}

TEST(UsbBlock, APacketTooLargeWritesNothing) {
  std::vector<uint8_t> out(kBlockArea, 0xEE);
  EXPECT_EQ(EncodeBlock(1, Packet(1528), out), 0u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(EncodeBlock(1, Packet(1024), out), 1536u);
}

TEST(UsbBlock, AnswersAreTakenOnlyWhenWhole) {
  std::vector<uint8_t> good(kBlockArea);
  ASSERT_NE(EncodeBlock(1, Packet(20), good), 0u);
  ASSERT_TRUE(DecodeAnswer(good).has_value());
  EXPECT_EQ(DecodeAnswer(good)->size(), 20u);

  auto with_length = [&](uint16_t length) {
    auto b = good;
    b[4] = static_cast<uint8_t>(length);
    b[5] = static_cast<uint8_t>(length >> 8);
    if (8u + length < b.size()) b[8 + length] = 0xFF;
    return b;
  };
  EXPECT_TRUE(DecodeAnswer(with_length(1527)).has_value());
  for (uint16_t length : {0, 4, 7, 1528, 1531, 1535, 1536, 65535})
    EXPECT_FALSE(DecodeAnswer(with_length(length)).has_value()) << length;
  // A block shorter than its packet and end mark.
  EXPECT_FALSE(DecodeAnswer(std::span<const uint8_t>(good).first(28)).has_value());
  EXPECT_TRUE(DecodeAnswer(std::span<const uint8_t>(good).first(29)).has_value());
}

// Any bytes at all: a taken packet lies inside the block, within its limits.
TEST(UsbBlock, HostileBlocksNeverReachOutside) {
  std::mt19937 rng(7);
  std::vector<uint8_t> block(kBlockArea);
  int taken = 0;
  for (int i = 0; i < 20000; ++i) {
    for (auto& b : block) b = static_cast<uint8_t>(rng());
    // Lengths in range often enough to reach the later checks.
    if (i % 2 == 0) block[5] = static_cast<uint8_t>(rng() % 7);
    const uint16_t length = static_cast<uint16_t>(block[4] | (block[5] << 8));
    if (i % 4 == 0 && length + 8u < block.size()) block[8 + length] = 0xFF;
    const size_t size = static_cast<size_t>(rng() % (kBlockArea + 1));
    const auto packet = DecodeAnswer(std::span<const uint8_t>(block).first(size));
    if (!packet) continue;
    ++taken;
    ASSERT_GE(packet->data(), block.data());
    ASSERT_LE(packet->data() + packet->size() + 1, block.data() + size);
    ASSERT_GE(packet->size(), kMinPacket);
    ASSERT_LE(packet->size(), kMaxPacket);
  }
  EXPECT_GT(taken, 100);
}

}  // namespace
