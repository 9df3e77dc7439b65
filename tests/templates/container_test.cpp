// Version-10 containers: scrambling, merge and split, and the exported
// functions around them.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "container_scrambler.h"
#include "devapi.h"
#include "template_codec.h"
#include "template_samples.h"

namespace templates {
namespace {

using testing::Block;
using testing::Bytes;
using testing::PlainContainer;

Bytes Scrambled(Bytes plain) {
  EXPECT_TRUE(ScrambleContainer(plain));
  return plain;
}

Bytes Plain(Bytes container) {
  EXPECT_TRUE(DescrambleContainer(container));
  return container;
}

// ---- Scrambling ----

class ScrambleRoundTrip : public ::testing::TestWithParam<size_t> {};

TEST_P(ScrambleRoundTrip, RestoresEveryByte) {
  const size_t length = GetParam();
  std::mt19937 rng(static_cast<unsigned>(length));
  Bytes plain(length);
  for (auto& b : plain) b = static_cast<uint8_t>(rng());
  std::copy_n("ICRS21", 6, plain.begin());
  plain[8] = static_cast<uint8_t>(length >> 8);
  plain[9] = static_cast<uint8_t>(length);

  Bytes scrambled = plain;
  ASSERT_TRUE(ScrambleContainer(scrambled));
  EXPECT_NE(scrambled, plain);
  // The length stays readable.
  EXPECT_EQ(scrambled[8], plain[8]);
  EXPECT_EQ(scrambled[9], plain[9]);
  ASSERT_TRUE(DescrambleContainer(scrambled));
  EXPECT_EQ(scrambled, plain);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ScrambleRoundTrip,
                         ::testing::Values(24, 25, 33, 100, 1000, 4119, 16383, 16384));

TEST(Scramble, PlainContainerIsNotDescrambledAgain) {
  const Bytes plain = PlainContainer({Block(40, 0, 1)});
  Bytes copy = plain;
  EXPECT_TRUE(DescrambleContainer(copy));
  EXPECT_EQ(copy, plain);
}

TEST(Scramble, RefusesLengthsOutsideTheContainerRange) {
  Bytes big(16385 + 10, 0x55);
  big[8] = 0x40;
  big[9] = 0x01;  // 16385
  const Bytes before = big;
  EXPECT_FALSE(ScrambleContainer(big));
  EXPECT_FALSE(DescrambleContainer(big));
  EXPECT_EQ(big, before);

  Bytes small = PlainContainer({});
  small[9] = 23;
  EXPECT_FALSE(ScrambleContainer(small));
  Bytes beyond = PlainContainer({Block(40, 0, 1)});
  beyond.pop_back();  // the length field says one more byte than there is
  EXPECT_FALSE(ScrambleContainer(beyond));
}

// ---- Merge and split ----

struct Fingers {
  Bytes a = Scrambled(PlainContainer({Block(300, 7, 1)}));
  Bytes b = Scrambled(PlainContainer({Block(520, 7, 2)}));
  Bytes c = Scrambled(PlainContainer({Block(77, 7, 3)}));
};

std::vector<uint8_t> Merge(const std::vector<Bytes>& inputs, std::string* trace_out = nullptr) {
  std::vector<std::span<const uint8_t>> spans(inputs.begin(), inputs.end());
  std::string trace;
  auto merged = MergeTemplates(spans, trace);
  if (trace_out) *trace_out = trace;
  return merged;
}

std::vector<Bytes> Split(const Bytes& container, std::string* trace_out = nullptr) {
  std::string trace;
  auto parts = SplitTemplate(container, trace);
  if (trace_out) *trace_out = trace;
  return parts;
}

TEST(Merge, NumbersTheBlocksAndSplitGivesTheInputsBack) {
  const Fingers f;
  std::string trace;
  const Bytes merged = Merge({f.a, f.b, f.c}, &trace);
  ASSERT_EQ(merged.size(), 24u + 300 + 520 + 77);
  EXPECT_EQ(trace, "processPos=324\nprocessPos=844\nprocessPos=921\n");

  const Bytes plain = Plain(merged);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 6), (Bytes{'I', 'C', 'R', 'S', '2', '1'}));
  EXPECT_EQ(plain[10], 3);
  EXPECT_EQ(plain[24 + 2], 0);
  EXPECT_EQ(plain[24 + 300 + 2], 1);
  EXPECT_EQ(plain[24 + 820 + 2], 2);

  const std::vector<Bytes> parts = Split(merged);
  ASSERT_EQ(parts.size(), 3u);
  // The split zeroes the position byte the inputs carried (7).
  const Bytes* inputs[] = {&f.a, &f.b, &f.c};
  for (size_t i = 0; i < 3; ++i) {
    Bytes expected = Plain(*inputs[i]);
    expected[26] = 0;
    EXPECT_EQ(Plain(parts[i]), expected) << "part " << i;
  }
}

TEST(Merge, SplitThenMergeGivesTheContainerBack) {
  const Bytes original = Scrambled(
      PlainContainer({Block(100, 0, 4), Block(200, 1, 5), Block(4095, 2, 6)}, 0xAAAA, 0xBBBB));
  std::string trace;
  const std::vector<Bytes> parts = Split(original, &trace);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(Plain(parts[2]).size(), 24u + 4095);
  EXPECT_NE(trace.find("\nprocessPos:124,FingerSizes[0]:124\n"
                       "processPos:324,FingerSizes[1]:224\n"
                       "processPos:4419,FingerSizes[2]:4119\n"),
            std::string::npos);
  for (const Bytes& part : parts) {
    const Bytes p = Plain(part);
    EXPECT_EQ(p[10], 1);
    EXPECT_EQ(p[26], 0);
    EXPECT_EQ(p[20], 0xAA);
    EXPECT_EQ(p[23], 0xBB);
  }
  EXPECT_EQ(Merge(parts), original);
}

TEST(Split, EchoesTheContainersFirstBytes) {
  const Bytes plain = PlainContainer({Block(30, 0, 1)});
  std::string trace;
  ASSERT_EQ(Split(plain, &trace).size(), 1u);
  std::string expected;
  for (size_t i = 0; i < plain.size(); ++i) {
    char item[8];
    std::snprintf(item, sizeof item, "[%x]", plain[i]);
    expected += item;
  }
  EXPECT_EQ(trace, expected + "\n");  // 54 bytes: the echo stops at the end
}

TEST(Split, SingleFingerComesBackWholeAndScrambled) {
  const Bytes plain = PlainContainer({Block(50, 3, 1)});
  const auto parts = Split(plain);  // plain input is accepted too
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0], Scrambled(plain));
}

TEST(Merge, SingleInputComesBackScrambled) {
  const Bytes plain = PlainContainer({Block(50, 3, 1)});
  EXPECT_EQ(Merge({plain}), Scrambled(plain));
  EXPECT_EQ(Merge({Scrambled(plain)}), Scrambled(plain));
}

TEST(Merge, MultiBlockInputsContributeEachBlockOnce) {
  const Bytes two = Scrambled(PlainContainer({Block(40, 5, 1), Block(60, 5, 2)}));
  const Bytes one = Scrambled(PlainContainer({Block(70, 5, 3)}));
  const Bytes plain = Plain(Merge({two, one}));
  ASSERT_EQ(plain.size(), 24u + 40 + 60 + 70);
  EXPECT_EQ(plain[10], 3);
  EXPECT_EQ(plain[24 + 2], 0);
  EXPECT_EQ(plain[64 + 2], 1);
  EXPECT_EQ(plain[124 + 2], 2);
}

struct BadInputCase {
  const char* name;
  Bytes container;
};

Bytes WithByte(Bytes b, size_t at, uint8_t v) {
  b[at] = v;
  return b;
}

std::vector<BadInputCase> BadContainers() {
  const Bytes good = PlainContainer({Block(100, 0, 1)});
  Bytes cut = good;
  cut.pop_back();
  return {
      {"NotAContainer", WithByte(good, 0, 'X')},
      {"LengthBelowHeader", WithByte(WithByte(good, 8, 0), 9, 20)},
      {"LengthBeyondBuffer", cut},
      {"LengthAbove16K", WithByte(good, 8, 0x40 | 0x01)},
      {"BlockLongerThanContainer", WithByte(good, 24 + 4, 101)},
      {"BlockShorterThanContainer", WithByte(good, 24 + 4, 99)},
      {"BlockTooShortForItsHeader", WithByte(good, 24 + 4, 4)},
      {"CountBeyondBlocks", WithByte(good, 10, 2)},
      {"NoBlocks", WithByte(good, 10, 0)},
  };
}

class BadContainerTest : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadContainerTest, MergeAndSplitRefuse) {
  const Fingers f;
  const Bytes& bad = GetParam().container;
  EXPECT_TRUE(Split(bad).empty());
  EXPECT_TRUE(Merge({bad}).empty());
  EXPECT_TRUE(Merge({f.a, bad}).empty());
  EXPECT_TRUE(Merge({bad, f.a}).empty());
}

INSTANTIATE_TEST_SUITE_P(Containers, BadContainerTest, ::testing::ValuesIn(BadContainers()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Merge, RefusesDifferentFormatWords) {
  const Fingers f;
  const Bytes other = Scrambled(PlainContainer({Block(90, 0, 9)}, 0x1234, 0x5679));
  EXPECT_TRUE(Merge({f.a, other}).empty());
  EXPECT_TRUE(Merge({f.a, f.b, other}).empty());
}

TEST(Merge, RefusesAResultAbove16K) {
  std::vector<Bytes> inputs(4, Scrambled(PlainContainer({Block(4095, 0, 1)})));
  EXPECT_EQ(Merge({inputs[0], inputs[1], inputs[2]}).size(), 24u + 3 * 4095);
  EXPECT_TRUE(Merge(inputs).empty());
}

TEST(Split, RefusesMoreThanTenFingers) {
  std::vector<Bytes> blocks;
  for (int i = 0; i < 10; ++i) blocks.push_back(Block(20, i, i));
  EXPECT_EQ(Split(PlainContainer(blocks)).size(), 10u);
  blocks.push_back(Block(20, 10, 10));
  EXPECT_TRUE(Split(PlainContainer(blocks)).empty());
}

// ---- The exported functions ----

TEST(Exports, MergeLeavesInputsAsGivenAndPrints) {
  const Fingers f;
  const Bytes plain_b = Plain(f.b);  // one input given plain
  Bytes a = f.a, b = plain_b, c = f.c;
  const unsigned char* inputs[] = {a.data(), b.data(), c.data()};
  std::vector<unsigned char> merged(kMaxContainerBytes, 0);

  ::testing::internal::CaptureStdout();
  const int32_t n = FPTOOL_MERGE_TEMPLATE(inputs, 3, merged.data());
  const std::string out = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(n, 24 + 300 + 520 + 77);
  EXPECT_EQ(out, "FPTOOL_MERGE_TEMPLATE\nprocessPos=324\nprocessPos=844\nprocessPos=921\n");
  EXPECT_EQ(a, f.a);
  EXPECT_EQ(b, plain_b);
  EXPECT_EQ(c, f.c);
  EXPECT_EQ(Bytes(merged.begin(), merged.begin() + n), Merge({f.a, f.b, f.c}));
}

TEST(Exports, FailedMergeWritesNothingAndLeavesInputs) {
  const Fingers f;
  Bytes a = f.a;
  Bytes other = Scrambled(PlainContainer({Block(90, 0, 9)}, 0x9999, 0x5678));
  const Bytes other_before = other;
  const unsigned char* inputs[] = {a.data(), other.data()};
  std::vector<unsigned char> merged(kMaxContainerBytes, 0xEE);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_MERGE_TEMPLATE(inputs, 2, merged.data()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "FPTOOL_MERGE_TEMPLATE\n");
  EXPECT_EQ(a, f.a);
  EXPECT_EQ(other, other_before);
  EXPECT_EQ(merged, std::vector<unsigned char>(kMaxContainerBytes, 0xEE));
}

TEST(Exports, MergeRefusesMissingArguments) {
  const Fingers f;
  const unsigned char* inputs[] = {f.a.data(), nullptr};
  unsigned char merged[kMaxContainerBytes];
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_MERGE_TEMPLATE(nullptr, 1, merged), 0);
  EXPECT_EQ(FPTOOL_MERGE_TEMPLATE(inputs, 1, nullptr), 0);
  EXPECT_EQ(FPTOOL_MERGE_TEMPLATE(inputs, 0, merged), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_MERGE_TEMPLATE(inputs, 2, merged), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "FPTOOL_MERGE_TEMPLATE\n");
}

TEST(Exports, SplitFillsOutputsAndLeavesTheContainer) {
  const Fingers f;
  Bytes container = Merge({f.a, f.b, f.c});
  const Bytes before = container;
  std::vector<std::vector<unsigned char>> buffers(kMaxSplitParts,
                                                  std::vector<unsigned char>(kMaxSplitPartBytes));
  unsigned char* outputs[kMaxSplitParts];
  for (size_t i = 0; i < kMaxSplitParts; ++i) outputs[i] = buffers[i].data();
  int32_t count = -1;
  int32_t lengths[kMaxSplitParts] = {};

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(container.data(), outputs, &count, lengths), 3);
  const std::string out = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(count, 3);
  EXPECT_EQ(lengths[0], 324);
  EXPECT_EQ(lengths[1], 544);
  EXPECT_EQ(lengths[2], 101);
  EXPECT_EQ(container, before);
  const auto parts = Split(before);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Bytes(buffers[i].begin(), buffers[i].begin() + lengths[i]), parts[i]);
  }
  EXPECT_EQ(out.rfind("FPTOOL_SPLIT_TEMPLATE\n[49][43][52][53][32][31][0][0][3][99][3][0]", 0), 0u);
  EXPECT_NE(out.find("]\nprocessPos:324,FingerSizes[0]:324\nprocessPos:844,FingerSizes[1]:544\n"
                     "processPos:921,FingerSizes[2]:101\n"),
            std::string::npos);
}

TEST(Exports, SplitRefusesMissingArguments) {
  const Fingers f;
  unsigned char buffer[kMaxSplitPartBytes];
  unsigned char* outputs[kMaxSplitParts] = {buffer};
  int32_t count = 0;
  int32_t lengths[kMaxSplitParts];
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(nullptr, outputs, &count, lengths), 0);
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(f.a.data(), nullptr, &count, lengths), 0);
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(f.a.data(), outputs, nullptr, lengths), 0);
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(f.a.data(), outputs, &count, nullptr), 0);
  // The entry line comes before the arguments are looked at.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "FPTOOL_SPLIT_TEMPLATE\nFPTOOL_SPLIT_TEMPLATE\nFPTOOL_SPLIT_TEMPLATE\n"
            "FPTOOL_SPLIT_TEMPLATE\n");
  // A second finger with nowhere to go.
  Bytes two = Merge({f.a, f.b});
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(FPTOOL_SPLIT_TEMPLATE(two.data(), outputs, &count, lengths), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace templates
