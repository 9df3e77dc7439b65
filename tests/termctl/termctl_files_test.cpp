// termctl files, photos, backup and restore against a simulator started in
// the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "run_termctl.h"
#include "termsim/files.h"
#include "termsim/simulator.h"

namespace termctltest {
namespace {

class TermctlFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("termctl_files_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    sim = std::make_unique<termsim::Simulator>(termsim::Profile::Ver660());
    ASSERT_TRUE(sim->StartUdp("127.0.0.1", 0));
    address = "udp://127.0.0.1:" + std::to_string(sim->udp_port());
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), address);
    return RunTermctl(args);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::unique_ptr<termsim::Simulator> sim;
  std::string address;
  std::filesystem::path dir;
};

TEST_F(TermctlFiles, FilesBothWays) {
  std::ofstream(dir / "up.txt") << "hello terminal";
  EXPECT_EQ(Run({"files", "put", (dir / "up.txt").string()}).status, 0);
  EXPECT_EQ(sim->Files().files.at("up.txt").size(), 14u);
  EXPECT_EQ(Run({"files", "put", (dir / "up.txt").string(), "--kind", "9"}).status, 0);
  EXPECT_EQ(sim->Files().uploads.count({9, "up.txt"}), 1u);
  const auto got = Run({"files", "get", "up.txt", (dir / "down").string() + "/"});
  EXPECT_EQ(got.status, 1);  // no such directory
  std::filesystem::create_directories(dir / "down");
  EXPECT_EQ(Run({"files", "get", "up.txt", (dir / "down").string()}).status, 0);
  EXPECT_EQ(Read("down/up.txt"), "hello terminal");
  EXPECT_EQ(Run({"files", "get", "absent.txt", dir.string()}).status, 1);
  EXPECT_EQ(Run({"files", "get", "../x", dir.string()}).status, 2);
  EXPECT_EQ(Run({"files", "put", (dir / "missing").string()}).status, 1);
  EXPECT_EQ(Run({"files", "put", (dir / "up.txt").string(), "--kind", "x"}).status, 2);
  EXPECT_EQ(Run({"files"}).status, 2);
}

TEST_F(TermctlFiles, PhotosListAndGet) {
  termsim::FilesData data;
  data.photos = {{"p1", termsim::PackTime({2024, 1, 15, 8, 0, 0}), 1, {1, 2, 3}},
                 {"p2", termsim::PackTime({2024, 3, 1, 8, 0, 0}), 2, {4, 5}}};
  sim->SetFiles(data);
  const auto all = Run({"photos", "list"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, "p1\np2\n");
  EXPECT_EQ(Run({"photos", "list", "--to", "2024-02-01"}).out, "p1\n");
  EXPECT_EQ(Run({"photos", "list", "--selector", "2"}).out, "p2\n");
  EXPECT_EQ(Run({"photos", "list", "--from", "1999-01-01"}).status, 2);
  EXPECT_EQ(Run({"photos", "get", "p1", "p2", "--dir", dir.string()}).status, 0);
  EXPECT_EQ(Read("p2"), std::string("\x04\x05"));
  EXPECT_EQ(Run({"photos", "get", "nope", "--dir", dir.string()}).status, 1);
  EXPECT_EQ(Run({"photos", "get", "..", "--dir", dir.string()}).status, 2);
}

TEST_F(TermctlFiles, BackupAndRestore) {
  sim->SetUsers(termsim::GenerateUsers(5, 1));
  const auto users = sim->Users();
  const std::string file = (dir / "t.bak").string();
  EXPECT_EQ(Run({"backup", file}).status, 0);
  sim->SetUsers({});
  EXPECT_EQ(Run({"restore", file}).status, 2);  // without --yes
  EXPECT_TRUE(sim->Users().empty());
  EXPECT_EQ(Run({"restore", file, "--yes"}).status, 0);
  EXPECT_EQ(sim->Users(), users);
  std::ofstream(dir / "junk.bak") << "junk";
  EXPECT_EQ(Run({"restore", (dir / "junk.bak").string(), "--yes"}).status, 2);
  EXPECT_EQ(Run({"backup"}).status, 2);
  EXPECT_EQ(Run({"backup", (dir / "none" / "t.bak").string()}).status, 1);
}

}  // namespace
}  // namespace termctltest
