// Q_SSR_SaveDate: a saved view holds exactly the bytes that were downloaded.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "logs_fixture.h"

namespace logs_test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class SaveViewE2E : public LogsE2E {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("termkit_logs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override {
    LogsE2E::TearDown();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  std::string File(const char* name) const { return (dir / name).string(); }

  fs::path dir;
};

// Extended records with every byte different, as a terminal might send.
std::vector<uint8_t> RecordBytes(size_t records) {
  std::vector<uint8_t> out(records * 16);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7 + 3);
  return out;
}

TEST_F(SaveViewE2E, TheSavedAttendanceViewIsWhatWasDownloaded) {
  for (const bool lzo : {false, true}) {
    ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
    termsim::BulkOptions options;
    options.compress = lzo;
    sim->SetBulkOptions(options);
    const auto records = RecordBytes(5000);
    sim->SetDataSet(13, {}, Counted(records));
    ASSERT_EQ(Q_ReadLog(handle, 0), 1);
    const std::string file = File(lzo ? "lzo.dat" : "plain.dat");
    ASSERT_EQ(Q_SSR_SaveDate(handle, file.c_str(), 1), 1);
    EXPECT_EQ(ReadFile(file), records) << (lzo ? "lzo" : "plain");

    // Once iteration has begun, the rest of the view from the cursor on.
    ASSERT_EQ(ReadNumeric().size(), 5000u);
    Session().attlog_cursor = Session().attlog_start + 2 * 16;
    ASSERT_EQ(Q_SSR_SaveDate(handle, file.c_str(), 1), 1);
    EXPECT_EQ(ReadFile(file), std::vector<uint8_t>(records.begin() + 32, records.end()));
    Q_Close(handle);
    handle = nullptr;
  }
}

TEST_F(SaveViewE2E, TheSavedUserViewIsTheUserTable) {
  ASSERT_NE(Connect(termsim::Profile::Ver660()), nullptr);
  sim->SetUsers(termsim::GenerateUsers(40, 3));
  ASSERT_EQ(Q_ReadUserInfo(handle), 1);
  const std::string file = File("users.dat");
  ASSERT_EQ(Q_SSR_SaveDate(handle, file.c_str(), 2), 1);
  const auto table = sim->UserTableBytes();
  EXPECT_EQ(ReadFile(file), std::vector<uint8_t>(table.begin() + 4, table.end()));
}

TEST_F(SaveViewE2E, NothingToSaveLeavesTheFileAlone) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
  const std::string file = File("kept.dat");
  WriteFile(file, "host data");
  // No download yet: the view is empty.
  EXPECT_EQ(Q_SSR_SaveDate(handle, file.c_str(), 1), 0);
  sim->SetDataSet(13, {}, Counted(RecordBytes(3)));
  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  for (const int32_t type : {0, 3, 4, 5, 6, -1}) {
    EXPECT_EQ(Q_SSR_SaveDate(handle, file.c_str(), type), 0) << type;
  }
  // Iterated to the end: nothing remains.
  ReadNumeric();
  EXPECT_EQ(Q_SSR_SaveDate(handle, file.c_str(), 1), 0);
  EXPECT_EQ(ReadFile(file), std::vector<uint8_t>({'h', 'o', 's', 't', ' ', 'd', 'a', 't', 'a'}));
}

TEST_F(SaveViewE2E, BadFileNamesAndHandles) {
  ASSERT_NE(Connect(Terminal(kPreNewRecordFirmware, true)), nullptr);
  sim->SetDataSet(13, {}, Counted(RecordBytes(3)));
  ASSERT_EQ(Q_ReadLog(handle, 0), 1);
  EXPECT_EQ(Q_SSR_SaveDate(handle, File("missing/dir/x.dat").c_str(), 1), -2);
  EXPECT_EQ(Q_SSR_SaveDate(handle, dir.string().c_str(), 1), -2);  // a directory
  EXPECT_EQ(Q_SSR_SaveDate(handle, nullptr, 1), 4);
  EXPECT_EQ(Q_SSR_SaveDate(handle, "", 1), 4);
  EXPECT_EQ(Q_SSR_SaveDate(nullptr, File("x.dat").c_str(), 1), -1);
}

}  // namespace
}  // namespace logs_test
