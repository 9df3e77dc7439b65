// Encoding the model: the standard and compact layouts, the grid in both,
// and the round trips that must keep the model.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <tuple>
#include <vector>

#include "template_codec.h"
#include "template_decoder.h"
#include "template_encoder.h"
#include "template_samples.h"

namespace templates {
namespace {

using testing::Bytes;
constexpr int E = kEmptyCell;

std::unique_ptr<TemplateModel> EmptyModel() {
  auto m = std::make_unique<TemplateModel>();
  m->Clear();
  return m;
}

void AddMinutiae(TemplateModel& m, int count) {
  for (int i = 0; i < count; ++i) {
    // x, y, direction, kind, extra (the extra numbers the minutiae)
    m.minutiae[i] = {(i * 37) % 500, (i * 91) % 500, (i * 3) % 240, i % 5, i % 256};
  }
  m.minutiae_count = count;
}

Bytes Standard(TemplateModel& m, bool grid = true, int subtype = 1) {
  Bytes out(kStandardMaxBytes);
  out.resize(EncodeStandard(m, subtype, grid, out));
  return out;
}

Bytes Compact(TemplateModel& m, bool grid = true) {
  Bytes out(kCompactScratchBytes);
  out.resize(EncodeCompact(m, grid, out));
  return out;
}

void ExpectSameModel(const TemplateModel& a, const TemplateModel& b) {
  EXPECT_EQ(a.quality, b.quality);
  ASSERT_EQ(a.minutiae_count, b.minutiae_count);
  for (int i = 0; i < a.minutiae_count; ++i) {
    const Minutia &p = a.minutiae[i], &q = b.minutiae[i];
    EXPECT_EQ(std::tie(p.x, p.y, p.direction, p.kind, p.extra),
              std::tie(q.x, q.y, q.direction, q.kind, q.extra))
        << "minutia " << i;
  }
  ASSERT_EQ(a.singular_count, b.singular_count);
  for (int i = 0; i < a.singular_count; ++i) {
    const SingularPoint &p = a.singular[i], &q = b.singular[i];
    EXPECT_EQ(std::tie(p.x, p.y, p.angle, p.kind), std::tie(q.x, q.y, q.angle, q.kind))
        << "singular point " << i;
  }
  EXPECT_EQ(a.grid_lines, b.grid_lines);
  EXPECT_EQ(a.grid_cells, b.grid_cells);
  EXPECT_TRUE(a.grid == b.grid);
}

std::unique_ptr<TemplateModel> Decoded(const Bytes& t) {
  auto m = std::make_unique<TemplateModel>();
  EXPECT_EQ(DecodeTemplate(t, *m), t.size());
  return m;
}

// ---- Standard ----

TEST(EncodeStandard, HeaderCarriesSizeSubtypeLengthAndCounts) {
  auto m = EmptyModel();
  AddMinutiae(*m, 2);
  m->singular_count = 1;
  m->quality = 66;
  m->grid_lines = 3;
  m->grid_cells = 5;
  const Bytes t = Standard(*m, true, 2);
  ASSERT_EQ(t.size(), 7u + 10 + 4 + 5 * 3);  // five empty lines of 3 bytes
  EXPECT_EQ(t[0] | (t[1] << 8), 0xCAA0);
  EXPECT_EQ(t[2], (5 << 2) | 2);
  EXPECT_EQ(t[3] | (t[4] << 8), (static_cast<int>(t.size()) << 6) | 5);
  EXPECT_EQ(t[5], (2 << 2) | 1);
  EXPECT_EQ(t[6], 66);
}

TEST(EncodeStandard, SeventyMinutiaeKeepTheSixtyThreeFromIndexThree) {
  auto m = EmptyModel();
  AddMinutiae(*m, 70);
  auto back = Decoded(Standard(*m));
  ASSERT_EQ(back->minutiae_count, 63);
  for (int i = 0; i < 63; ++i) EXPECT_EQ(back->minutiae[i].extra, i + 3);
}

TEST(EncodeStandard, AtMostThreeSingularPoints) {
  auto m = EmptyModel();
  m->singular_count = 5;
  EXPECT_EQ(Decoded(Standard(*m))->singular_count, 3);
}

TEST(EncodeStandard, EmptyLineIsZeroZeroAndOneEmptyCell) {
  auto m = EmptyModel();
  m->grid_lines = m->grid_cells = 1;
  const Bytes t = Standard(*m);
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(Bytes(t.begin() + 7, t.end()), (Bytes{0, 0, E}));
}

TEST(EncodeStandard, LineRunsFromFirstToLastNonEmptyCell) {
  auto m = EmptyModel();
  m->grid_lines = m->grid_cells = 2;
  m->Cell(0, 3) = 7;  // beyond the size, still part of the grid
  m->Cell(0, 5) = 9;
  m->Cell(1, 0) = 1;
  // Size 2 stores line 1 (row 0) first, then line 2 (row 1).
  const Bytes t = Standard(*m);
  EXPECT_EQ(Bytes(t.begin() + 7, t.end()), (Bytes{3, 5, 7, E, 9, 0, 0, 1}));
}

TEST(EncodeStandard, GridStopsAt1023BytesAndRecordsTheCutLine) {
  auto m = EmptyModel();
  AddMinutiae(*m, 63);
  m->singular_count = 3;
  m->grid_lines = m->grid_cells = 63;
  for (int line = 0; line < 63; ++line) {
    for (int cell = 0; cell < 63; ++cell) m->Cell(line, cell) = (line + cell) % 120;
  }
  const Bytes t = Standard(*m);
  ASSERT_EQ(t.size(), kStandardMaxBytes);
  const int lines = (t[3] | (t[4] << 8)) & 0x3F;
  // 334 header and record bytes leave room for 10 whole lines of 65 bytes
  // and 37 of the next one's 63 cells.
  EXPECT_EQ(lines, 11);
  EXPECT_EQ((t[3] | (t[4] << 8)) >> 6, 1023);
  auto back = Decoded(t);
  // The cut line is line 26 (centre-out from 31), row 25: cells 0..36.
  EXPECT_EQ(back->Cell(25, 36), (25 + 36) % 120);
  EXPECT_EQ(back->Cell(25, 37), E);
}

TEST(EncodeStandard, ClampsWhatTheFieldsCannotHold) {
  auto m = EmptyModel();
  m->minutiae_count = 1;
  m->minutiae[0] = {600, 512, 0, 0, 0};
  m->singular_count = 1;
  m->singular[0] = {900, 700, 400, 9};
  auto back = Decoded(Standard(*m));
  EXPECT_EQ(back->minutiae[0].x, 511);
  EXPECT_EQ(back->minutiae[0].y, 511);
  EXPECT_EQ(back->singular[0].x, 511);
  EXPECT_EQ(back->singular[0].y, 511);
  EXPECT_EQ(back->singular[0].angle, 359);
  EXPECT_EQ(back->singular[0].kind, 6);  // stored kind at most 7
  // The model now holds the clamped positions and angle; the kind is kept.
  const Minutia& mm = m->minutiae[0];
  const SingularPoint& sp = m->singular[0];
  EXPECT_EQ(std::make_tuple(mm.x, mm.y), std::make_tuple(511, 511));
  EXPECT_EQ(std::make_tuple(sp.x, sp.y, sp.angle, sp.kind), std::make_tuple(511, 511, 359, 9));
}

// ---- Compact ----

TEST(EncodeCompact, HeaderCarriesCountsAndGridFlag) {
  auto m = EmptyModel();
  AddMinutiae(*m, 300);
  m->singular_count = 9;
  m->quality = 5;
  const Bytes t = Compact(*m, true);  // no grid sizes: no grid
  ASSERT_EQ(t.size(), 5u + 300 * 5 + 7 * 4);
  EXPECT_EQ(t[0] | (t[1] << 8), 0xCAA1);
  EXPECT_EQ(t[2], 300 & 0xFF);
  EXPECT_EQ(t[3], (1 << 5) | 7);
  EXPECT_EQ(t[4], 5);
}

// The stream a grid of one line gets, after the two size bytes.
Bytes LineStream(std::vector<int> cells, int lines = 1) {
  auto m = EmptyModel();
  m->grid_cells = static_cast<int>(cells.size());
  m->grid_lines = lines;
  for (size_t c = 0; c < cells.size(); ++c) m->Cell(0, c) = static_cast<uint8_t>(cells[c]);
  const Bytes t = Compact(*m);
  EXPECT_EQ(t[3] & 0x80, 0x80);
  return Bytes(t.begin() + 7, t.end());
}

struct LineCase {
  const char* name;
  std::vector<int> cells;
  Bytes codes;
};

class GridLineEncodingTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(GridLineEncodingTest, WritesCodes) {
  EXPECT_EQ(LineStream(GetParam().cells), GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GridLineEncodingTest,
    ::testing::Values(LineCase{"RunAfterLiteral", {5, 5, 5, 7, 7}, {0x05, 0x81, 0x07, 0x07}},
                      LineCase{"WholeLineOneValue", {9, 9, 9, 9}, {0x09, 0x82}},
                      LineCase{"DeltasBeatLiterals",
                               {10, 11, 12, 13, 14, 15},
                               {0x0A, 0xA1, 0x99, 0x99, 0x0F}},  // 11, 12 | 13, 14 then 15
                      LineCase{"DeltasWrapAround", {118, 119, 0, 1, 2}, {0x76, 0xA1, 0x99, 0x99}},
                      LineCase{"SingleEmptyCellIsALiteral", {3, E, 4}, {0x03, 0x7E, 0x04}},
                      LineCase{"EmptyCellsAreSkipped", {3, E, E, E, 4}, {0x03, 0xC2, 0x04}},
                      LineCase{"TrailingEmptyCellsEndTheGrid", {3, E, E}, {0x03, 0xE0}},
                      LineCase{"HighValues", {120, 121, 126, 200}, {0x78, 0x7F, 0x7F, 0x7F}},
                      LineCase{"AllEmpty", {E, E}, {0xE0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeCompact, EmptyLinesBetweenEndOrSkip) {
  auto m = EmptyModel();
  m->grid_cells = 2;
  m->grid_lines = 5;
  m->Cell(0, 0) = 1;
  m->Cell(1, 1) = 2;
  m->Cell(4, 0) = 3;
  const Bytes t = Compact(*m);
  // Line 0 ends early with the next line busy (C0); empty line 2 ends and
  // skips empty line 3 (E1); line 4 ends the grid (E0).
  EXPECT_EQ(Bytes(t.begin() + 5, t.end()), (Bytes{1, 4, 0x01, 0xC0, 0x7E, 0x02, 0xE1, 0x03, 0xE0}));
  ExpectSameModel(*Decoded(t), *m);
}

TEST(EncodeCompact, GridOnlyWhenWantedAndBothSizesFit) {
  auto m = EmptyModel();
  m->grid_lines = 32;
  m->grid_cells = 32;
  EXPECT_EQ(Compact(*m, true)[3] & 0x80, 0x80);
  EXPECT_EQ(Compact(*m, false)[3] & 0x80, 0);
  m->grid_cells = 33;
  EXPECT_EQ(Compact(*m, true)[3] & 0x80, 0);
  m->grid_cells = 0;
  EXPECT_EQ(Compact(*m, true)[3] & 0x80, 0);
}

TEST(EncodeCompact, FullGridOfLiteralsFitsItsCellCount) {
  auto m = EmptyModel();
  m->grid_lines = m->grid_cells = 32;
  // Steps of 30 never fit a nibble and never repeat: one literal per cell.
  for (int line = 0; line < 32; ++line) {
    for (int cell = 0; cell < 32; ++cell) m->Cell(line, cell) = (line * 7 + cell * 30) % 120;
  }
  const Bytes t = Compact(*m);
  EXPECT_EQ(t.size(), 5u + 2 + 32 * 32);
  ExpectSameModel(*Decoded(t), *m);
}

TEST(EncodeOutput, TooSmallBufferGivesZero) {
  auto m = EmptyModel();
  AddMinutiae(*m, 10);
  std::array<uint8_t, 20> small{};
  EXPECT_EQ(EncodeCompact(*m, true, small), 0u);
  EXPECT_EQ(EncodeStandard(*m, 1, true, small), 0u);
}

// ---- Round trips through the public operations ----

std::unique_ptr<TemplateModel> SmoothModel(int minutiae, int lines, int cells) {
  auto m = EmptyModel();
  AddMinutiae(*m, minutiae);
  m->quality = 88;
  m->singular_count = 2;
  m->singular[0] = {120, 130, 80, 1};
  m->singular[1] = {300, 310, 359, -1};
  m->grid_lines = lines;
  m->grid_cells = cells;
  for (int line = 0; line < lines; ++line) {
    for (int cell = 0; cell < cells; ++cell) {
      const bool border = cell < line % 3 || cell >= cells - (line % 4);
      m->Cell(line, cell) = border ? E : (line * 4 + cell * 3 + (cell * cell) % 5) % 120;
    }
  }
  return m;
}

TEST(RoundTrip, CompactReEncodeKeepsTheModel) {
  auto m = SmoothModel(45, 24, 20);
  const Bytes t = Compact(*m);
  std::array<uint8_t, kCompactMaxBytes> out;
  const size_t n = ReEncodeTemplate(t, out);
  ASSERT_EQ(n, t.size());
  EXPECT_TRUE(std::equal(t.begin(), t.end(), out.begin()));
  ExpectSameModel(*Decoded(t), *m);
}

TEST(RoundTrip, StandardConvertKeepsTheModel) {
  auto m = SmoothModel(40, 16, 16);
  m->singular_count = 2;
  const Bytes t = Standard(*m);
  auto first = Decoded(t);
  ExpectSameModel(*first, *m);
  std::array<uint8_t, kStandardMaxBytes> out;
  const size_t n = ConvertTemplate(t, out);
  ASSERT_EQ(n, t.size());
  ExpectSameModel(*Decoded(Bytes(out.begin(), out.begin() + n)), *m);
}

TEST(RoundTrip, StandardToCompactAndBack) {
  auto m = SmoothModel(50, 20, 20);
  const Bytes standard = Standard(*m);
  std::array<uint8_t, kCompactMaxBytes> compact;
  const size_t nc = ReEncodeTemplate(standard, compact);
  ASSERT_GT(nc, 0u);
  std::array<uint8_t, kStandardMaxBytes> again;
  const size_t ns = ConvertTemplate(std::span(compact).first(nc), again);
  EXPECT_EQ(Bytes(again.begin(), again.begin() + ns), standard);
}

TEST(RoundTrip, OldDecodesIntoTheSameModelBothWays) {
  Bytes old = {0x2A, 0x43, 2 << 2, (2 << 2) | 0, 9, 0, 0, 0, 0, 0};
  testing::AppendLe16(old, (40 << 7) | 100);
  testing::AppendLe16(old, (45 << 7) | 3);
  testing::AppendLe16(old, (80 << 7) | 27);
  testing::AppendLe16(old, (180 << 7) | 4);
  old.push_back(1);
  testing::AppendLines(old, {{0, 1, {5, 6}}});
  auto model = Decoded(old);

  std::array<uint8_t, kCompactMaxBytes> compact;
  const size_t nc = ReEncodeTemplate(old, compact);
  ASSERT_GT(nc, 0u);
  ExpectSameModel(*Decoded(Bytes(compact.begin(), compact.begin() + nc)), *model);
  std::array<uint8_t, kStandardMaxBytes> standard;
  const size_t ns = ConvertTemplate(old, standard);
  ASSERT_GT(ns, 0u);
  EXPECT_EQ(standard[2], (2 << 2) | 1);  // subtype 1
  ExpectSameModel(*Decoded(Bytes(standard.begin(), standard.begin() + ns)), *model);
}

TEST(Operations, OutputTooSmallGivesZeroAndLeavesItAlone) {
  const Bytes t = Compact(*SmoothModel(30, 10, 10));
  Bytes out(t.size() - 1, 0xEE);
  EXPECT_EQ(ReEncodeTemplate(t, out), 0u);
  EXPECT_EQ(ConvertTemplate(t, std::span(out).first(20)), 0u);
  EXPECT_EQ(out, Bytes(t.size() - 1, 0xEE));
}

TEST(Operations, UndecodableInputGivesZero) {
  const Bytes junk = {0x12, 0x34, 0, 0, 0, 0, 0, 0};
  std::array<uint8_t, kCompactMaxBytes> out;
  EXPECT_EQ(TemplateLength(junk), 0u);
  EXPECT_EQ(ReEncodeTemplate(junk, out), 0u);
  EXPECT_EQ(ConvertTemplate(junk, out), 0u);
  EXPECT_EQ(TemplateLength({}), 0u);
}

}  // namespace
}  // namespace templates
