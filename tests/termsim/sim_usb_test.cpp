// The simulator behind a drive file, driven by blocks written by hand: which
// blocks it takes for requests, how it answers, and how its faults shape
// the answers.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "links/usb_block.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/packet.h"

namespace {

namespace fs = std::filesystem;

class SimUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("termkit_simusb_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    sim.Stop();
    fs::remove_all(dir);
  }

  std::string File() const { return (dir / "dummy").string(); }
  std::vector<uint8_t> Contents() const {
    std::ifstream in(File(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  // Writes a block as a host does: in place at the file's start.
  void WriteBlock(const std::vector<uint8_t>& block) {
    std::fstream out(File(), std::ios::binary | std::ios::in | std::ios::out);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  }
  // A request block for CMD_CONNECT from device `device`.
  static std::vector<uint8_t> ConnectBlock(uint8_t device, uint16_t counter = 0) {
    std::vector<uint8_t> packet(8);
    wire::BuildPacket(wire::CMD_CONNECT, 0, counter, {}, packet);
    auto block = termsim::EncodeUsbAnswer(device, packet);
    block.resize(512);
    return block;
  }
  // The answer now in the file, if the simulator wrote one.
  std::optional<wire::PacketHeader> Answer() {
    const auto bytes = Contents();
    if (bytes.size() < 10) return std::nullopt;
    const size_t length = bytes[4] | (bytes[5] << 8);
    if (length < 8 || 8 + length >= bytes.size() || bytes[8 + length] != 0xFF) return std::nullopt;
    const auto packet = wire::ParsePacket(std::span<const uint8_t>(bytes).subspan(8, length));
    if (!packet || packet->header.code == wire::CMD_CONNECT) return std::nullopt;
    return packet->header;
  }
  bool AnsweredWithin(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      if (Answer()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  fs::path dir;
  termsim::Simulator sim;
};

TEST_F(SimUsb, CreatesTheDriveFileAndAnswersItsOwnDevice) {
  ASSERT_TRUE(sim.StartUsb(dir.string()));
  EXPECT_EQ(sim.usb_file(), File());
  EXPECT_EQ(Contents(), std::vector<uint8_t>(1536, 0));

  WriteBlock(ConnectBlock(2));  // another device number: not for this terminal
  EXPECT_FALSE(AnsweredWithin(150));
  EXPECT_EQ(sim.ReceivedCount(), 0u);

  WriteBlock(ConnectBlock(1));
  ASSERT_TRUE(AnsweredWithin(2000));
  EXPECT_EQ(Answer()->code, wire::CMD_ACK_OK);
  ASSERT_EQ(sim.ReceivedCount(), 1u);
  EXPECT_EQ(sim.Received()[0].wire_size, 512u);
  EXPECT_EQ(Contents().size(), 1536u);  // the answer goes over the request, in place

  // "DeviceID" names the terminal's number.
  sim.SetOption("DeviceID", "7");
  WriteBlock(ConnectBlock(7, 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(AnsweredWithin(2000));
  EXPECT_EQ(sim.ReceivedCount(), 2u);
}

TEST_F(SimUsb, TakesOnlyWholeNewRequests) {
  ASSERT_TRUE(sim.StartUsb(dir.string()));
  auto bad_sum = ConnectBlock(1);
  bad_sum[6] ^= 0x55;
  auto bad_mark = ConnectBlock(1);
  bad_mark[2] = 0x80;
  auto no_end = ConnectBlock(1);
  no_end[16] = 0;
  auto one_device_byte = ConnectBlock(1);
  one_device_byte[1] = 2;
  for (const auto& block : {bad_sum, bad_mark, no_end, one_device_byte}) {
    WriteBlock(block);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  EXPECT_EQ(sim.ReceivedCount(), 0u);

  // A request is taken once; the same bytes written again are a resend.
  WriteBlock(ConnectBlock(1));
  ASSERT_TRUE(AnsweredWithin(2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sim.ReceivedCount(), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the time stamp moves on
  WriteBlock(ConnectBlock(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(AnsweredWithin(2000));
  EXPECT_EQ(sim.ReceivedCount(), 2u);
}

TEST_F(SimUsb, FaultsShapeTheWrittenBlocks) {
  ASSERT_TRUE(sim.StartUsb(dir.string()));
  struct Case {
    const char* what;
    termsim::UsbFaults faults;
    std::function<void(const std::vector<uint8_t>&)> check;
  };
  termsim::UsbFaults bad_mark, long_length, zero_code;
  bad_mark.bad_mark = 1;
  long_length.long_length = 1;
  zero_code.zero_code = 1;
  const std::vector<Case> cases = {
      {"bad mark", bad_mark, [](const auto& b) { EXPECT_EQ(b[8 + (b[4] | (b[5] << 8))], 0x00); }},
      {"long length", long_length, [](const auto& b) { EXPECT_EQ(b[4] | (b[5] << 8), 1530); }},
      {"zero code", zero_code, [](const auto& b) { EXPECT_EQ(b[8] | b[9], 0); }},
  };
  uint16_t counter = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim.SetUsbFaults(c.faults);
    const size_t before = sim.ReceivedCount();
    WriteBlock(ConnectBlock(1, ++counter));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (sim.ReceivedCount() == before && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    c.check(Contents());
  }
}

TEST_F(SimUsb, RefusesADriveFileThatIsNotARegularFile) {
  const fs::path target = dir / "elsewhere";
  std::ofstream(target) << "x";
  fs::create_symlink(target, dir / "dummy");
  EXPECT_FALSE(sim.StartUsb(dir.string()));
  EXPECT_EQ(fs::file_size(target), 1u);
  EXPECT_FALSE(sim.StartUsb((dir / "missing_dir").string()));
}

}  // namespace
