// Event latency: from the simulator pushing an event to the host's callback
// running, over the UDP plug-in on loopback. Measured while the host is idle
// and while another thread runs commands back to back; prints the median and
// the 99th percentile over 1,000 events each. Then the round trip of a
// command sent after a pause, when the reader thread sits in an idle read
// that the command must take it out of.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEvents = 1000;
constexpr int32_t kCommandTimeoutMs = 1000;
constexpr auto kEventWait = std::chrono::seconds(5);

// Hands the arrival time of each event to the measuring thread.
struct Arrivals {
  std::mutex mu;
  std::condition_variable arrived;
  int count = 0;
  Clock::time_point last;

  static void Callback(void* context, uint16_t, int32_t, const uint8_t*) {
    auto& self = *static_cast<Arrivals*>(context);
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(self.mu);
    ++self.count;
    self.last = now;
    self.arrived.notify_all();
  }
};

struct Figures {
  double seconds = 0;  // the whole run of 1,000 events
  double median_ms = 0;
  double p99_ms = 0;
  double max_ms = 0;
  int lost = 0;
};

Figures Summarise(std::vector<double> latencies, int lost) {
  Figures f;
  f.lost = lost;
  if (latencies.empty()) return f;
  std::sort(latencies.begin(), latencies.end());
  f.median_ms = latencies[latencies.size() / 2];
  f.p99_ms = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
  f.max_ms = latencies.back();
  return f;
}

// Pushes events one at a time and times each until its callback has run.
Figures Measure(termsim::Simulator& sim, Arrivals& arrivals) {
  std::vector<double> latencies;
  latencies.reserve(kEvents);
  int lost = 0;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kEvents; ++i) {
    std::unique_lock lock(arrivals.mu);
    const int before = arrivals.count;
    lock.unlock();
    const Clock::time_point pushed = Clock::now();
    sim.PushEvent(termsim::kEventVerification, {static_cast<uint8_t>(i), 0, 0, 0});
    lock.lock();
    if (!arrivals.arrived.wait_for(lock, kEventWait, [&] { return arrivals.count > before; })) {
      ++lost;
      continue;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(arrivals.last - pushed).count());
  }
  Figures f = Summarise(std::move(latencies), lost);
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return f;
}

// Round trips of single commands, each after `pause`.
Figures CommandsAfterIdle(DEVWIRE_HANDLE h, int count, std::chrono::milliseconds pause) {
  std::vector<double> round_trips;
  int failed = 0;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(pause);
    uint16_t code = wire::CMD_ENABLEDEVICE;
    const Clock::time_point sent = Clock::now();
    DEVWIRE_SENDCMD(h, &code, nullptr, 0, 0, kCommandTimeoutMs);
    if (code != wire::CMD_ACK_OK) {
      ++failed;
      continue;
    }
    round_trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
  }
  Figures f = Summarise(std::move(round_trips), failed);
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return f;
}

void Print(const char* what, const Figures& f, int commands) {
  std::printf("%-24s median %7.3f ms   p99 %7.3f ms   max %7.3f ms   lost %d   (%.2f s)", what,
              f.median_ms, f.p99_ms, f.max_ms, f.lost, f.seconds);
  if (commands >= 0) std::printf("   %d commands, %.0f/s", commands, commands / f.seconds);
  std::printf("\n");
}

}  // namespace

int main() {
  termsim::Simulator sim;
  if (!sim.StartUdp("127.0.0.1", 0)) {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  Arrivals arrivals;
  DEVWIRE_HANDLE h = DEVWIRE_INIT("comms.dll", "127.0.0.1", sim.udp_port(), 0, Arrivals::Callback,
                                  &arrivals, 0, nullptr);
  if (h == nullptr) {
    std::fprintf(stderr, "connect failed: %d\n", DEVWIRE_LASTERROR(nullptr));
    return 1;
  }
  std::array<uint8_t, 4> mask{};
  wire::ByteWriter(mask).U32(0xFFFFFFFF);
  uint16_t code = wire::kEventPacket;
  DEVWIRE_SENDCMD(h, &code, mask.data(), 4, 4, kCommandTimeoutMs);
  if (code != wire::CMD_ACK_OK) {
    std::fprintf(stderr, "event registration failed: %u\n", code);
    return 1;
  }

  std::printf("event latency, simulator push to callback, %d events each\n", kEvents);
  Print("host idle", Measure(sim, arrivals), -1);

  std::atomic<bool> stop{false};
  std::atomic<int> commands{0};
  std::thread busy([&] {
    while (!stop) {
      uint16_t c = wire::CMD_ENABLEDEVICE;
      DEVWIRE_SENDCMD(h, &c, nullptr, 0, 0, kCommandTimeoutMs);
      if (c == wire::CMD_ACK_OK) ++commands;
    }
  });
  const Figures busy_figures = Measure(sim, arrivals);
  stop = true;
  busy.join();
  Print("commands back to back", busy_figures, commands.load());

  std::printf("command round trip after 250 ms idle, 40 commands\n");
  Print("command after idle", CommandsAfterIdle(h, 40, std::chrono::milliseconds(250)), -1);

  DEVWIRE_CLOSE(h);
  return 0;
}
