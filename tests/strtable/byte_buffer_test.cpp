#include "strtable/byte_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <vector>

namespace strtable {
namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

std::vector<uint8_t> Written(const ByteBuffer& buffer) {
  return {buffer.Written().begin(), buffer.Written().end()};
}

TEST(ByteBuffer, CreateAndWrap) {
  auto owned = ByteBuffer::CreateBuffer(100);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(owned->Capacity(), 100);
  EXPECT_EQ(owned->BufferRemaining(), 100);
  EXPECT_FALSE(owned->IsBorrowed());
  ByteBuffer::DestroyBuffer(std::move(owned));
  ByteBuffer::DestroyBuffer(nullptr);

  EXPECT_EQ(ByteBuffer::CreateBuffer(-1), nullptr);
  auto empty = ByteBuffer::CreateBuffer(0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->BufferRemaining(), 0);

  std::array<uint8_t, 8> memory{};
  auto wrapped = ByteBuffer::WrapBuffer(memory);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_TRUE(wrapped->IsBorrowed());
  EXPECT_EQ(wrapped->BufferRemaining(), 8);
  const std::array<uint8_t, 3> data{7, 8, 9};
  EXPECT_EQ(wrapped->AppendClamped(data), 3);
  EXPECT_EQ(memory[0], 7);  // writes land in the caller's memory
  EXPECT_EQ(memory[2], 9);
}

TEST(ByteBuffer, AppendClampedCopiesWhatFits) {
  auto buffer = ByteBuffer::CreateBuffer(10);
  const auto six = Bytes(6);
  EXPECT_EQ(buffer->AppendClamped(six), 6);
  EXPECT_EQ(buffer->BufferRemaining(), 4);
  const auto ten = Bytes(10, 100);
  EXPECT_EQ(buffer->AppendClamped(ten), 4);
  EXPECT_EQ(buffer->BufferRemaining(), 0);
  EXPECT_EQ(buffer->Capacity(), 10);
  EXPECT_EQ(Written(*buffer), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 100, 101, 102, 103}));
  EXPECT_EQ(buffer->AppendClamped(ten), 0);
}

TEST(ByteBuffer, AppendGrowingAddsAtLeast10240) {
  auto buffer = ByteBuffer::CreateBuffer(100);
  const auto hundred = Bytes(100);
  ASSERT_EQ(buffer->AppendGrowing(hundred), 100);
  EXPECT_EQ(buffer->Capacity(), 100);  // exactly fits: no growth
  const auto five = Bytes(5, 200);
  EXPECT_EQ(buffer->AppendGrowing(five), 5);
  EXPECT_EQ(buffer->Capacity(), 10340);
  EXPECT_EQ(buffer->Size(), 105);
  EXPECT_EQ(buffer->Written()[99], 99);
  EXPECT_EQ(buffer->Written()[104], 204);
}

TEST(ByteBuffer, AppendGrowingByTheShortfallWhenLarger) {
  auto buffer = ByteBuffer::CreateBuffer(100);
  const auto big = Bytes(20050);
  EXPECT_EQ(buffer->AppendGrowing(big), 20050);
  EXPECT_EQ(buffer->Capacity(), 100 + 19950);
  EXPECT_EQ(buffer->BufferRemaining(), 0);
  EXPECT_EQ(Written(*buffer), big);
}

TEST(ByteBuffer, AppendGrowingNeverGrowsBorrowedMemory) {
  std::array<uint8_t, 4> memory{1, 2, 3, 4};
  auto buffer = ByteBuffer::WrapBuffer(memory);
  const auto four = Bytes(4, 10);
  ASSERT_EQ(buffer->AppendGrowing(four), 4);
  const auto one = Bytes(1, 50);
  EXPECT_EQ(buffer->AppendGrowing(one), 0);
  EXPECT_EQ(buffer->Capacity(), 4);
  EXPECT_EQ(buffer->Size(), 4);
  EXPECT_EQ(memory, (std::array<uint8_t, 4>{10, 11, 12, 13}));
}

TEST(ByteBuffer, AppendGrowingOfItsOwnBytes) {
  auto buffer = ByteBuffer::CreateBuffer(16);
  const auto sixteen = Bytes(16);
  buffer->AppendGrowing(sixteen);
  // The source is the buffer itself, which this append moves.
  EXPECT_EQ(buffer->AppendGrowing(buffer->Written()), 16);
  std::vector<uint8_t> expected = sixteen;
  expected.insert(expected.end(), sixteen.begin(), sixteen.end());
  EXPECT_EQ(Written(*buffer), expected);
}

TEST(ByteBuffer, EmptyAppends) {
  auto buffer = ByteBuffer::CreateBuffer(0);
  EXPECT_EQ(buffer->AppendClamped({}), 0);
  EXPECT_EQ(buffer->AppendGrowing({}), 0);
  EXPECT_EQ(buffer->Capacity(), 0);
  const auto one = Bytes(1);
  EXPECT_EQ(buffer->AppendGrowing(one), 1);
  EXPECT_EQ(buffer->Capacity(), 10240);
}

}  // namespace
}  // namespace strtable
