// Dropping minutiae and shrinking templates to a size limit.
#include <gtest/gtest.h>

#include <memory>
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

TEST(Shrink, ResultNeverOutgrowsTheTemplatesOwnBuffer) {
  // An old template packs minutiae in 4 bytes; compact takes 5, so the
  // re-encoded form would not fit where the old one was.
  Bytes old = {0x2A, 0x43, 0, 63 << 2, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 63; ++i) {
    testing::AppendLe16(old, ((20 + i * 7) << 7) | 3);
    testing::AppendLe16(old, (i * 5) << 7);
  }
  old.push_back(0);
  ASSERT_EQ(TemplateLength(old), old.size());
  const size_t n = ShrinkTemplate(old, 1000);
  ASSERT_GT(n, 0u);
  EXPECT_LE(n, old.size());
  auto m = std::make_unique<TemplateModel>();
  EXPECT_EQ(DecodeTemplate(std::span(old).first(n), *m), n);
  EXPECT_EQ(m->minutiae_count, 63 - 12);  // 320 bytes into 263: 12 fewer
}

}  // namespace
}  // namespace templates
