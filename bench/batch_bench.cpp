// Batch update over loopback UDP against the terminal simulator ("ver660"):
// N users (10,000 unless the command line says otherwise) with one
// version-9 template of about 500 bytes each, written (a) call by call,
// Q_SetUserInfo and Q_SetUserTmp per user, and (b) with the same calls
// inside one batch, then Q_BatchUpdate. Beside each stand the packets the
// terminal received, the floor of the protocol's fixed waits (protocol_floor.h:
// 10 ms after every datagram over 10 bytes), and wall time over that floor.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "devapi.h"
#include "protocol_floor.h"
#include "sim_connect.h"
#include "template_samples.h"
#include "termsim/simulator.h"

namespace {

using bench::MsSince;
using Bytes = std::vector<uint8_t>;

// About 500 bytes: 99 minutiae of 5 bytes and a 5-byte head.
Bytes Template(int seed) {
  auto m = templates::testing::SpreadMinutiae(99);
  for (auto& p : m) p.direction = (p.direction + seed * 13) % 240;
  return templates::testing::CompactTemplate(40 + seed % 50, m, {}, {});
}

struct Run {
  double wall_ms = 0;
  double floor_ms = 0;
  size_t packets = 0;
  double append_ms = 0;  // (b): the collecting calls alone
  size_t users = 0, templates = 0;
};

bool WriteUser(DEVAPI_HANDLE h, int32_t n, const Bytes& tmpl) {
  static const uint8_t kCard[5] = {};
  return Q_SetUserInfo(h, n, "Bench", 0, 1, "1", kCard, n, 1, nullptr) == 1 &&
         Q_SetUserTmp(h, n, 0, tmpl.data()) == 1;
}

Run Write(int32_t users, const std::vector<Bytes>& templates, bool batched) {
  Run run;
  termsim::Simulator sim(termsim::Profile::Ver660());
  DEVAPI_HANDLE h = bench::ConnectToSimulator(sim, false, true);
  if (h == nullptr) return run;
  sim.ClearReceived();
  const auto start = std::chrono::steady_clock::now();
  bool ok = !batched || Q_BeginBatchUpdate(h, 0) == 1;
  const auto appending = std::chrono::steady_clock::now();
  for (int32_t n = 1; ok && n <= users; ++n) {
    ok = WriteUser(h, n, templates[static_cast<size_t>(n) % templates.size()]);
  }
  run.append_ms = MsSince(appending);
  if (ok && batched) ok = Q_BatchUpdate(h) == 1;
  run.wall_ms = MsSince(start);
  if (!ok) std::printf("a call failed\n");
  run.floor_ms = bench::FloorMs(sim, false);
  run.packets = sim.ReceivedCount();
  run.users = sim.Users().size();
  run.templates = sim.Templates().size();
  Q_Close(h);
  return run;
}

void Print(const char* name, const Run& r) {
  std::printf("%-22s wall %9.1f ms  packets %6zu  fixed waits %9.1f ms  wall/floor %.2f  "
              "(terminal: %zu users, %zu templates)\n",
              name, r.wall_ms, r.packets, r.floor_ms, r.floor_ms > 0 ? r.wall_ms / r.floor_ms : 0.0,
              r.users, r.templates);
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t users = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (users < 1 || users > 65534) {
    std::printf("usage: batch_bench [users 1-65534]\n");
    return 2;
  }
  std::vector<Bytes> templates;
  for (int seed = 0; seed < 16; ++seed) templates.push_back(Template(seed));
  std::printf("%d users, one %zu-byte version-9 template each, loopback UDP, ver660\n", users,
              templates[0].size());
  const Run direct = Write(users, templates, false);
  Print("(a) call by call", direct);
  const Run batch = Write(users, templates, true);
  Print("(b) one batch", batch);
  std::printf("speed-up (a)/(b) %.1f; %.0f ns per collecting call (%d calls)\n",
              batch.wall_ms > 0 ? direct.wall_ms / batch.wall_ms : 0.0,
              batch.append_ms * 1e6 / (2.0 * users), 2 * users);
  return 0;
}
