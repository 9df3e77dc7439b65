// Attendance reports for 1,000 and 4,000 users x 31 days x 4 punches (two
// slots): the time of Q_SSR_OutPutHtml with the user cache loaded, beside
// the time of reading its five inputs once and of writing the same output
// bytes, and how the larger report scales against the smaller one.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "devapi.h"
#include "platform/quiet_output.h"
#include "sim_connect.h"
#include "termsim/attendance.h"
#include "termsim/simulator.h"

namespace {

namespace fs = std::filesystem;
using bench::MsSince;

constexpr int kRuns = 5;

double ReadInputs(const std::vector<std::string>& inputs) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    size_t total = 0;
    for (const auto& path : inputs) {
      std::ifstream in(path, std::ios::binary);
      std::vector<char> bytes(fs::file_size(path));
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      total += static_cast<size_t>(in.gcount());
    }
    if (total == 0) std::printf("no input bytes\n");
    best = std::min(best, MsSince(start));
  }
  return best;
}

double WriteOutputs(const std::vector<size_t>& sizes, const fs::path& dir) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < sizes.size(); ++i) {
      const std::vector<char> bytes(sizes[i], 'x');
      std::ofstream out(dir / ("copy" + std::to_string(i)), std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    best = std::min(best, MsSince(start));
  }
  return best;
}

// Best time of each report type, in ms.
std::map<int, double> Measure(size_t users, const fs::path& dir) {
  std::map<int, double> report_ms;
  termsim::Simulator sim(termsim::Profile::Tft());
  termsim::ShiftData data = termsim::GenerateShifts(users, 31, {2024, 5, 1, 0, 0, 0}, 7);
  sim.SetUsers(data.users);
  sim.SetAttendanceLog(data.log);
  sim.SetAttendanceTables(data.tables);
  DEVAPI_HANDLE h = bench::ConnectToSimulator(sim, false, false);
  if (h == nullptr) return report_ms;
  fs::create_directories(dir);
  const auto file = [&](const char* name) { return (dir / name).string(); };
  Q_SSR_ReadAttRule(h);
  Q_SSR_SaveDate(h, file("rule.dat").c_str(), 3);
  Q_SSR_ReadDPT(h);
  Q_SSR_SaveDate(h, file("dept.dat").c_str(), 4);
  Q_SSR_ReadTurn(h);
  Q_SSR_SaveDate(h, file("slots.dat").c_str(), 5);
  Q_ReadLog(h, 0);
  Q_SSR_SaveDate(h, file("attlog.dat").c_str(), 1);
  Q_ReadUserInfo(h);
  Q_SSR_SaveDate(h, file("users.dat").c_str(), 2);
  const std::vector<std::string> inputs = {file("rule.dat"), file("dept.dat"), file("slots.dat"),
                                           file("attlog.dat"), file("users.dat")};
  const double read_ms = ReadInputs(inputs);
  const std::string prefix = (dir / "").string();
  for (const int type : {1, 2, 3}) {
    double best = 1e9;
    int32_t result = 0;
    for (int run = 0; run < kRuns; ++run) {
      const auto start = std::chrono::steady_clock::now();
      {
        platform::QuietOutput quiet;  // the calculation's diagnostic lines
        result = Q_SSR_OutPutHtml(h, "", file("attlog.dat").c_str(), file("users.dat").c_str(),
                                  file("dept.dat").c_str(), file("slots.dat").c_str(), 2024, 5, 1,
                                  0, 0, 0, 2024, 5, 31, 23, 59, 59, file("page.html").c_str(),
                                  prefix.c_str(), file("rule.dat").c_str(), type, "ID");
      }
      best = std::min(best, MsSince(start));
    }
    std::vector<size_t> sizes;
    for (const char* out : {"page.html", "RecAbnormite.dat", "attexception.dat",
                            "AttAbnormite.dat", "AttDay.dat"}) {
      sizes.push_back(fs::file_size(dir / out));
    }
    const double write_ms = WriteOutputs(sizes, dir);
    std::printf(
        "type %d  %4zu users  result %d  report %7.1f ms  read inputs %6.1f ms  write outputs "
        "%6.1f ms  report / (read + write) %6.2f  page %8zu bytes\n",
        type, users, result, best, read_ms, write_ms, best / (read_ms + write_ms), sizes[0]);
    report_ms[type] = best;
  }
  Q_Close(h);
  return report_ms;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("attendance_bench_" + std::to_string(::getpid()));
  const auto small = Measure(1000, dir / "1000");
  const auto large = Measure(4000, dir / "4000");
  for (const int type : {1, 2, 3}) {
    if (!small.count(type) || !large.count(type)) continue;
    std::printf("type %d  4,000 users / 1,000 users  %.2f (linear 4, quadratic 16)\n", type,
                large.at(type) / small.at(type));
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return 0;
}
