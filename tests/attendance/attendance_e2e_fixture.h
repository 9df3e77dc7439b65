// A colour-screen terminal in the simulator with the attendance data file,
// a devapi session to it over the test's link, and a report helper.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link_devapi.h"
#include "termsim/attendance.h"
#include "termsim/data_file.h"
#include "termsim/simulator.h"
#include "wire/le_bytes.h"

namespace attendance_e2e {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The five inputs and the outputs of one report.
struct ReportFiles {
  fs::path dir;
  std::string attlog, users, departments, slots, rule, html, work;
  explicit ReportFiles(fs::path d) : dir(std::move(d)) {
    fs::create_directories(dir);
    attlog = (dir / "attlog.dat").string();
    users = (dir / "users.dat").string();
    departments = (dir / "departments.dat").string();
    slots = (dir / "slots.dat").string();
    rule = (dir / "rule.dat").string();
    html = (dir / "report.html").string();
    work = (dir / "").string();
  }
  Bytes Output(const char* name) const { return ReadFile(work + name); }
};

class AttendanceE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("termkit_att_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override {
    for (DEVAPI_HANDLE h : handles) Q_Close(h);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }

  // The terminal with the data file; a session with short time-outs.
  DEVAPI_HANDLE Connect() {
    sim = std::make_unique<termsim::Simulator>(termsim::Profile::Tft());
    termsim::TerminalData data;
    std::string error;
    EXPECT_TRUE(termsim::ReadDataFile(TERMSIM_ATTENDANCE_DATA, &data, &error)) << error;
    termsim::ApplyData(data, *sim);
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    return Open();
  }
  DEVAPI_HANDLE Open() {
    DEVAPI_HANDLE h = simlink::Connect(*sim, nullptr, nullptr);
    EXPECT_NE(h, nullptr);
    if (h == nullptr) return nullptr;
    handles.push_back(h);
    auto* s = static_cast<devapi::DeviceSession*>(h);
    s->cmd_timeout_ms = 1500;
    s->data_timeout_ms = 1500;
    return h;
  }

  // Reads and saves the five tables.
  void SaveAll(DEVAPI_HANDLE h, const ReportFiles& f) {
    ASSERT_EQ(Q_SSR_ReadAttRule(h), 1);
    ASSERT_EQ(Q_SSR_SaveDate(h, f.rule.c_str(), 3), 1);
    ASSERT_EQ(Q_SSR_ReadDPT(h), 1);
    ASSERT_EQ(Q_SSR_SaveDate(h, f.departments.c_str(), 4), 1);
    ASSERT_EQ(Q_SSR_ReadTurn(h), 1);
    ASSERT_EQ(Q_SSR_SaveDate(h, f.slots.c_str(), 5), 1);
    ASSERT_EQ(Q_ReadLog(h, 0), 1);
    ASSERT_EQ(Q_SSR_SaveDate(h, f.attlog.c_str(), 1), 1);
    ASSERT_EQ(Q_ReadUserInfo(h), 1);
    ASSERT_EQ(Q_SSR_SaveDate(h, f.users.c_str(), 2), 1);
  }

  // 2024-05-01 .. 2024-05-03 unless told otherwise.
  int32_t Report(DEVAPI_HANDLE h, const ReportFiles& f, int32_t type, const char* id = "",
                 std::array<int, 6> from = {2024, 5, 1, 0, 0, 0},
                 std::array<int, 6> to = {2024, 5, 3, 23, 59, 59}, const char* html = nullptr,
                 const char* work = nullptr) {
    return Q_SSR_OutPutHtml(h, id, f.attlog.c_str(), f.users.c_str(), f.departments.c_str(),
                            f.slots.c_str(), from[0], from[1], from[2], from[3], from[4], from[5],
                            to[0], to[1], to[2], to[3], to[4], to[5],
                            html != nullptr ? html : f.html.c_str(),
                            work != nullptr ? work : f.work.c_str(), f.rule.c_str(), type,
                            "\xB9\xA4\xBA\xC5");
  }

  std::unique_ptr<termsim::Simulator> sim;
  std::vector<DEVAPI_HANDLE> handles;
  fs::path dir;
};

// Fields of the record files.
inline uint32_t U32(const Bytes& b, size_t at) {
  wire::ByteReader r(std::span<const uint8_t>(b).subspan(at, 4));
  return r.U32();
}

}  // namespace attendance_e2e
