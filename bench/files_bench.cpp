// Files over loopback UDP with the reader thread: Q_SendFile and Q_ReadFile
// of 8 MiB, a backup and a restore of a terminal with 3,000 users with
// templates and 50,000 punches, and the squeeze plug-in's speed and ratio
// on that image and on 8 MiB of random bytes. Each figure stands beside the
// fixed-wait floor counted from what the terminal received: 10 ms per
// datagram over 10 bytes, and 200 ms after each backup block.
//
//   files_bench [MiB]   the file size (8 by default); the upload's floor
//                       alone is about 10 s per MiB, so one iteration.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "devapi.h"
#include "protocol_floor.h"
#include "sim_connect.h"
#include "squeeze.h"
#include "termsim/files.h"
#include "termsim/logs.h"
#include "termsim/simulator.h"
#include "termsim/templates.h"

namespace {

constexpr double kBackupBlockPauseMs = 200;
constexpr double kMiB = 1024.0 * 1024.0;

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

void Report(const char* what, double ms, size_t bytes, const termsim::Simulator& sim,
            double extra_floor_ms = 0) {
  const double floor = bench::FloorMs(sim, false) + extra_floor_ms;
  std::printf("%-24s %9.0f ms %7.2f MiB/s %7zu exchanges  floor %9.0f ms  ratio %.2f\n", what, ms,
              bytes / kMiB / (ms / 1000.0), sim.ReceivedCount(), floor,
              floor > 0 ? ms / floor : 0.0);
}

void SqueezeFigures(const char* what, const std::vector<uint8_t>& image, const std::string& path) {
  const int32_t length = static_cast<int32_t>(image.size());
  auto start = std::chrono::steady_clock::now();
  if (CompressItToFile(image.data(), path.c_str(), &length) != 1) {
    std::printf("%s: compression failed\n", what);
    return;
  }
  const double compress_ms = bench::MsSince(start);
  const auto file_size = std::filesystem::file_size(path);
  std::vector<uint8_t> back(image.size());
  int32_t capacity = length;
  start = std::chrono::steady_clock::now();
  const int32_t n = ExpandItFromFile(path.c_str(), back.data(), &capacity);
  const double expand_ms = bench::MsSince(start);
  std::printf("squeeze %-16s %7.2f MiB  compress %7.1f MiB/s  expand %7.1f MiB/s  ratio %.3f%s\n",
              what, image.size() / kMiB, image.size() / kMiB / (compress_ms / 1000.0),
              image.size() / kMiB / (expand_ms / 1000.0),
              static_cast<double>(file_size) / image.size(), n == length ? "" : "  (MISMATCH)");
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 8;
  const auto dir = std::filesystem::temp_directory_path() / "files_bench";
  std::filesystem::create_directories(dir);
  const std::string dir_text = dir.string() + "/";

  termsim::Simulator sim(termsim::Profile::Ver660());
  DEVAPI_HANDLE h = bench::ConnectToSimulator(sim, false, true);
  if (h == nullptr) return 1;

  // Upload and download of one file.
  const auto content = Random(mib << 20, 1);
  const std::string up = (dir / "bench.bin").string();
  std::ofstream(up, std::ios::binary)
      .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  sim.ClearReceived();
  auto start = std::chrono::steady_clock::now();
  const int32_t sent = Q_SendFile(h, up.c_str());
  Report(("Q_SendFile " + std::to_string(mib) + " MiB").c_str(), bench::MsSince(start),
         content.size(), sim);
  std::filesystem::remove(up);
  sim.ClearReceived();
  start = std::chrono::steady_clock::now();
  const int32_t read = Q_ReadFile(h, "bench.bin", dir_text.c_str());
  Report(("Q_ReadFile " + std::to_string(mib) + " MiB").c_str(), bench::MsSince(start),
         content.size(), sim);
  if (sent != 1 || read != 1) std::printf("transfer failed: %d %d\n", sent, read);

  // A terminal of 3,000 users with a template each and 50,000 punches.
  sim.SetUsers(termsim::GenerateUsers(3000, 11));
  std::vector<termsim::FingerTemplate> templates;
  for (uint16_t pin = 1; pin <= 3000; ++pin) {
    termsim::FingerTemplate t;
    t.pin = pin;
    t.bytes = Random(200, pin);
    templates.push_back(std::move(t));
  }
  sim.SetTemplates(std::move(templates));
  termsim::AttendanceGeneration g;
  g.users = 3000;
  g.punches = 50000;
  sim.SetAttendanceLog(termsim::GenerateAttendance(g));
  const std::string backup = (dir / "bench.bak").string();
  sim.ClearReceived();
  start = std::chrono::steady_clock::now();
  const int32_t backed = Q_BackupData(h, backup.c_str());
  const double backup_ms = bench::MsSince(start);
  size_t blocks = 0;
  for (const auto& p : sim.Received()) blocks += p.code == 1503;
  std::vector<uint8_t> image(70u << 20);
  int32_t capacity = static_cast<int32_t>(image.size());
  const int32_t image_size = ExpandItFromFile(backup.c_str(), image.data(), &capacity);
  image.resize(image_size > 0 ? static_cast<size_t>(image_size) : 0);
  Report("Q_BackupData", backup_ms, image.size(), sim, blocks * kBackupBlockPauseMs);
  sim.ClearReceived();
  start = std::chrono::steady_clock::now();
  const int32_t restored = Q_RestoreData(h, backup.c_str());
  Report("Q_RestoreData", bench::MsSince(start), image.size(), sim);
  if (backed != 1 || restored != 1) std::printf("backup or restore failed: %d %d\n", backed, restored);
  std::printf("backup image %.2f MiB in %zu blocks\n", image.size() / kMiB, blocks);

  SqueezeFigures("backup image", image, (dir / "image.sqz").string());
  SqueezeFigures("8 MiB random", Random(8u << 20, 2), (dir / "random.sqz").string());
  Q_Close(h);
  std::filesystem::remove_all(dir);
  return 0;
}
