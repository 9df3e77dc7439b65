// The template tools under their Q_ names.
#include <array>

#include "fingerprints_fixture.h"

namespace fingerprints_test {
namespace {

TEST(TemplateConversion, LengthOfATemplate) {
  const Bytes tmpl = Version9(40);
  int32_t length = 0;
  ASSERT_EQ(Q_FPTempLength(tmpl.data(), &length), 1);
  EXPECT_EQ(length, static_cast<int32_t>(tmpl.size()));
  const Bytes junk(64, 0x5A);
  EXPECT_EQ(Q_FPTempLength(junk.data(), &length), 4);
  EXPECT_EQ(Q_FPTempLength(nullptr, &length), 4);
}

TEST(TemplateConversion, ConvertNewShrinksOnlyAbove100) {
  const Bytes big = Version9(100, 1);  // 505 bytes
  Bytes out(templates::kCompactMaxBytes);
  int32_t length = 100;
  ASSERT_EQ(Q_FPTempConvertNew(big.data(), out.data(), &length), 1);
  EXPECT_EQ(length, static_cast<int32_t>(big.size()));  // never shrinks at 100
  length = 101;
  ASSERT_EQ(Q_FPTempConvertNew(big.data(), out.data(), &length), 1);
  EXPECT_LE(length, 101);
  EXPECT_EQ(templates::TemplateLength(std::span(out).first(length)), static_cast<size_t>(length));
  length = 2048;  // not below 2048: no shrink
  ASSERT_EQ(Q_FPTempConvertNew(big.data(), out.data(), &length), 1);
  EXPECT_EQ(length, static_cast<int32_t>(big.size()));
  const Bytes tiny = Version9(7);
  EXPECT_EQ(Q_FPTempConvertNew(tiny.data(), out.data(), &length), 4);
}

TEST(TemplateConversion, ConvertToStandardAndShrinkInPlace) {
  Bytes tmpl = Version9(60, 2);
  Bytes out(templates::kStandardMaxBytes);
  int32_t length = 0;
  ASSERT_EQ(Q_FPTempConvert(tmpl.data(), out.data(), &length), 1);
  EXPECT_EQ(templates::FormatOf(std::span<const uint8_t>(out)),
            templates::TemplateFormat::kStandard);
  EXPECT_GT(length, 50);
  ASSERT_EQ(Q_SetFPTempLength(tmpl.data(), 200), 1);
  int32_t after = 0;
  ASSERT_EQ(Q_FPTempLength(tmpl.data(), &after), 1);
  EXPECT_LE(after, 200);
  EXPECT_EQ(Q_SetFPTempLength(tmpl.data(), 0), 4);
}

// The caller's buffer holds only the template; the shrink reads it as the
// length call does and leaves the compact form in its first bytes.
TEST(TemplateConversion, ShrinkTakesWhatTheLengthCallMeasures) {
  for (const auto& c : templates::testing::ShrinkCases()) {
    SCOPED_TRACE(c.name);
    Bytes tmpl = c.input;
    int32_t length = 0;
    ASSERT_EQ(Q_FPTempLength(tmpl.data(), &length), 1);
    ASSERT_EQ(Q_SetFPTempLength(tmpl.data(), static_cast<int32_t>(c.maximum)), 1);
    EXPECT_EQ(Bytes(tmpl.begin(), tmpl.begin() + c.expected.size()), c.expected);
    ASSERT_EQ(Q_FPTempLength(tmpl.data(), &length), 1);
    EXPECT_EQ(length, static_cast<int32_t>(c.expected.size()));
  }
}

TEST(TemplateConversion, MergeThenSplitGivesTheInputsBack) {
  const Bytes a = Version10(120, 1);
  const Bytes b = Version10(140, 2);
  const std::array<const unsigned char*, 2> inputs = {a.data(), b.data()};
  Bytes merged(templates::kMaxContainerBytes);
  const int32_t n = Q_MergeTemplate(inputs.data(), 2, merged.data());
  ASSERT_GT(n, 0);
  std::array<Bytes, 10> parts;
  std::array<unsigned char*, 10> outputs{};
  for (size_t i = 0; i < parts.size(); ++i) {
    parts[i].assign(templates::kMaxSplitPartBytes, 0);
    outputs[i] = parts[i].data();
  }
  std::array<int32_t, 10> lengths{};
  int32_t count = 0;
  ASSERT_EQ(Q_SplitTemplate(merged.data(), outputs.data(), &count, lengths.data()), 2);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(lengths[0], 120);
  EXPECT_EQ(lengths[1], 140);
}

}  // namespace
}  // namespace fingerprints_test
