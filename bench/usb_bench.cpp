// USB round trips against the polling floor: termsim serving a drive
// directory, the engine over the usblink plug-in, with the file accessed
// directly and through the buffered fallback. Each exchange cannot take less
// than the 10 ms pause after the write plus the 30 ms before the first poll,
// plus the 50 ms pause before a synchronous read; the ratio is the time
// taken over that floor (1.0 would be no cost beyond the waits).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "devwire.h"
#include "termsim/simulator.h"
#include "wire/codes.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPaceMs = 10;       // after each write
constexpr double kFirstPollMs = 30;  // before a read first looks
constexpr double kSyncPauseMs = 50;  // before a synchronous read
constexpr int kRoundTrips = 40;
constexpr uint16_t kGetTime = 201;

void IgnoreEvent(void*, uint16_t, int32_t, const uint8_t*) {}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct UsbLink {
  std::filesystem::path dir;
  termsim::Simulator sim;
  DEVWIRE_HANDLE handle = nullptr;

  bool Open(bool buffered, bool reader, int n) {
    dir = std::filesystem::temp_directory_path() /
          ("termkit_usb_bench_" + std::to_string(::getpid()) + "_" + std::to_string(n));
    std::filesystem::create_directories(dir);
    if (!sim.StartUsb(dir.string())) return false;
    ::setenv("TERMKIT_USB_ROOTS", dir.c_str(), 1);
    if (buffered) {
      ::setenv("TERMKIT_USB_IO", "buffered", 1);
    } else {
      ::unsetenv("TERMKIT_USB_IO");
    }
    handle = DEVWIRE_INIT("usblink.dll", "", 1, 0, reader ? IgnoreEvent : nullptr, nullptr, 0,
                          nullptr);
    sim.ClearReceived();
    return handle != nullptr;
  }
  ~UsbLink() {
    if (handle != nullptr) DEVWIRE_CLOSE(handle);
    sim.Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  double FloorMs(bool reader) const {
    return static_cast<double>(sim.ReceivedCount()) *
           (kPaceMs + kFirstPollMs + (reader ? 0 : kSyncPauseMs));
  }
};

void Report(const char* what, const char* io, const char* mode, double ms, double floor,
            int count) {
  std::printf("%-22s %-9s %-8s %9.1f ms  floor %9.1f ms  per exchange %6.1f ms  ratio %.2f\n", what,
              io, mode, ms, floor, ms / count, floor > 0 ? ms / floor : 0.0);
}

}  // namespace

int main() {
  std::printf("termsim looks at its drive file every %u ms; the host polls every %.0f ms\n",
              termsim::kUsbPollMs, kFirstPollMs);
  int n = 0;
  for (const bool buffered : {false, true}) {
    const char* io = buffered ? "fallback" : "direct";
    for (const bool reader : {true, false}) {
      const char* mode = reader ? "reader" : "sync";
      {
        UsbLink link;
        if (!link.Open(buffered, reader, ++n)) {
          std::printf("%s %s: no connection\n", io, mode);
          return 1;
        }
        std::vector<uint8_t> reply(16);
        const auto start = Clock::now();
        for (int i = 0; i < kRoundTrips; ++i) {
          uint16_t code = kGetTime;
          DEVWIRE_SENDCMD(link.handle, &code, reply.data(), static_cast<int32_t>(reply.size()), 0,
                          2000);
          if (code != wire::CMD_ACK_OK) std::printf("round trip %d failed (%u)\n", i, code);
        }
        Report("round trip", io, mode, MsSince(start), link.FloorMs(reader),
               static_cast<int>(link.sim.ReceivedCount()));
      }
      {
        UsbLink link;
        if (!link.Open(buffered, reader, ++n)) return 1;
        std::mt19937 rng(3);
        std::vector<uint8_t> data(65536);
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        link.sim.SetDataSet(wire::CMD_DB_RRQ, {}, data);
        std::vector<uint8_t> buffer(data.size() + 16);
        uint16_t code = wire::CMD_DB_RRQ;
        const auto start = Clock::now();
        const int32_t got = DEVWIRE_READDATA(link.handle, &code, buffer.data(),
                                             static_cast<int32_t>(buffer.size()), 0, 1024, 4000);
        const double ms = MsSince(start);
        if (got != 65536) std::printf("64 KiB read failed (%d)\n", got);
        Report("64 KiB buffered read", io, mode, ms, link.FloorMs(reader),
               static_cast<int>(link.sim.ReceivedCount()));
      }
    }
  }
  return 0;
}
