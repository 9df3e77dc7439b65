// Backups into one compressed file and restores from it.
#include <stdlib.h>
#include <sys/stat.h>

#include "files_fixture.h"
#include "termsim/logs.h"
#include "termsim/templates.h"

namespace files_test {
namespace {

void FillTerminal(termsim::Simulator& sim) {
  sim.SetUsers(termsim::GenerateUsers(40, 7));
  std::vector<termsim::FingerTemplate> templates;
  for (uint16_t pin = 1; pin <= 10; ++pin) {
    termsim::FingerTemplate t;
    t.pin = pin;
    t.finger = static_cast<uint8_t>(pin % 10);
    t.bytes = Pattern(300, static_cast<uint8_t>(pin));
    templates.push_back(t);
  }
  sim.SetTemplates(templates);
  termsim::AttendanceGeneration g;
  g.users = 40;
  g.punches = 200;
  sim.SetAttendanceLog(termsim::GenerateAttendance(g));
}

// Points the library at another squeeze file for one test.
class SqueezeOverride {
 public:
  explicit SqueezeOverride(const std::string& file) { setenv("TERMKIT_SQUEEZE_LIBRARY", file.c_str(), 1); }
  ~SqueezeOverride() { unsetenv("TERMKIT_SQUEEZE_LIBRARY"); }
};

TEST_F(FilesE2E, BackupClearRestoreGivesBackEveryStore) {
  ASSERT_NE(Connect(), nullptr);
  FillTerminal(*sim);
  const auto users = sim->Users();
  const auto templates = sim->Templates();
  const auto log = sim->AttendanceLog();
  const std::string file = Path("terminal.bak");
  ASSERT_EQ(Q_BackupData(handle, file.c_str()), 1);
  struct stat st{};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_EQ(Q_ClearData(handle), 1);
  EXPECT_TRUE(sim->Users().empty());
  sim->ClearReceived();
  ASSERT_EQ(Q_RestoreData(handle, file.c_str()), 1);
  EXPECT_EQ(sim->Users(), users);
  EXPECT_EQ(sim->Templates(), templates);
  EXPECT_EQ(sim->AttendanceLog(), log);
  EXPECT_TRUE(sim->DeviceEnabled());
  // 1003 and 14 without data, the image, 110 {7, 0x80000}, then 1013 only.
  EXPECT_TRUE(LastPayload(1003).empty());
  EXPECT_TRUE(LastPayload(14).empty());
  EXPECT_EQ(LastPayload(110), (std::vector<uint8_t>{7, 0, 0, 0, 0, 0, 8, 0}));
  EXPECT_EQ(Codes().back(), 1013);
  EXPECT_EQ(Sent(119) + Sent(1502) + Sent(1002), 0u);

  // Into another terminal.
  Q_Close(handle);
  handle = nullptr;
  ASSERT_NE(Connect(termsim::Profile::Tft()), nullptr);
  ASSERT_EQ(Q_RestoreData(handle, file.c_str()), 1);
  EXPECT_EQ(sim->Users(), users);
  EXPECT_EQ(sim->Templates(), templates);
  EXPECT_EQ(sim->AttendanceLog(), log);
}

TEST_F(FilesE2E, BackupFollowsTheBlockMap) {
  ASSERT_NE(Connect(), nullptr);
  termsim::BackupSettings settings;
  settings.map = std::vector<uint8_t>{0, 3, 0, 4, 255};
  sim->SetBackupSettings(settings);
  const std::string file = Path("map.bak");
  sim->ClearReceived();
  ASSERT_EQ(Q_BackupData(handle, file.c_str()), 1);
  size_t memory_reads = 0;
  for (const auto& p : sim->Received()) memory_reads += p.code == 1503 && p.payload.size() > 1 && p.payload[1] == 111;
  EXPECT_EQ(memory_reads, 1u);
  // One memory read at the first address, one database read of kind 4.
  bool database_asked = false;
  for (const auto& p : sim->Received()) {
    if (p.code == 1503 && p.payload.size() == 11 && p.payload[1] == 7) {
      database_asked = p.payload == std::vector<uint8_t>{1, 7, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    }
    if (p.code == 1503 && p.payload.size() == 11 && p.payload[1] == 111) {
      EXPECT_EQ(p.payload, (std::vector<uint8_t>{1, 111, 0, 0, 0, 0x88, 0xFF, 0, 0, 1, 0}));
    }
  }
  EXPECT_TRUE(database_asked);

  // Maps that promise more than they hold, and empty maps.
  struct Case {
    std::vector<uint8_t> map;
    int32_t result;
  };
  const Case cases[] = {{{0, 5, 4, 0}, -2},   {{0}, -2},       {{0, 0}, 0},
                        {{0, 0x80, 4}, 0},    {{0, 2, 255, 12}, 0}};
  for (const Case& c : cases) {
    settings.map = c.map;
    sim->SetBackupSettings(settings);
    sim->ClearReceived();
    EXPECT_EQ(Q_BackupData(handle, Path("hostile.bak").c_str()), c.result) << c.map.size();
    EXPECT_EQ(Sent(1503), 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(Path("hostile.bak")));
}

TEST_F(FilesE2E, WrongSizedBlocksLeaveNoBackup) {
  ASSERT_NE(Connect(), nullptr);
  WriteFile("old.bak", Pattern(20));
  struct Case {
    uint32_t memory_bytes;
    uint32_t database_bytes;
  };
  for (const Case& c : {Case{65535, 0}, Case{65537, 0}, Case{65536, 65533}}) {
    termsim::BackupSettings settings;
    settings.memory_block_bytes = c.memory_bytes;
    settings.database_bytes = c.database_bytes;
    sim->SetBackupSettings(settings);
    EXPECT_EQ(Q_BackupData(handle, Path("old.bak").c_str()), -2) << c.memory_bytes;
    EXPECT_EQ(ReadFile("old.bak"), Pattern(20));
  }
  // The database block may fill its slot to the last byte.
  termsim::BackupSettings full;
  full.database_bytes = 65532;
  sim->SetBackupSettings(full);
  EXPECT_EQ(Q_BackupData(handle, Path("full.bak").c_str()), 1);
  sim->SetCommandRefused(51, true);
  EXPECT_EQ(Q_BackupData(handle, Path("refused.bak").c_str()), -2);
}

TEST_F(FilesE2E, WithoutSqueezeNothingIsSent) {
  ASSERT_NE(Connect(), nullptr);
  const std::string good = Path("good.bak");
  ASSERT_EQ(Q_BackupData(handle, good.c_str()), 1);
  for (const std::string& library : {Path("no-such-library.so"), std::string("libcomms.so")}) {
    SqueezeOverride other(library);
    sim->ClearReceived();
    EXPECT_EQ(Q_BackupData(handle, Path("x.bak").c_str()), -100) << library;
    EXPECT_EQ(Q_RestoreData(handle, good.c_str()), -100) << library;
    EXPECT_EQ(sim->ReceivedCount(), 0u) << library;
  }
  EXPECT_EQ(Q_BackupData(handle, nullptr), 4);
  EXPECT_EQ(Q_RestoreData(handle, nullptr), 4);
  EXPECT_EQ(Q_BackupData(nullptr, good.c_str()), -1);
}

TEST_F(FilesE2E, RestoreRefusesBadImagesBeforeTheWipe) {
  ASSERT_NE(Connect(), nullptr);
  FillTerminal(*sim);
  const auto users = sim->Users();
  sim->ClearReceived();
  // Not a squeeze file, and a squeeze file whose image is not whole blocks.
  EXPECT_EQ(Q_RestoreData(handle, WriteText("junk.bak", "not a backup").c_str()), 4);
  EXPECT_EQ(Q_RestoreData(handle, Path("missing.bak").c_str()), 4);
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  EXPECT_EQ(sim->Users(), users);
}

TEST_F(FilesE2E, RestoreFailuresEnableTheTerminalAgain) {
  ASSERT_NE(Connect(), nullptr);
  FillTerminal(*sim);
  const std::string file = Path("t.bak");
  ASSERT_EQ(Q_BackupData(handle, file.c_str()), 1);

  sim->SetCommandRefused(14, true);
  sim->ClearReceived();
  EXPECT_EQ(Q_RestoreData(handle, file.c_str()), 0);
  EXPECT_EQ(Codes().back(), 1002);
  EXPECT_TRUE(sim->DeviceEnabled());
  sim->SetCommandRefused(14, false);

  sim->SetCommandRefused(110, true);
  sim->ClearReceived();
  EXPECT_EQ(Q_RestoreData(handle, file.c_str()), -2);
  EXPECT_EQ(Codes().back(), 1002);
  EXPECT_TRUE(sim->DeviceEnabled());
  sim->SetCommandRefused(110, false);
}

TEST_F(FilesE2E, DamagedImageIsRefusedByTheTerminalWithoutApplyingAnyOfIt) {
  ASSERT_NE(Connect(), nullptr);
  FillTerminal(*sim);
  const std::string file = Path("t.bak");
  ASSERT_EQ(Q_BackupData(handle, file.c_str()), 1);
  // A map without the database block: the image lacks its database slot.
  termsim::BackupSettings settings;
  settings.map = std::vector<uint8_t>{0, 2, 0, 0};
  sim->SetBackupSettings(settings);
  const std::string partial = Path("partial.bak");
  ASSERT_EQ(Q_BackupData(handle, partial.c_str()), 1);
  const auto users = sim->Users();
  EXPECT_EQ(Q_RestoreData(handle, partial.c_str()), -2);
  EXPECT_TRUE(sim->DeviceEnabled());
  // Wiped by command 14, and nothing of the damaged image applied.
  EXPECT_TRUE(sim->Users().empty());
  EXPECT_TRUE(sim->Templates().empty());
  // The good backup still restores.
  ASSERT_EQ(Q_RestoreData(handle, file.c_str()), 1);
  EXPECT_EQ(sim->Users(), users);
}

}  // namespace
}  // namespace files_test
