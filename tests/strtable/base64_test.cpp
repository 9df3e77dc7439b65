#include "strtable/base64.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace strtable {
namespace {

std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Encode(std::string_view bytes) {
  std::string out(Base64EncodedSize(bytes.size()), '#');
  const int n = Base64Encode(AsBytes(bytes), out.data());
  EXPECT_EQ(out[static_cast<size_t>(n)], '\0');
  out.resize(static_cast<size_t>(n));
  return out;
}

// Decoded bytes as text, or "<n>" for a negative result.
std::string Decode(const char* text) {
  std::vector<uint8_t> out(Base64DecodedMaxSize(std::string_view(text).size()) + 1);
  const int n = Base64Decode(text, out.data());
  if (n < 0) return "<" + std::to_string(n) + ">";
  return {out.begin(), out.begin() + n};
}

struct Vector {
  std::string_view bytes;
  std::string_view text;
};

constexpr Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
    {"abc", "YWJj"},
    {"a", "YQ=="},
};

TEST(Base64, StandardVectors) {
  for (const Vector& v : kRfc4648) {
    SCOPED_TRACE(v.text);
    EXPECT_EQ(Encode(v.bytes), v.text);
    EXPECT_EQ(Decode(std::string(v.text).c_str()), v.bytes);
  }
}

TEST(Base64, DecodeSkipsLineBreaksAndSpaces) {
  EXPECT_EQ(Decode("YW\r\nJj"), "abc");
  EXPECT_EQ(Decode(" Y W J j \n"), "abc");
  EXPECT_EQ(Decode("YQ=="), "a");
}

TEST(Base64, DecodeDropsAnUnfinishedGroup) {
  EXPECT_EQ(Decode("YW"), "");
  EXPECT_EQ(Decode("YWJjYQ"), "abc");
}

TEST(Base64, PaddingLowersTheYieldForTheRestOfTheText) {
  // After "YQ==" every later group yields a single byte.
  EXPECT_EQ(Decode("YQ==YWJj"), "aa");
}

TEST(Base64, InvalidCharacters) {
  for (const char* text : {"YW!j", "YWJ\tj", "\x80WJj", "YW-j", "YW_j", "Y\xffJj"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Decode(text), "<-1>");
  }
  EXPECT_EQ(Base64Decode(nullptr, nullptr), kBase64Invalid);
}

TEST(Base64, BytesBeforeAnInvalidCharacterStay) {
  std::array<uint8_t, 6> out{};
  EXPECT_EQ(Base64Decode("YWJj!WJj", out.data()), kBase64Invalid);
  EXPECT_EQ(out[0], 'a');
  EXPECT_EQ(out[2], 'c');
}

TEST(Base64, RoundTripOfEveryLengthUpTo64) {
  uint32_t state = 0x9E3779B9u;
  for (size_t length = 0; length <= 64; ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<uint8_t>(state >> 24);
    }
    std::vector<char> text(Base64EncodedSize(length));
    const int chars = Base64EncodeBounded(bytes, text);
    ASSERT_EQ(static_cast<size_t>(chars) + 1, text.size());
    EXPECT_EQ(chars % 4, 0);

    std::vector<uint8_t> back(Base64DecodedMaxSize(static_cast<size_t>(chars)));
    const int n = Base64DecodeBounded(text.data(), back);
    ASSERT_EQ(n, static_cast<int>(length));
    back.resize(length);
    EXPECT_EQ(back, bytes);

    std::vector<uint8_t> unbounded(back.size() + 3);
    ASSERT_EQ(Base64Decode(text.data(), unbounded.data()), static_cast<int>(length));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), unbounded.begin()));
  }
}

TEST(Base64, SizeHelpers) {
  EXPECT_EQ(Base64EncodedSize(0), 1u);
  EXPECT_EQ(Base64EncodedSize(1), 5u);
  EXPECT_EQ(Base64EncodedSize(3), 5u);
  EXPECT_EQ(Base64EncodedSize(4), 9u);
  EXPECT_EQ(Base64DecodedMaxSize(3), 0u);
  EXPECT_EQ(Base64DecodedMaxSize(4), 3u);
  EXPECT_EQ(Base64DecodedMaxSize(11), 6u);
}

TEST(Base64, BoundedEncodeRefusesASmallOutput) {
  const std::string_view bytes = "foobar";  // 8 characters and a NUL
  std::array<char, 12> out;
  out.fill('#');
  EXPECT_EQ(Base64EncodeBounded(AsBytes(bytes), std::span<char>(out).first(8)), kBase64NoRoom);
  EXPECT_EQ(out[0], '\0');
  for (size_t i = 1; i < out.size(); ++i) EXPECT_EQ(out[i], '#');
  EXPECT_EQ(Base64EncodeBounded(AsBytes(bytes), std::span<char>()), kBase64NoRoom);
  EXPECT_EQ(Base64EncodeBounded(AsBytes(bytes), std::span<char>(out).first(9)), 8);
  EXPECT_STREQ(out.data(), "Zm9vYmFy");
  EXPECT_EQ(out[9], '#');
}

TEST(Base64, BoundedDecodeStopsBeforeAGroupThatDoesNotFit) {
  std::array<uint8_t, 8> out;
  out.fill(0xEE);
  // Two groups need 6 bytes; only 5 are given.
  EXPECT_EQ(Base64DecodeBounded("Zm9vYmFy", std::span<uint8_t>(out).first(5)), kBase64NoRoom);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "foo");
  EXPECT_EQ(out[3], 0xEE);
  EXPECT_EQ(out[5], 0xEE);
  EXPECT_EQ(Base64DecodeBounded("Zm9vYmFy", std::span<uint8_t>(out).first(6)), 6);
  EXPECT_EQ(Base64DecodeBounded("Zm8=", std::span<uint8_t>(out).first(2)), 2);
  EXPECT_EQ(Base64DecodeBounded("Zm8=", std::span<uint8_t>()), kBase64NoRoom);
  EXPECT_EQ(Base64DecodeBounded("Zm!=", std::span<uint8_t>()), kBase64Invalid);
  EXPECT_EQ(Base64DecodeBounded(std::string_view("Zm8=\0!!!!", 9), out), 2);  // ends at NUL
}

}  // namespace
}  // namespace strtable
