// Decoding the three version-9 encodings, and refusing what is not sound.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "grid_stream_decoder.h"
#include "template_codec.h"
#include "template_decoder.h"
#include "template_samples.h"

namespace templates {
namespace {

using testing::Bytes;
constexpr int E = kEmptyCell;

Bytes StandardSample() {
  return testing::StandardTemplate(0xCAA0, 4, 77, {{300, 201, 2, 9, 100}, {5, 510, 0, 255, 0}},
                                   {{250, 260, 3, 359}}, {{1, 3, {10, E, 119}}, {0, 0, {E}}});
}

// Two grid lines of 6 cells with literals, a run, deltas, a skip, then the
// end of the grid.
const Bytes kCompactGrid = {5, 2, 0x0A, 0x81, 0xA0, 0x9F, 0x7E, 0xC2, 0x77, 0xA0, 0x98, 0xE0};

Bytes CompactSample() {
  return testing::CompactTemplate(200, {{1, 2, 5, 6, 7}, {511, 511, 63, 0, 255}, {256, 3, 1, 1, 1}},
                                  {{2047, 511, 7, 511}, {0, 0, 0, 0}}, kCompactGrid);
}

Bytes OldSample() {
  Bytes t = {0x2A, 0x43, 3 << 2, (3 << 2) | 1, 50, 2, 0, 0, 0, 0x01};
  // Minutia 2 is listed: its y step gains the high bits 01.
  testing::AppendLe16(t, (100 << 7) | 20);
  testing::AppendLe16(t, (90 << 7) | 5);
  testing::AppendLe16(t, (200 << 7) | 10);
  testing::AppendLe16(t, (0 << 7) | 127);
  testing::AppendLe16(t, (511 << 7) | 127);
  testing::AppendLe16(t, (300 << 7) | 0);
  testing::AppendSingular(t, {200, 210, 2, 45});
  t.push_back(2);  // grid lines stored
  testing::AppendLines(t, {{0, 1, {3, 4}}, {2, 2, {100}}});
  return t;
}

class DecodeTest : public ::testing::Test {
 protected:
  size_t Decode(const Bytes& bytes) { return DecodeTemplate(bytes, *model_); }
  const TemplateModel& model() const { return *model_; }

  std::unique_ptr<TemplateModel> model_ = std::make_unique<TemplateModel>();
};

void ExpectMinutia(const Minutia& m, int x, int y, int kind, int extra, int direction) {
  EXPECT_EQ(m.x, x);
  EXPECT_EQ(m.y, y);
  EXPECT_EQ(m.kind, kind);
  EXPECT_EQ(m.extra, extra);
  EXPECT_EQ(m.direction, direction);
}

void ExpectSingular(const SingularPoint& s, int x, int y, int kind, int angle) {
  EXPECT_EQ(s.x, x);
  EXPECT_EQ(s.y, y);
  EXPECT_EQ(s.kind, kind);
  EXPECT_EQ(s.angle, angle);
}

int CountNonEmpty(const TemplateModel& m) {
  int n = 0;
  for (uint8_t c : m.grid) n += c != kEmptyCell;
  return n;
}

TEST_F(DecodeTest, StandardFillsModelAndPlacesLinesCentreOut) {
  const Bytes t = StandardSample();
  ASSERT_EQ(Decode(t), t.size());
  EXPECT_EQ(model().quality, 77);
  ASSERT_EQ(model().minutiae_count, 2);
  ExpectMinutia(model().minutiae[0], 300, 201, 1, 9, 100);
  ExpectMinutia(model().minutiae[1], 5, 510, -1, 255, 0);
  ASSERT_EQ(model().singular_count, 1);
  ExpectSingular(model().singular[0], 250, 260, 2, 359);
  EXPECT_EQ(model().grid_lines, 4);
  EXPECT_EQ(model().grid_cells, 4);
  // Size 4 stores lines 2, 3, 1, 4: the first stored line is row 1.
  EXPECT_EQ(model().Cell(1, 1), 10);
  EXPECT_EQ(model().Cell(1, 3), 119);
  EXPECT_EQ(CountNonEmpty(model()), 2);
}

TEST_F(DecodeTest, CompactFillsModelAndGrid) {
  const Bytes t = CompactSample();
  ASSERT_EQ(Decode(t), t.size());
  EXPECT_EQ(model().quality, 200);
  ASSERT_EQ(model().minutiae_count, 3);
  ExpectMinutia(model().minutiae[0], 1, 2, 4, 6, 7);
  ExpectMinutia(model().minutiae[1], 511, 511, 62, 0, 255);
  ExpectMinutia(model().minutiae[2], 256, 3, 0, 1, 1);
  ASSERT_EQ(model().singular_count, 2);
  ExpectSingular(model().singular[0], 2047, 511, 6, 511);
  ExpectSingular(model().singular[1], 0, 0, -1, 0);
  EXPECT_EQ(model().grid_cells, 6);
  EXPECT_EQ(model().grid_lines, 3);
  const int expected[3][6] = {{10, 10, 10, 11, 18, E}, {E, E, E, 119, 0, 0}, {E, E, E, E, E, E}};
  for (int line = 0; line < 3; ++line) {
    for (int cell = 0; cell < 6; ++cell) {
      EXPECT_EQ(model().Cell(line, cell), expected[line][cell]) << line << "," << cell;
    }
  }
  EXPECT_EQ(CountNonEmpty(model()), 8);
}

TEST_F(DecodeTest, CompactWithoutGridEndsAfterSingularPoints) {
  const Bytes t = testing::CompactTemplate(1, testing::SpreadMinutiae(4), {}, {});
  EXPECT_EQ(Decode(t), 5u + 4 * 5);
  EXPECT_EQ(model().grid_lines, 0);
  EXPECT_EQ(CountNonEmpty(model()), 0);
}

TEST_F(DecodeTest, OldAccumulatesYAndConvertsDegrees) {
  const Bytes t = OldSample();
  ASSERT_EQ(Decode(t), t.size());
  EXPECT_EQ(model().quality, 50);
  ASSERT_EQ(model().minutiae_count, 3);
  ExpectMinutia(model().minutiae[0], 100, 20, 0, 5, 60);
  ExpectMinutia(model().minutiae[1], 200, 20 + 10 + 128, 0, 127, 120);
  ExpectMinutia(model().minutiae[2], 511, 158 + 127, 0, 0, 160);
  ASSERT_EQ(model().singular_count, 1);
  ExpectSingular(model().singular[0], 200, 210, 1, 90);
  EXPECT_EQ(model().grid_lines, 3);
  // Size 3 stores lines 1, 2, 3.
  EXPECT_EQ(model().Cell(0, 0), 3);
  EXPECT_EQ(model().Cell(0, 1), 4);
  EXPECT_EQ(model().Cell(1, 2), 100);
  EXPECT_EQ(CountNonEmpty(model()), 3);
}

TEST_F(DecodeTest, DecodingClearsWhatAPreviousTemplateLeft) {
  ASSERT_GT(Decode(CompactSample()), 0u);
  const Bytes bare = testing::StandardTemplate(0xCAA0, 0, 3, {}, {}, {});
  ASSERT_EQ(Decode(bare), 7u);
  EXPECT_EQ(model().minutiae_count, 0);
  EXPECT_EQ(model().singular_count, 0);
  EXPECT_EQ(model().minutiae[0].x, 0);
  EXPECT_EQ(CountNonEmpty(model()), 0);
}

struct MagicCase {
  uint16_t magic;
  TemplateFormat format;
};

class MagicTest : public ::testing::TestWithParam<MagicCase> {};

TEST_P(MagicTest, DispatchesOnFirstWord) {
  EXPECT_EQ(FormatOf(GetParam().magic), GetParam().format);
  // A standard header decodes under every magic taken as standard.
  Bytes t = testing::StandardTemplate(GetParam().magic, 0, 0, {}, {}, {});
  EXPECT_EQ(TemplateLength(t), GetParam().format == TemplateFormat::kStandard ? 7u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Magics, MagicTest,
    ::testing::Values(
        MagicCase{0xCA00, TemplateFormat::kStandard}, MagicCase{0xCA20, TemplateFormat::kStandard},
        MagicCase{0xCA80, TemplateFormat::kStandard}, MagicCase{0xCA9A, TemplateFormat::kStandard},
        MagicCase{0xCAA0, TemplateFormat::kStandard}, MagicCase{0xCAA1, TemplateFormat::kCompact},
        MagicCase{0xCABF, TemplateFormat::kCompact}, MagicCase{0x432A, TemplateFormat::kOld},
        MagicCase{0xCA21, TemplateFormat::kUnknown}, MagicCase{0xCAC0, TemplateFormat::kUnknown},
        MagicCase{0xCB00, TemplateFormat::kUnknown}, MagicCase{0x0000, TemplateFormat::kUnknown}));

// Every sample, cut anywhere, is refused: no encoding may read past its
// bytes (ASan checks the "past", this checks the refusal).
TEST(DecodeRefusal, EveryTruncationIsRefused) {
  for (const Bytes& t : {StandardSample(), CompactSample(), OldSample()}) {
    for (size_t cut = 0; cut < t.size(); ++cut) {
      const Bytes prefix(t.begin(), t.begin() + cut);
      EXPECT_EQ(TemplateLength(prefix), 0u) << "magic " << t[1] << " cut at " << cut;
    }
  }
}

TEST(DecodeRefusal, MinutiaeCountBeyondTheData) {
  Bytes t = StandardSample();
  t[5] = (40 << 2) | 1;  // claims 40 minutiae, holds 2
  EXPECT_EQ(TemplateLength(t), 0u);
  Bytes c = CompactSample();
  c[2] = 100;
  EXPECT_EQ(TemplateLength(c), 0u);
}

TEST(DecodeRefusal, StandardLengthFieldBeyondTheBuffer) {
  const Bytes base = StandardSample();
  const Bytes t = testing::StandardTemplate(
      0xCAA0, 4, 77, {{300, 201, 2, 9, 100}, {5, 510, 0, 255, 0}}, {{250, 260, 3, 359}},
      {{1, 3, {10, E, 119}}, {0, 0, {E}}}, static_cast<int>(base.size()) + 1);
  EXPECT_EQ(TemplateLength(t), 0u);
  Bytes padded = t;
  padded.push_back(0);  // now the buffer holds what the field claims
  EXPECT_EQ(TemplateLength(padded), base.size());
}

TEST(DecodeRefusal, CompactWithMoreThan250Minutiae) {
  EXPECT_EQ(TemplateLength(testing::CompactTemplate(0, testing::SpreadMinutiae(250), {}, {})),
            5u + 250 * 5);
  EXPECT_EQ(TemplateLength(testing::CompactTemplate(0, testing::SpreadMinutiae(251), {}, {})), 0u);
}

struct BadLinesCase {
  const char* name;
  int grid_size;
  std::vector<testing::RawLine> lines;
};

class BadGridLinesTest : public ::testing::TestWithParam<BadLinesCase> {};

TEST_P(BadGridLinesTest, StandardAndOldRefuse) {
  const auto& p = GetParam();
  EXPECT_EQ(TemplateLength(testing::StandardTemplate(0xCAA0, p.grid_size, 0, {}, {}, p.lines)), 0u);
  Bytes old = {0x2A, 0x43, static_cast<uint8_t>(p.grid_size << 2), 0, 0, 0, 0, 0, 0, 0};
  old.push_back(static_cast<uint8_t>(p.lines.size()));
  testing::AppendLines(old, p.lines);
  EXPECT_EQ(TemplateLength(old), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadGridLinesTest,
    ::testing::Values(BadLinesCase{"FirstAfterLast", 4, {{3, 2, {1, 2}}}},
                      BadLinesCase{"LastBeyondTheGrid", 63, {{126, 128, {1, 2, 3}}}},
                      BadLinesCase{"MoreLinesThanTheSize", 1, {{0, 0, {1}}, {0, 0, {2}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeRefusal, LastCellAtTheGridEdgeIsAccepted) {
  const Bytes t = testing::StandardTemplate(0xCAA0, 63, 0, {}, {}, {{126, 127, {1, 2}}});
  EXPECT_EQ(TemplateLength(t), t.size());
}

TEST(DecodeLimit, NothingPastTheFormatMaximumIsRead) {
  // A standard template whose grid runs past 1023 bytes is refused even
  // though the buffer holds it all.
  std::vector<testing::RawLine> lines;
  for (int i = 0; i < 9; ++i) lines.push_back({0, 127, Bytes(128, 5)});
  const Bytes t = testing::StandardTemplate(0xCAA0, 9, 0, {}, {}, lines, 0);
  ASSERT_GT(t.size(), kStandardMaxBytes);
  EXPECT_EQ(TemplateLength(t), 0u);
  const Bytes fits = testing::StandardTemplate(0xCAA0, 9, 0, {}, {},
                                               std::vector(lines.begin(), lines.begin() + 7));
  EXPECT_EQ(TemplateLength(fits), fits.size());
}

// ---- The compact grid stream ----

struct StreamCase {
  const char* name;
  Bytes stream;
  size_t consumed;
  std::vector<std::vector<int>> cells;  // expected, line by line
};

class GridStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(GridStreamTest, DecodesCells) {
  const auto& p = GetParam();
  auto model = std::make_unique<TemplateModel>();
  model->ClearGrid();
  const GridStreamResult r = DecodeGridStream(p.stream, *model);
  ASSERT_EQ(r.status, GridStreamStatus::kOk);
  EXPECT_EQ(r.consumed, p.consumed);
  ASSERT_EQ(model->grid_lines, static_cast<int>(p.cells.size()));
  ASSERT_EQ(model->grid_cells, static_cast<int>(p.cells[0].size()));
  for (size_t line = 0; line < p.cells.size(); ++line) {
    for (size_t cell = 0; cell < p.cells[line].size(); ++cell) {
      EXPECT_EQ(model->Cell(line, cell), p.cells[line][cell]) << line << "," << cell;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, GridStreamTest,
    ::testing::Values(
        StreamCase{"Literals", {2, 0, 0x05, 0x7E, 0x7F}, 5, {{5, E, 127}}},
        StreamCase{"RunRepeatsRunningValue", {3, 0, 0x07, 0x82}, 4, {{7, 7, 7, 7}}},
        StreamCase{"DeltasWrapIntoOrientations", {2, 0, 0x76, 0xA0, 0xF0}, 5, {{118, 5, 117}}},
        StreamCase{
            "SkipAndEndOfLine", {3, 1, 0x09, 0xC1, 0x0B, 0xC0}, 6, {{9, E, E, 11}, {E, E, E, E}}},
        StreamCase{"EndOfLineSkippingLines",
                   {1, 3, 0x01, 0xE1, 0x02, 0x03, 0xE0},
                   7,
                   {{1, E}, {E, E}, {2, 3}, {E, E}}},
        StreamCase{"SkippingToTheLastLineEnds", {0, 1, 0xE1, 0x99}, 3, {{E}, {E}}},
        StreamCase{"FillingTheLastLineEnds", {1, 0, 0x04, 0x05, 0xAA}, 4, {{4, 5}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidStreamCase {
  const char* name;
  Bytes stream;
};

class InvalidGridStreamTest : public ::testing::TestWithParam<InvalidStreamCase> {};

// A broken stream drops the grid: the template ends where the stream began.
TEST_P(InvalidGridStreamTest, TemplateEndsWhereTheGridBegan) {
  const Bytes t = testing::CompactTemplate(9, testing::SpreadMinutiae(2), {}, GetParam().stream);
  auto model = std::make_unique<TemplateModel>();
  EXPECT_EQ(DecodeTemplate(t, *model), 5u + 2 * 5);
  EXPECT_EQ(model->minutiae_count, 2);
  EXPECT_EQ(model->grid_lines, 0);
  EXPECT_EQ(model->grid_cells, 0);
  EXPECT_EQ(CountNonEmpty(*model), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, InvalidGridStreamTest,
    ::testing::Values(InvalidStreamCase{"CellsAbove32", {32, 0, 0xE0}},
                      InvalidStreamCase{"LinesAbove32", {0, 32, 0xE0}},
                      InvalidStreamCase{"RunPastLineEnd", {2, 0, 0x05, 0x82}},
                      InvalidStreamCase{"DeltasPastLineEnd", {1, 0, 0x05, 0xA0, 0x88}},
                      InvalidStreamCase{"SkipPastLineEnd", {2, 0, 0x05, 0xC2}},
                      InvalidStreamCase{"LinesSkippedPastTheLast", {0, 1, 0xE2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridStreamRefusal, StreamCutShortRefusesTheTemplate) {
  // The stream asks for a second line that never comes.
  const Bytes t = testing::CompactTemplate(9, testing::SpreadMinutiae(2), {}, {0, 1, 0x05});
  EXPECT_EQ(TemplateLength(t), 0u);
}

}  // namespace
}  // namespace templates
