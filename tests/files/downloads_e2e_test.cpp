// Files read back from the terminal: sizes, capacities, stalls and names
// that would leave the host's directory.
#include <sys/stat.h>

#include "files_fixture.h"

namespace files_test {
namespace {

TEST_F(FilesE2E, ReadFileWritesEverySizeWhole) {
  termsim::FilesData data;
  for (size_t n : {0u, 1u, 1024u, 1025u, 70000u}) data.files["f" + std::to_string(n)] = Pattern(n);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), data), nullptr);
  for (size_t n : {0u, 1u, 1024u, 1025u, 70000u}) {
    const std::string name = "f" + std::to_string(n);
    EXPECT_EQ(Q_ReadFile(handle, name.c_str(), Dir().c_str()), 1) << n;
    EXPECT_EQ(ReadFile(name), Pattern(n)) << n;
    EXPECT_EQ(LastPayload(1702), std::vector<uint8_t>(name.c_str(), name.c_str() + name.size() + 1));
  }
  struct stat st{};
  ASSERT_EQ(stat(Path("f1").c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
  EXPECT_EQ(Q_ReadFile(handle, "absent", Dir().c_str()), -2);
}

TEST_F(FilesE2E, DownloadNamesMustStayInTheDirectory) {
  termsim::FilesData data;
  data.files["x"] = Pattern(3);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), data), nullptr);
  sim->ClearReceived();
  for (const char* bad : {"", ".", "..", "../x", "a/x", "a\\x", "x\n"}) {
    EXPECT_EQ(Q_ReadFile(handle, bad, Dir().c_str()), 4) << bad;
    EXPECT_EQ(Q_DownloadUserPhoto(handle, bad, Dir().c_str()), 4) << bad;
    EXPECT_EQ(Q_DownloadPicture(handle, bad, Dir().c_str()), 4) << bad;
  }
  EXPECT_EQ(Q_ReadFile(handle, std::string(1024, 'n').c_str(), Dir().c_str()), 4);
  EXPECT_EQ(Q_ReadFile(handle, nullptr, Dir().c_str()), 4);
  EXPECT_EQ(Q_ReadFile(handle, "x", nullptr), 4);
  EXPECT_EQ(Q_DownloadUserPhoto(handle, nullptr, Dir().c_str()), -1);
  EXPECT_EQ(Q_DownloadPicture(handle, nullptr, Dir().c_str()), -1);
  EXPECT_EQ(Q_DownloadUserPhoto(nullptr, "x", Dir().c_str()), -1);
  const std::string long_name(200 - Dir().size(), 'n');  // directory + name: 200
  EXPECT_EQ(Q_DownloadUserPhoto(handle, long_name.c_str(), Dir().c_str()), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_TRUE(DirEntries().empty());
}

TEST_F(FilesE2E, DownloadsFillEachCapacityAndNoMore) {
  termsim::FilesData data;
  data.user_photos["full.jpg"] = Pattern(51200);
  data.user_photos["over.jpg"] = Pattern(51201);
  data.pictures["full.png"] = Pattern(3u << 20, 5);
  data.pictures["over.png"] = Pattern((3u << 20) + 1);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), data), nullptr);
  EXPECT_EQ(Q_DownloadUserPhoto(handle, "full.jpg", Dir().c_str()), 1);
  EXPECT_EQ(ReadFile("full.jpg"), Pattern(51200));
  EXPECT_EQ(Q_DownloadUserPhoto(handle, "over.jpg", Dir().c_str()), -2);
  EXPECT_EQ(Q_DownloadPicture(handle, "full.png", Dir().c_str()), 1);
  EXPECT_EQ(ReadFile("full.png"), Pattern(3u << 20, 5));
  EXPECT_EQ(Q_DownloadPicture(handle, "over.png", Dir().c_str()), -2);
  EXPECT_EQ(DirEntries(), (std::vector<std::string>{"full.jpg", "full.png"}));
}

TEST_F(FilesE2E, StalledDownloadKeepsTheEarlierFile) {
  termsim::FilesData data;
  data.files["log.txt"] = Pattern(8000, 9);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), data), nullptr);
  WriteFile("log.txt", Pattern(10, 1));
  termsim::BulkFaults faults;
  termsim::TransferFaults stall;
  stall.silent_after = 3;  // three chunks, then nothing more
  faults.transfers.assign(6, stall);
  sim->SetBulkFaults(faults);
  Session().data_timeout_ms = 300;  // every attempt waits out its silence
  EXPECT_EQ(Q_ReadFile(handle, "log.txt", Dir().c_str()), -2);
  EXPECT_EQ(ReadFile("log.txt"), Pattern(10, 1));
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"log.txt"});  // no temporary left
}

TEST_F(FilesE2E, UnwritableDirectoryGivesMinusTwo) {
  termsim::FilesData data;
  data.files["a"] = Pattern(5);
  ASSERT_NE(Connect(termsim::Profile::Ver660(), data), nullptr);
  EXPECT_EQ(Q_ReadFile(handle, "a", (Dir() + "missing/").c_str()), -2);
}

}  // namespace
}  // namespace files_test
