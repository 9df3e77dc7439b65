// Dropping minutiae and shrinking templates to a size limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "minutiae_reduction.h"
#include "template_codec.h"
#include "template_decoder.h"
#include "template_encoder.h"
#include "template_samples.h"

namespace templates {
namespace {

using testing::Bytes;

std::unique_ptr<TemplateModel> ModelWith(const std::vector<std::pair<int, int>>& points) {
  auto m = std::make_unique<TemplateModel>();
  m->Clear();
  for (size_t i = 0; i < points.size(); ++i) {
    m->minutiae[i].x = points[i].first;
    m->minutiae[i].y = points[i].second;
    m->minutiae[i].extra = static_cast<int>(i);
  }
  m->minutiae_count = static_cast<int>(points.size());
  return m;
}

std::vector<int> Extras(const TemplateModel& m) {
  std::vector<int> e;
  for (int i = 0; i < m.minutiae_count; ++i) e.push_back(m.minutiae[i].extra);
  return e;
}

// Centre (171, 169); squared distances 9802, 8482, 105802, 9832, 57802.
const std::vector<std::pair<int, int>> kPoints = {
    {100, 100}, {110, 100}, {400, 400}, {105, 95}, {0, 0}};

TEST(ReduceMinutiae, BubblePassesDropTheFarthest) {
  auto one = ModelWith(kPoints);
  ASSERT_TRUE(ReduceMinutiae(*one, 1));
  EXPECT_EQ(Extras(*one), (std::vector<int>{1, 0, 3, 4}));
  auto two = ModelWith(kPoints);
  ASSERT_TRUE(ReduceMinutiae(*two, 2));
  EXPECT_EQ(Extras(*two), (std::vector<int>{1, 0, 3}));
  EXPECT_EQ(two->minutiae[3].extra, 0);  // the freed slots are cleared
}

TEST(ReduceMinutiae, RefusesDroppingAll) {
  auto m = ModelWith(kPoints);
  EXPECT_FALSE(ReduceMinutiae(*m, 5));
  EXPECT_FALSE(ReduceMinutiae(*m, -1));
  EXPECT_EQ(m->minutiae_count, 5);
  ASSERT_TRUE(ReduceMinutiae(*m, 4));
  EXPECT_EQ(m->minutiae_count, 1);
  auto none = ModelWith({});
  EXPECT_FALSE(ReduceMinutiae(*none, 0));  // nothing to divide by
}

class ShrinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto m = std::make_unique<TemplateModel>();
    m->Clear();
    for (int i = 0; i < 40; ++i) {
      m->minutiae[i] = {50 + (i * 41) % 400, 40 + (i * 67) % 420, (i * 5) % 240, i % 4, i};
    }
    m->minutiae_count = 40;
    m->singular_count = 2;
    m->grid_lines = m->grid_cells = 20;
    for (int line = 0; line < 20; ++line) {
      for (int cell = 0; cell < 20; ++cell) m->Cell(line, cell) = (line * 5 + cell * 11) % 120;
    }
    model_ = std::move(m);
    tmpl_.resize(kCompactScratchBytes);
    tmpl_.resize(EncodeCompact(*model_, true, tmpl_));
  }

  std::unique_ptr<TemplateModel> Decoded(const Bytes& t, size_t length) {
    auto m = std::make_unique<TemplateModel>();
    EXPECT_EQ(DecodeTemplate(std::span(t).first(length), *m), length);
    return m;
  }

  static constexpr size_t kWithoutGrid = 5 + 40 * 5 + 2 * 4;
  std::unique_ptr<TemplateModel> model_;
  Bytes tmpl_;
};

TEST_F(ShrinkTest, FittingTemplateKeepsItsGrid) {
  const Bytes before = tmpl_;
  EXPECT_EQ(ShrinkTemplate(tmpl_, tmpl_.size()), before.size());
  EXPECT_EQ(tmpl_, before);
}

TEST_F(ShrinkTest, GridGoesFirst) {
  ASSERT_GT(tmpl_.size(), kWithoutGrid);
  const size_t n = ShrinkTemplate(tmpl_, tmpl_.size() - 1);
  ASSERT_EQ(n, kWithoutGrid);
  EXPECT_EQ(tmpl_[3] & 0x80, 0);
  auto back = Decoded(tmpl_, n);
  EXPECT_EQ(back->minutiae_count, 40);
  EXPECT_EQ(back->grid_lines, 0);
}

TEST_F(ShrinkTest, ThenTheFarthestMinutiae) {
  const size_t n = ShrinkTemplate(tmpl_, 200);  // 13 bytes over: 3 minutiae
  ASSERT_EQ(n, kWithoutGrid - 15);
  auto expected = std::make_unique<TemplateModel>(*model_);
  ASSERT_TRUE(ReduceMinutiae(*expected, 3));
  EXPECT_EQ(Extras(*Decoded(tmpl_, n)), Extras(*expected));
}

TEST_F(ShrinkTest, LimitBelowTheBareHeaderFailsAndLeavesTheTemplate) {
  const Bytes before = tmpl_;
  EXPECT_EQ(ShrinkTemplate(tmpl_, 12), 0u);
  EXPECT_EQ(ShrinkTemplate(tmpl_, 0), 0u);
  EXPECT_EQ(tmpl_, before);
}

TEST_F(ShrinkTest, UndecodableTemplateFails) {
  Bytes junk = {0x00, 0x11, 0x22, 0x33};
  EXPECT_EQ(ShrinkTemplate(junk, 100), 0u);
  EXPECT_EQ(junk, (Bytes{0x00, 0x11, 0x22, 0x33}));
}

// The template at the start of as many bytes as its format can take, the
// rest filled with a pattern, as a caller's memory would hold it.
Bytes InCallerMemory(const Bytes& tmpl) {
  Bytes memory(FormatMaxLength(FormatOf(tmpl)), 0x5A);
  std::copy(tmpl.begin(), tmpl.end(), memory.begin());
  return memory;
}

TEST(Shrink, ResultNeverOutgrowsTheTemplatesOwnLength) {
  // An old template packs minutiae in 4 bytes; compact takes 5, so the
  // re-encoded form would not fit where the old one was.
  Bytes old = {0x2A, 0x43, 0, 63 << 2, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 63; ++i) {
    testing::AppendLe16(old, ((20 + i * 7) << 7) | 3);
    testing::AppendLe16(old, (i * 5) << 7);
  }
  old.push_back(0);
  ASSERT_EQ(TemplateLength(old), old.size());
  Bytes memory = InCallerMemory(old);
  const size_t n = ShrinkTemplate(memory, 1000);
  ASSERT_GT(n, 0u);
  EXPECT_LE(n, old.size());
  EXPECT_TRUE(
      std::all_of(memory.begin() + old.size(), memory.end(), [](uint8_t b) { return b == 0x5A; }));
  auto m = std::make_unique<TemplateModel>();
  EXPECT_EQ(DecodeTemplate(std::span(memory).first(n), *m), n);
  EXPECT_EQ(m->minutiae_count, 63 - 12);  // 320 bytes into 263: 12 fewer
}

class ShrinkCaseTest : public ::testing::TestWithParam<testing::ShrinkCase> {};

// Whatever the length call measures, the shrink takes, read the same way.
TEST_P(ShrinkCaseTest, GivesTheExpectedBytes) {
  const auto& c = GetParam();
  Bytes memory = InCallerMemory(c.input);
  const size_t own = TemplateLength(memory);
  ASSERT_GT(own, 0u);
  ASSERT_EQ(ShrinkTemplate(memory, c.maximum), c.expected.size());
  EXPECT_EQ(Bytes(memory.begin(), memory.begin() + c.expected.size()), c.expected);
  EXPECT_TRUE(
      std::equal(memory.begin() + own, memory.end(), InCallerMemory(c.input).begin() + own));
}

INSTANTIATE_TEST_SUITE_P(Inputs, ShrinkCaseTest, ::testing::ValuesIn(testing::ShrinkCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Either encoder clamps the model it writes, and a reduction after it works
// on those positions: here the clamp moves the centre enough to change which
// minutia is the farthest.
using Encoder = size_t (*)(TemplateModel&, std::span<uint8_t>);
struct ClampCase {
  const char* name;
  Encoder encode;
  std::vector<std::pair<int, int>> points;
  std::vector<int> kept_unclamped, kept;
};

void PrintTo(const ClampCase& c, std::ostream* os) { *os << c.name; }

class ClampThenReduceTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ClampThenReduceTest, ReductionSeesTheWrittenPositions) {
  const auto& c = GetParam();
  auto raw = ModelWith(c.points);
  ASSERT_TRUE(ReduceMinutiae(*raw, 1));
  ASSERT_EQ(Extras(*raw), c.kept_unclamped);  // the case is one the clamp decides

  auto m = ModelWith(c.points);
  Bytes out(kCompactScratchBytes);
  ASSERT_GT(c.encode(*m, out), 0u);
  ASSERT_TRUE(ReduceMinutiae(*m, 1));
  EXPECT_EQ(Extras(*m), c.kept);
}

size_t Standard(TemplateModel& m, std::span<uint8_t> out) {
  return EncodeStandard(m, 1, false, out);
}
size_t Compact(TemplateModel& m, std::span<uint8_t> out) { return EncodeCompact(m, false, out); }

// The old template's minutiae of the table above, and the same with x and y
// swapped.
INSTANTIATE_TEST_SUITE_P(
    Encoders, ClampThenReduceTest,
    ::testing::Values(
        ClampCase{"CompactClampsY", Compact, {{448, 440}, {224, 520}, {480, 640}}, {0, 1}, {0, 2}},
        ClampCase{
            "StandardClampsX", Standard, {{440, 448}, {520, 224}, {640, 480}}, {0, 1}, {0, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace templates
