// The user table over loopback UDP against the terminal simulator: 10,000
// users downloaded (plain and LZO1X-compressed, with the engine's reader
// thread and reading for itself), then iterated and looked up. Beside each
// download stand the floor that the protocol's fixed waits impose on it,
// counted from what the terminal received (a 50 ms pause before each
// synchronous read and a 10 ms pause after each datagram of more than 10
// bytes), and the measured time over that floor. Beside a reader thread the
// bulk exchanges still wait for their replies in ways that vary from run to
// run, so only the send pauses are counted there (a lower bound).
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_connect.h"
#include "termsim/simulator.h"

namespace {

constexpr size_t kUsers = 10000;
using bench::FloorMs;
using bench::MsSince;

void Download(const std::vector<termsim::User>& users, bool compress, bool reader_thread) {
  termsim::Simulator sim(termsim::Profile::Ver660());
  sim.SetUsers(users);
  DEVAPI_HANDLE h = bench::ConnectToSimulator(sim, compress, reader_thread);
  if (h == nullptr) return;
  auto& session = *static_cast<devapi::DeviceSession*>(h);
  sim.ClearReceived();
  const auto start = std::chrono::steady_clock::now();
  const int32_t loaded = Q_ReadUserInfo(h);
  const double total = MsSince(start);
  const double floor = FloorMs(sim, !reader_thread);
  std::printf(
      "download %5zu users %-5s %-13s  result %d  %8.1f ms  packets %4zu  fixed waits %s%7.1f "
      "ms  ratio %.2f\n",
      users.size(), compress ? "lzo" : "plain", reader_thread ? "reader thread" : "own reads",
      loaded, total, sim.ReceivedCount(), reader_thread ? ">=" : "  ", floor,
      floor > 0 ? total / floor : 0.0);

  if (compress || !reader_thread) {
    Q_Close(h);
    return;
  }
  // Iteration: every user, several passes, the cursor set back between them.
  constexpr int kPasses = 50;
  int32_t pin = 0, privilege = 0, enabled = 0, pin2 = 0, group = 0;
  char name[9], password[6];
  uint8_t card[5];
  int32_t zones[4];
  size_t calls = 0;
  const auto iterate = std::chrono::steady_clock::now();
  for (int pass = 0; pass < kPasses; ++pass) {
    session.user_cursor = 4;
    while (Q_GetUserInfo(h, &pin, name, &privilege, &enabled, password, card, &pin2, &group,
                         zones) == 1) {
      ++calls;
    }
  }
  const double iterate_ms = MsSince(iterate);
  std::printf("iterate  %zu Q_GetUserInfo calls: %.1f ns per call\n", calls,
              iterate_ms * 1e6 / static_cast<double>(calls));

  // Lookups are linear scans of the cached table.
  std::mt19937 rng(5);
  constexpr int kLookups = 2000;
  int found = 0;
  const auto lookups = std::chrono::steady_clock::now();
  for (int i = 0; i < kLookups; ++i) {
    found += Q_QueryUserByPIN2(h, static_cast<int32_t>(users[rng() % users.size()].pin2)) > 0;
  }
  const double lookup_ms = MsSince(lookups);
  std::printf("lookup   %d Q_QueryUserByPIN2 calls (%d found): %.1f us per call\n", kLookups, found,
              lookup_ms * 1e3 / kLookups);
  Q_Close(h);
}

}  // namespace

int main() {
  const auto users = termsim::GenerateUsers(kUsers, 2024);
  Download(users, false, true);
  Download(users, true, true);
  Download(users, false, false);
  Download(users, true, false);
  return 0;
}
