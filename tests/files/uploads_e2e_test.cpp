// The seven uploads: what the terminal stores, the parameter blocks, and
// the terminal enabled again after a refusal.
#include <functional>

#include "files_fixture.h"

namespace files_test {
namespace {

// The file name of a path ("" for none), as the name text of an upload.
std::string NameOf(const char* path) {
  return path == nullptr ? std::string() : std::filesystem::path(path).filename().string();
}

struct UploadCase {
  const char* what;
  uint16_t command;
  std::function<int32_t(DEVAPI_HANDLE, const char*)> call;
  // Where the simulator keeps the upload of the file named `name`.
  std::function<std::vector<uint8_t>(const termsim::FilesData&, const std::string&)> stored;
  // The parameter block for the path, or empty: a short-name field.
  bool named;
  uint32_t kind;
};

std::vector<UploadCase> Uploads() {
  const auto upload_of = [](uint32_t kind) {
    return [kind](const termsim::FilesData& d, const std::string& name) {
      const auto it = d.uploads.find({kind, name});
      return it == d.uploads.end() ? std::vector<uint8_t>{} : it->second;
    };
  };
  const auto in = [](auto member) {
    return [member](const termsim::FilesData& d, const std::string& name) {
      const auto& store = d.*member;
      const auto it = store.find(name);
      return it == store.end() ? std::vector<uint8_t>{} : it->second;
    };
  };
  return {
      {"Q_SendFile", 110, [](DEVAPI_HANDLE h, const char* p) { return Q_SendFile(h, p); },
       in(&termsim::FilesData::files), true, 1700},
      {"Q_SendFileByType", 110,
       [](DEVAPI_HANDLE h, const char* p) { return Q_SendFileByType(h, p, 33); }, upload_of(33),
       true, 33},
      {"Q_SendLogoFile", 110, [](DEVAPI_HANDLE h, const char* p) { return Q_SendLogoFile(h, p); },
       upload_of(7), true, 7},
      {"Q_SendFile_mtd", 110, [](DEVAPI_HANDLE h, const char* p) { return Q_SendFile_mtd(h, p); },
       upload_of(2), true, 2},
      {"Q_UploadUserPhoto", 10009,
       [](DEVAPI_HANDLE h, const char* p) { return Q_UploadUserPhoto(h, p); },
       in(&termsim::FilesData::user_photos), false, 0},
      {"Q_UploadTheme", 10026,
       [](DEVAPI_HANDLE h, const char* p) { return Q_UploadTheme(h, p, NameOf(p).c_str()); },
       in(&termsim::FilesData::themes), false, 0},
      {"Q_UploadPicture", 10027,
       [](DEVAPI_HANDLE h, const char* p) { return Q_UploadPicture(h, p, NameOf(p).c_str()); },
       in(&termsim::FilesData::pictures), false, 0},
  };
}

TEST_F(FilesE2E, UploadsStoreTheFileAndReEnableTheTerminal) {
  ASSERT_NE(Connect(), nullptr);
  const auto content = Pattern(1500);
  const std::string path = WriteFile("up.bin", content);
  for (const UploadCase& c : Uploads()) {
    sim->ClearReceived();
    EXPECT_EQ(c.call(handle, path.c_str()), 1) << c.what;
    EXPECT_EQ(c.stored(sim->Files(), "up.bin"), content) << c.what;
    const auto params = LastPayload(c.command);
    if (c.named) {
      ASSERT_EQ(params.size(), path.size() + 5) << c.what;
      EXPECT_EQ(params[0] | (params[1] << 8), static_cast<int>(c.kind)) << c.what;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(params.data() + 4)), "up.bin");
    } else {
      // The name text's length counts: the whole path for a user photo.
      const size_t text = c.command == 10009 ? path.size() : std::string("up.bin").size();
      EXPECT_EQ(params.size(), std::min<size_t>(text + 5, 40)) << c.what;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(params.data())), "up.bin");
    }
    const auto codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 1003) << c.what;
    EXPECT_EQ(LastPayload(1003), (std::vector<uint8_t>{3, 0, 0, 0})) << c.what;
    EXPECT_EQ(codes.back(), 1002) << c.what;
    EXPECT_TRUE(sim->DeviceEnabled()) << c.what;

    // Refused: -2, and the terminal is enabled again all the same.
    sim->SetCommandRefused(c.command, true);
    sim->ClearReceived();
    EXPECT_EQ(c.call(handle, path.c_str()), -2) << c.what;
    EXPECT_EQ(Codes().back(), 1002) << c.what;
    EXPECT_TRUE(sim->DeviceEnabled()) << c.what;
    sim->SetCommandRefused(c.command, false);

    // Bad input: nothing sent.
    sim->ClearReceived();
    EXPECT_EQ(c.call(handle, nullptr), 4) << c.what;
    EXPECT_EQ(c.call(nullptr, nullptr), 4) << c.what;  // the path before the handle
    EXPECT_EQ(c.call(nullptr, path.c_str()), -1) << c.what;
    EXPECT_EQ(c.call(handle, Path("missing.bin").c_str()), -2) << c.what;
    EXPECT_EQ(c.call(handle, Dir().c_str()), c.named ? 4 : 4) << c.what;  // no file name
    EXPECT_EQ(sim->ReceivedCount(), 0u) << c.what;
  }
}

TEST_F(FilesE2E, WindowsPathsSendTheirBaseNameAndWholeLength) {
  ASSERT_NE(Connect(), nullptr);
  // A backslash path names a file of that whole name on this host; the
  // terminal is told only the part after the last backslash.
  const std::string name = "c:\\dir\\a.bin";
  const std::string path = WriteFile(name, Pattern(10));
  ASSERT_EQ(Q_SendFile(handle, path.c_str()), 1);
  const auto params = LastPayload(110);
  EXPECT_EQ(params.size(), path.size() + 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(params.data() + 4)), "a.bin");
  EXPECT_EQ(sim->Files().files.at("a.bin"), Pattern(10));
}

TEST_F(FilesE2E, OversizedUploadsAreRefusedBeforeAnythingIsSent) {
  ASSERT_NE(Connect(), nullptr);
  const std::string big = WriteFile("big.bin", std::vector<uint8_t>((3u << 20) + 1, 1));
  const std::string long_name = WriteFile(std::string(40, 'n'), Pattern(4));
  sim->ClearReceived();
  EXPECT_EQ(Q_SendLogoFile(handle, big.c_str()), 4);
  EXPECT_EQ(Q_SendFile_mtd(handle, big.c_str()), 4);
  EXPECT_EQ(Q_UploadUserPhoto(handle, big.c_str()), 4);
  EXPECT_EQ(Q_UploadPicture(handle, big.c_str(), "p.jpg"), 4);
  EXPECT_EQ(Q_UploadUserPhoto(handle, long_name.c_str()), 4);
  EXPECT_EQ(Q_UploadTheme(handle, long_name.c_str(), nullptr), 4);
  EXPECT_EQ(Q_UploadTheme(handle, long_name.c_str(), std::string(40, 't').c_str()), 4);
  const std::string too_long = std::string(260 - Dir().size(), 'p');
  EXPECT_EQ(Q_SendFile(handle, (Dir() + too_long).c_str()), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
}

TEST_F(FilesE2E, LanguageTextsFitTheirField) {
  ASSERT_NE(Connect(), nullptr);
  EXPECT_EQ(Q_UpdateLanguageByID(handle, 3, "Bonjour"), 1);
  const auto sent = LastPayload(1701);
  ASSERT_EQ(sent.size(), 260u);
  EXPECT_EQ(sent[0], 3);
  EXPECT_EQ(sim->Files().languages.at(3), "Bonjour");
  EXPECT_EQ(Q_UpdateLanguageByID(handle, 4, std::string(256, 'x').c_str()), 1);
  EXPECT_EQ(sim->Files().languages.at(4), std::string(256, 'x'));
  EXPECT_TRUE(sim->DeviceEnabled());
  sim->ClearReceived();
  EXPECT_EQ(Q_UpdateLanguageByID(handle, 4, std::string(257, 'x').c_str()), 4);
  EXPECT_EQ(Q_UpdateLanguageByID(handle, -1, "x"), 4);
  EXPECT_EQ(Q_UpdateLanguageByID(handle, 1, nullptr), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_EQ(Q_UpdateLanguageByID(nullptr, 1, "x"), -1);
}

}  // namespace
}  // namespace files_test
