// A devapi session against a simulated terminal with files, photos and a
// backup layout, over loopback UDP, and a scratch directory for host files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link_devapi.h"
#include "termsim/files.h"
#include "termsim/simulator.h"

namespace files_test {

inline void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

class FilesE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("files_e2e_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
    std::filesystem::remove_all(dir_);
  }

  DEVAPI_HANDLE Connect(termsim::Profile profile = termsim::Profile::Ver660(),
                        termsim::FilesData data = {}) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    sim->SetFiles(std::move(data));
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    return Reconnect();
  }
  // A new connection to the same simulator.
  DEVAPI_HANDLE Reconnect() {
    if (handle != nullptr) Q_Close(handle);
    handle = simlink::Connect(*sim, &IgnoreEvent, nullptr);
    EXPECT_NE(handle, nullptr);
    // Stalled transfers fail fast.
    if (handle != nullptr) Session().data_timeout_ms = 2000;
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }
  size_t Sent(uint16_t code) const { return sim->CountReceived(code); }
  std::vector<uint8_t> LastPayload(uint16_t code) const {
    std::vector<uint8_t> out;
    for (const auto& p : sim->Received()) {
      if (p.code == code) out = p.payload;
    }
    return out;
  }
  // Codes of the packets received since ClearReceived, in order.
  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> out;
    for (const auto& p : sim->Received()) out.push_back(p.code);
    return out;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Dir() const { return dir_.string() + "/"; }
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }
  std::string WriteText(const std::string& name, const std::string& text) const {
    return WriteFile(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::vector<uint8_t> ReadFile(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Files in the scratch directory (temporary ones included).
  std::vector<std::string> DirEntries() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;

 private:
  std::filesystem::path dir_;
};

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 7 + seed);
  return out;
}

}  // namespace files_test
