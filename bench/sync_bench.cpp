// termctl sync of many simulated terminals into SQLite, with 1, 8 and 32
// terminals at a time, against the protocol's fixed-wait floor; then the
// rate at which the store writes punches into SQLite (and PostgreSQL, when
// a server URL is given).
//
//   sync_bench [TERMINALS [PUNCHES [JOBS,JOBS,...]]] [--pg URL]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "protocol_floor.h"
#include "sync/database.h"
#include "sync/schema.h"
#include "sync/store.h"
#include "termsim/logs.h"
#include "termsim/simulator.h"

namespace {

std::vector<int> ParseJobs(const std::string& text) {
  std::vector<int> jobs;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) jobs.push_back(std::atoi(item.c_str()));
  return jobs;
}

int RunSync(const std::vector<std::string>& addresses, const std::string& db, int jobs) {
  std::string command = std::string(TERMCTL_BINARY) + " sync --db " + db + " --jobs " +
                        std::to_string(jobs);
  for (const std::string& a : addresses) command += " " + a;
  command += " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Punches per second through the store's own insert path, in one transaction.
void InsertRate(const char* name, const termctl::sync::DbUrl& url, size_t count) {
  namespace sync = termctl::sync;
  std::string error;
  auto db = sync::OpenDatabase(url, &error);
  if (!db || !sync::EnsureSchema(*db, &error)) {
    std::printf("insert rate %-10s: cannot open: %s\n", name, error.c_str());
    return;
  }
  sync::Snapshot snap;
  snap.identity.serial = "BENCH" + std::to_string(getpid());
  snap.identity.firmware = "Ver 6.60";
  for (size_t i = 0; i < count; ++i) {
    sync::PunchRow p;
    p.user_id = std::to_string(1 + i % 500);
    char when[32];
    std::snprintf(when, sizeof when, "2024-%02zu-%02zu %02zu:%02zu:%02zu", 1 + i / 400000 % 12,
                  1 + i / 14400 % 28, i / 600 % 24, i / 10 % 60, i % 10);
    p.time = when;
    p.work_code = "0";
    snap.punches.push_back(std::move(p));
  }
  sync::StoreCounts counts;
  const auto start = std::chrono::steady_clock::now();
  const bool ok = sync::StoreSnapshot(*db, "bench", snap, "2024-01-01 00:00:00", &counts, &error);
  const double s = bench::MsSince(start) / 1000;
  std::printf("insert rate %-10s: %zu punches in %.2f s = %.0f punches/s (%lld new)%s%s\n", name,
              count, s, count / s, static_cast<long long>(counts.new_punches), ok ? "" : " FAILED ",
              ok ? "" : error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string pg_url;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--pg" && i + 1 < argc) {
      pg_url = argv[++i];
    } else {
      positional.push_back(a);
    }
  }
  const size_t terminals = positional.size() > 0 ? std::stoul(positional[0]) : 100;
  const size_t punches = positional.size() > 1 ? std::stoul(positional[1]) : 2000;
  const std::vector<int> jobs_list = ParseJobs(positional.size() > 2 ? positional[2] : "1,8,32");

  std::vector<std::unique_ptr<termsim::Simulator>> sims;
  std::vector<std::string> addresses;
  for (size_t i = 0; i < terminals; ++i) {
    auto sim = std::make_unique<termsim::Simulator>(termsim::Profile::Ver660());
    sim->SetOption("~SerialNumber", "BENCH" + std::to_string(10000 + i));
    sim->SetUsers(termsim::GenerateUsers(20, static_cast<uint32_t>(i + 1)));
    termsim::AttendanceGeneration g;
    g.users = 20;
    g.punches = static_cast<uint32_t>(punches);
    g.days = 60;
    g.seed = static_cast<uint32_t>(i + 1);
    sim->SetAttendanceLog(termsim::GenerateAttendance(g));
    termsim::OpLogGeneration o;
    o.count = 20;
    o.seed = static_cast<uint32_t>(i + 1);
    sim->SetOpLog(termsim::GenerateOpLog(o));
    if (!sim->StartUdp("127.0.0.1", 0)) {
      std::fprintf(stderr, "cannot start simulator %zu\n", i);
      return 1;
    }
    addresses.push_back("udp://127.0.0.1:" + std::to_string(sim->udp_port()));
    sims.push_back(std::move(sim));
  }
  std::printf("termctl sync: %zu terminals x %zu punches into SQLite, loopback UDP\n", terminals,
              punches);
  for (const int jobs : jobs_list) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("termkit_sync_bench_" + std::to_string(getpid()) + "_" +
                      std::to_string(jobs));
    std::filesystem::create_directories(dir);
    for (auto& sim : sims) sim->ClearReceived();
    const auto start = std::chrono::steady_clock::now();
    const int status = RunSync(addresses, "sqlite:" + (dir / "sync.db").string(), jobs);
    const double wall_ms = bench::MsSince(start);
    double floor_sum = 0;
    for (auto& sim : sims) floor_sum += bench::FloorMs(*sim, false);
    const double ideal = floor_sum / std::min<double>(jobs, terminals);
    std::printf(
        "  --jobs %-3d status %d  wall %8.2f s  %9.0f punches/s  floor sum %7.2f s, / jobs "
        "%7.2f s  wall / that %.2f\n",
        jobs, status, wall_ms / 1000, terminals * punches / (wall_ms / 1000), floor_sum / 1000,
        ideal / 1000, wall_ms / ideal);
    std::filesystem::remove_all(dir);
  }
  sims.clear();

  const auto dir = std::filesystem::temp_directory_path() /
                   ("termkit_sync_bench_" + std::to_string(getpid()) + "_insert");
  std::filesystem::create_directories(dir);
  InsertRate("sqlite", {termctl::sync::DbUrl::kSqlite, (dir / "insert.db").string()}, 200000);
  std::filesystem::remove_all(dir);
  if (!pg_url.empty()) {
    InsertRate("postgresql", {termctl::sync::DbUrl::kPostgres, pg_url}, 50000);
  } else {
    std::printf("insert rate postgresql: not measured (give --pg URL)\n");
  }
  return 0;
}
