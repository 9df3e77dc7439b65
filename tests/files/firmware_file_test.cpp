// The firmware and file-update text files, case by case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/firmware_file.h"

namespace {

using devapi::files::FirmwareFileKind;
using devapi::files::FirmwareTarget;
using devapi::files::ImageChecksum;
using devapi::files::ParseFirmwareText;

const std::vector<uint8_t> kImage = {0x12, 0x34, 0xAB, 0xCD, 0xEF};

std::string Hex(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (size_t i = from; i < to; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

// Data lines of two bytes each, numbered from 0.
std::string DataLines(const std::vector<uint8_t>& image) {
  std::string out;
  for (size_t i = 0, n = 0; i < image.size(); i += 2, ++n) {
    out += "Data" + std::to_string(n) + "=" + Hex(image, i, std::min(i + 2, image.size())) + "\r\n";
  }
  return out;
}

std::string Firmware(const std::string& version_line, const std::vector<uint8_t>& image = kImage) {
  return version_line + "FirmwareLength=" + std::to_string(image.size()) + "\r\n" +
         "FirmwareCheckSum=" + std::to_string(ImageChecksum(image)) + "\r\n" + DataLines(image);
}

constexpr FirmwareTarget kPlain{"Ver 6.60 20091026", false};
constexpr FirmwareTarget kWithOs{"Ver 6.60 20091026", true};

TEST(FirmwareFile, ChecksumIsTheComplementedOnesComplementSum) {
  EXPECT_EQ(ImageChecksum(std::vector<uint8_t>{}), 0xFFFF);
  EXPECT_EQ(ImageChecksum(std::vector<uint8_t>{0x01, 0x02, 0x03}), static_cast<uint16_t>(~0x0204));
  // A sum past 32 bits still folds correctly.
  const std::vector<uint8_t> big(1u << 20, 0xFF);
  EXPECT_EQ(ImageChecksum(big), 0);
}

TEST(FirmwareFile, FilesByTable) {
  struct Case {
    const char* what;
    std::string text;
    FirmwareTarget target;
    bool accepted;
  };
  const std::string bad_checksum = "FirmwareLength=5\nFirmwareCheckSum=1\n" + DataLines(kImage);
  const std::string high_bits = "FirmwareLength=5\nFirmwareCheckSum=" +
                                std::to_string(ImageChecksum(kImage) + 65536) + "\n" +
                                DataLines(kImage);
  const Case cases[] = {
      {"newer version", Firmware("FirmwareVersion=Ver 6.61 Jan 02 2010\r\n"), kPlain, true},
      {"newer, normalised", Firmware("FirmwareVersion=Ver 6.60 Nov 01 2009\n"), kPlain, true},
      {"short version text", Firmware("FirmwareVersion=Ver 7\n"), kPlain, true},
      {"equal version", Firmware("FirmwareVersion=Ver 6.60 Oct 26 2009\n"), kPlain, false},
      {"older version", Firmware("FirmwareVersion=Ver 6.50 Oct 26 2009\n"), kPlain, false},
      {"no version line", Firmware(""), kPlain, true},
      {"own line with ~OS", Firmware("VRM200_FirmwareVersion=Ver 6.70\n"), kWithOs, true},
      {"other kind's line", Firmware("VRM200_FirmwareVersion=Ver 6.70\n"), kPlain, false},
      {"plain line with ~OS", Firmware("FirmwareVersion=Ver 6.70\n"), kWithOs, false},
      {"prefix is case-sensitive", Firmware("firmwareversion=Ver 1\n"), kPlain, true},
      {"bad checksum", bad_checksum, kPlain, false},
      {"checksum's low 16 bits", high_bits, kPlain, true},
      {"skipped number", "FirmwareLength=4\nFirmwareCheckSum=" +
                             std::to_string(ImageChecksum(std::vector<uint8_t>{1, 2, 3, 4})) +
                             "\nData0=0102\nData2=0304\n",
       kPlain, false},
      {"line past n", "FirmwareLength=2\nFirmwareCheckSum=0\nData0=010203\n", kPlain, false},
      {"second length", "FirmwareLength=5\nFirmwareLength=5\n", kPlain, false},
      {"second checksum", "FirmwareCheckSum=5\nFirmwareCheckSum=5\n", kPlain, false},
      {"zero length", "FirmwareLength=0\nFirmwareCheckSum=65535\n", kPlain, false},
      {"negative length", "FirmwareLength=-4\nFirmwareCheckSum=0\n", kPlain, false},
      {"non-numeric length", "FirmwareLength=5x\nFirmwareCheckSum=0\n", kPlain, false},
      {"over 70 MiB", "FirmwareLength=73400321\nFirmwareCheckSum=0\n", kPlain, false},
      {"non-hex digit", "FirmwareLength=2\nFirmwareCheckSum=0\nData0=01G2\n", kPlain, false},
      {"odd digits", "FirmwareLength=2\nFirmwareCheckSum=0\nData0=010\n", kPlain, false},
      {"line over 4000", "FirmwareLength=5\n" + std::string(4001, 'x') + "\n", kPlain, false},
      {"no checksum line", "FirmwareLength=1\nData0=01\n", kPlain, false},
      {"data before the sizes is ignored",
       "Data0=FFFF\n" + Firmware(""), kPlain, true},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseFirmwareText(c.text, FirmwareFileKind::kFirmware, c.target);
    EXPECT_EQ(parsed.has_value(), c.accepted) << c.what;
    if (parsed && c.accepted && c.text.find("Data0=0102") == std::string::npos) {
      EXPECT_EQ(parsed->image, kImage) << c.what;
    }
  }
}

TEST(FirmwareFile, ReadingStopsAtTheDeclaredLength) {
  // Lines after the image is complete change nothing, not even bad ones.
  const auto parsed = ParseFirmwareText(Firmware("") + "Data3=ZZ\n" + std::string(5000, 'y'),
                                        FirmwareFileKind::kFirmware, kPlain);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->image, kImage);
}

TEST(FirmwareFile, UpdateHeaderCollectsItsLines) {
  const std::string text = "skipped line\r\nPART=boot\r\nFirmwareLength=3\r\nFirmwareCheckSum=77\r\n"
                           "Data0=0A0B\r\nData1=0C\r\n";
  const auto parsed = ParseFirmwareText(text, FirmwareFileKind::kUpdate, kPlain);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->header, "PART=boot:FirmwareLength=3:FirmwareCheckSum=77");
  EXPECT_EQ(parsed->image, (std::vector<uint8_t>{0x0A, 0x0B, 0x0C}));  // no checksum test
}

TEST(FirmwareFile, UpdateHeaderMustFitItsArea) {
  const auto with_second_line = [](const std::string& line) {
    return "x\n" + line + "\nFirmwareLength=1\nFirmwareCheckSum=0\nData0=01\n";
  };
  // 199 characters with the terminator fill the 200 bytes exactly.
  const std::string fits(199 - std::string(":FirmwareLength=1:FirmwareCheckSum=0").size(), 'h');
  const auto ok = ParseFirmwareText(with_second_line(fits), FirmwareFileKind::kUpdate, kPlain);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->header.size(), 199u);
  EXPECT_FALSE(
      ParseFirmwareText(with_second_line(fits + "h"), FirmwareFileKind::kUpdate, kPlain));
  // Short of the declared length: refused.
  EXPECT_FALSE(ParseFirmwareText("x\nh\nFirmwareLength=2\nFirmwareCheckSum=0\nData0=01\n",
                                 FirmwareFileKind::kUpdate, kPlain));
}

}  // namespace
