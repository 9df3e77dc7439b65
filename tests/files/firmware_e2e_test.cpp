// Firmware images and file updates from their text files.
#include "files_fixture.h"
#include "wire/packet.h"

namespace files_test {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// A firmware file of `image` in data lines of 16 bytes.
std::string FirmwareText(const std::string& head, const std::vector<uint8_t>& image) {
  std::string out = head + "FirmwareLength=" + std::to_string(image.size()) + "\r\n" +
                    "FirmwareCheckSum=" + std::to_string(wire::InternetChecksum(image)) + "\r\n";
  for (size_t i = 0, n = 0; i < image.size(); i += 16, ++n) {
    const std::vector<uint8_t> piece(image.begin() + i,
                                     image.begin() + std::min(i + 16, image.size()));
    out += "Data" + std::to_string(n) + "=" + Hex(piece) + "\r\n";
  }
  return out;
}

std::vector<uint8_t> ImageNamed(const std::string& version) {
  std::vector<uint8_t> image(version.begin(), version.end());
  image.push_back(0);
  const auto rest = Pattern(300);
  image.insert(image.end(), rest.begin(), rest.end());
  return image;
}

TEST_F(FilesE2E, NewerFirmwareIsTakenAndSeenByTheNextConnection) {
  ASSERT_NE(Connect(), nullptr);  // "Ver 6.60 Oct 26 2009", with "~OS"
  const auto image = ImageNamed("Ver 6.70 Jan 05 2012");
  const std::string path =
      WriteText("fw.txt", FirmwareText("VRM200_FirmwareVersion=Ver 6.70 Jan 05 2012\r\n", image));
  sim->ClearReceived();
  ASSERT_EQ(Q_UpdateFirmware(handle, path.c_str()), 1);
  EXPECT_EQ(sim->Files().firmware_image, image);
  EXPECT_EQ(LastPayload(110), (std::vector<uint8_t>{2, 0, 0, 0, 0, 0, 0, 0xA0}));
  EXPECT_EQ(Sent(1003) + Sent(1002), 0u);  // not disabled around it
  ASSERT_NE(Reconnect(), nullptr);
  EXPECT_STREQ(Session().firmware_version, "Ver 6.70 20120105");
}

TEST_F(FilesE2E, BrokenFirmwareFilesSendNothing) {
  ASSERT_NE(Connect(), nullptr);
  const auto image = Pattern(100);
  struct Case {
    const char* what;
    std::string text;
  };
  std::string past = FirmwareText("", image);
  past += "FirmwareLength=100\r\n";
  const Case cases[] = {
      {"same version", FirmwareText("VRM200_FirmwareVersion=Ver 6.60 Oct 26 2009\n", image)},
      {"older version", FirmwareText("VRM200_FirmwareVersion=Ver 6.59\n", image)},
      {"other kind's line", FirmwareText("FirmwareVersion=Ver 9.00\n", image)},
      {"skipped data line", "FirmwareLength=2\nFirmwareCheckSum=0\nData0=01\nData2=02\n"},
      {"wrong checksum", "FirmwareLength=1\nFirmwareCheckSum=7\nData0=01\n"},
      {"empty file", ""},
  };
  for (const Case& c : cases) {
    const std::string path = WriteText("bad.txt", c.text);
    sim->ClearReceived();
    EXPECT_EQ(Q_UpdateFirmware(handle, path.c_str()), 4) << c.what;
    EXPECT_EQ(sim->ReceivedCount(), 0u) << c.what;
  }
  EXPECT_EQ(Q_UpdateFirmware(handle, Path("missing.txt").c_str()), 4);
  EXPECT_EQ(Q_UpdateFirmware(handle, nullptr), 4);
  EXPECT_EQ(Q_UpdateFirmware(nullptr, nullptr), -1);
  // Without a version line the image is taken when length and sum match.
  EXPECT_EQ(Q_UpdateFirmware(handle, WriteText("plain.txt", FirmwareText("", image)).c_str()), 1);
  EXPECT_EQ(sim->Files().firmware_image, image);
  EXPECT_EQ(sim->Firmware(), "Ver 6.60 Oct 26 2009");  // no version text in the image
}

TEST_F(FilesE2E, UpdateSendsItsExactHeaderThenTheImage) {
  ASSERT_NE(Connect(), nullptr);
  const std::string text = "# update\r\nTYPE=font\r\nFirmwareLength=3\r\nFirmwareCheckSum=12\r\n"
                           "Data0=414243\r\n";
  const std::string path = WriteText("upd.txt", text);
  sim->ClearReceived();
  ASSERT_EQ(Q_UpdateFile(handle, path.c_str()), 1);
  const std::string header = "TYPE=font:FirmwareLength=3:FirmwareCheckSum=12";
  EXPECT_EQ(LastPayload(1709), std::vector<uint8_t>(header.begin(), header.end()));
  EXPECT_EQ(sim->Files().update_header, header);
  EXPECT_EQ(sim->Files().update_image, (std::vector<uint8_t>{'A', 'B', 'C'}));
  EXPECT_EQ(LastPayload(110), (std::vector<uint8_t>{13, 0, 0, 0}));

  // Refused headers, by the reason the terminal gives.
  for (const auto& [reason, result] : {std::pair{1, -100}, {2, -4}, {3, -2}}) {
    termsim::BackupSettings settings;
    settings.update_refusal = static_cast<uint16_t>(reason);
    sim->SetBackupSettings(settings);
    sim->ClearReceived();
    EXPECT_EQ(Q_UpdateFile(handle, path.c_str()), result) << reason;
    EXPECT_EQ(Sent(110), 0u);
  }
  // Broken files: nothing sent, not even the header.
  sim->SetBackupSettings({});
  sim->ClearReceived();
  EXPECT_EQ(Q_UpdateFile(handle, Path("missing.txt").c_str()), 4);
  EXPECT_EQ(Q_UpdateFile(handle, WriteText("short.txt", "x\nh\nFirmwareLength=9\n"
                                                         "FirmwareCheckSum=0\nData0=01\n")
                                     .c_str()),
            4);
  EXPECT_EQ(Q_UpdateFile(handle, WriteText("long.txt", "x\n" + std::string(200, 'h') +
                                                        "\nFirmwareLength=1\nFirmwareCheckSum=0\n"
                                                        "Data0=01\n")
                                     .c_str()),
            4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
}

}  // namespace
}  // namespace files_test
