#include "strtable/extract_field.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace strtable {
namespace {

struct FieldCase {
  const char* line;
  const char* key;
  char delimiter;
  int result;
  const char* value;
};

TEST(ExtractField, Lookups) {
  constexpr FieldCase kCases[] = {
      {"A=1,B=22,E=3", "B", ',', 2, "22"},
      {"A=1,B=22,E=3", "A", ',', 1, "1"},
      {"A=1,B=22,E=3", "E", ',', 1, "3"},
      {"A=1,B=22,E=3", "D", ',', -1, ""},
      {"AB=1,B=2", "B", ',', 1, "2"},  // "B" is not taken from "AB"
      {"AB=1,B=2", "AB", ',', 1, "1"},
      {"XB=1", "B", ',', -1, ""},
      {"A=,B=2", "A", ',', 0, ""},
      {"A=1\tPIN=42\tName=x y", "PIN", '\t', 2, "42"},
      {"A=1\tPIN=42\tName=x y", "Name", '\t', 3, "x y"},
      {"A=1,B", "B", ',', -1, ""},
      {"B=x=y,C=1", "B", ',', 3, "x=y"},
      {",B=2", "B", ',', 1, "2"},
      {"", "B", ',', -1, ""},
  };
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE(std::string(c.line) + " / " + c.key);
    std::array<char, 64> out;
    out.fill('#');
    EXPECT_EQ(ExtractField(c.line, c.key, c.delimiter, out.data()), c.result);
    EXPECT_STREQ(out.data(), c.value);
    out.fill('#');
    EXPECT_EQ(ExtractFieldBounded(c.line, c.key, c.delimiter, out), c.result);
    EXPECT_STREQ(out.data(), c.value);
  }
}

TEST(ExtractField, AbsentLineOrKey) {
  char out[8] = "junk";
  EXPECT_EQ(ExtractField(nullptr, "A", ',', out), kFieldNotFound);
  EXPECT_STREQ(out, "");
  std::string("junk").copy(out, 5);
  EXPECT_EQ(ExtractField("A=1", nullptr, ',', out), kFieldNotFound);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(ExtractField("A=1", "A", ',', nullptr), kFieldNotFound);
}

TEST(ExtractField, KeyLengthLimit) {
  const std::string longest(kMaxFieldKeyLength, 'k');
  const std::string too_long(kMaxFieldKeyLength + 1, 'k');
  std::array<char, 16> out;
  const std::string line = "x=0," + longest + "=yes," + too_long + "=no";
  EXPECT_EQ(ExtractField(line.c_str(), longest.c_str(), ',', out.data()), 3);
  EXPECT_STREQ(out.data(), "yes");
  EXPECT_EQ(ExtractField(line.c_str(), too_long.c_str(), ',', out.data()), kFieldNotFound);
  EXPECT_STREQ(out.data(), "");
  const std::string at_start = too_long + "=no";
  EXPECT_EQ(ExtractFieldBounded(at_start.c_str(), too_long.c_str(), ',', out), kFieldNotFound);
}

TEST(ExtractFieldBounded, TruncatesAndSaysSo) {
  std::array<char, 8> out;
  out.fill('#');
  const auto first = [&](size_t n) { return std::span<char>(out).first(n); };
  EXPECT_EQ(ExtractFieldBounded("A=1,B=22222,C=3", "B", ',', first(6)), 5);
  EXPECT_STREQ(out.data(), "22222");
  out.fill('#');
  EXPECT_EQ(ExtractFieldBounded("A=1,B=22222,C=3", "B", ',', first(5)), kFieldTruncated);
  EXPECT_STREQ(out.data(), "2222");
  EXPECT_EQ(out[5], '#');
  EXPECT_EQ(ExtractFieldBounded("B=22", "B", ',', first(1)), kFieldTruncated);
  EXPECT_STREQ(out.data(), "");
  EXPECT_EQ(ExtractFieldBounded("B=", "B", ',', first(1)), 0);
  EXPECT_EQ(ExtractFieldBounded("B=", "B", ',', std::span<char>()), kFieldTruncated);
  EXPECT_EQ(ExtractFieldBounded("B=", "C", ',', std::span<char>()), kFieldNotFound);
}

}  // namespace
}  // namespace strtable
