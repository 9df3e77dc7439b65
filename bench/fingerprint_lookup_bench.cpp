// Fingerprint template lookups in a downloaded view: 20,000 users with two
// templates each (about 21 MB) downloaded piecewise over loopback UDP from
// the terminal simulator, then Q_QueryUserTempEx through the quick index and
// through a walk of the records, the way the view is searched when the
// index does not match it. Prints the download time and the cost per lookup.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "devapi.h"
#include "sim_connect.h"
#include "session/device_session.h"
#include "termsim/simulator.h"

namespace {

constexpr uint16_t kUsers = 20000;
constexpr uint8_t kFingers = 2;
constexpr size_t kTemplateBytes = 512;

std::vector<termsim::FingerTemplate> MakeTemplates() {
  std::mt19937 rng(7);
  std::vector<termsim::FingerTemplate> out;
  for (uint16_t pin = 1; pin <= kUsers; ++pin) {
    for (uint8_t finger = 0; finger < kFingers; ++finger) {
      termsim::FingerTemplate t;
      t.pin = pin;
      t.finger = finger;
      t.bytes.resize(kTemplateBytes);
      for (auto& b : t.bytes) b = static_cast<uint8_t>(rng());
      out.push_back(std::move(t));
    }
  }
  return out;
}

// Average microseconds per lookup of `count` random users; false when a
// lookup misses.
bool TimeLookups(DEVAPI_HANDLE handle, int count, double* us_per_lookup) {
  std::mt19937 rng(11);
  std::vector<uint8_t> buffer(4096);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    const std::string user = std::to_string(1 + rng() % kUsers);
    int32_t flag = 0;
    int32_t length = static_cast<int32_t>(buffer.size());
    if (Q_QueryUserTempEx(handle, user.c_str(), static_cast<int32_t>(rng() % kFingers), &flag,
                          buffer.data(), &length) != 1 ||
        length != static_cast<int32_t>(kTemplateBytes)) {
      return false;
    }
  }
  *us_per_lookup = bench::MsSince(start) * 1000.0 / count;
  return true;
}

}  // namespace

int main() {
  termsim::Profile profile = termsim::Profile::Ver660();
  profile.options.erase("~QXFPVersion");
  profile.piecewise_templates = true;
  termsim::Simulator sim(profile);
  sim.SetTemplates(MakeTemplates());
  if (!sim.StartUdp("127.0.0.1", 0)) {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  DEVAPI_HANDLE handle =
      Q_Connect_NET("127.0.0.1", sim.udp_port(), &bench::IgnoreEvent, nullptr, 0);
  if (handle == nullptr) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  auto& session = *static_cast<devapi::DeviceSession*>(handle);

  auto start = std::chrono::steady_clock::now();
  const int32_t loaded = Q_ReadTempData(handle);
  const double download_ms = bench::MsSince(start);
  if (loaded != 1 || session.quick_tmpl_state != 1) {
    std::fprintf(stderr, "Q_ReadTempData gave %d (quick state %d)\n", loaded,
                 session.quick_tmpl_state);
    return 1;
  }
  std::printf("download: %u templates, %.1f MB piecewise in %.0f ms (%.1f MB/s)\n",
              unsigned{kUsers} * kFingers, session.tmpl_len / 1e6, download_ms,
              session.tmpl_len / 1e3 / download_ms);

  start = std::chrono::steady_clock::now();
  InitQuickUserTempEx(handle);
  std::printf("quick index build: %.1f ms\n", bench::MsSince(start));

  double quick_us = 0, walk_us = 0;
  if (!TimeLookups(handle, 200000, &quick_us)) {
    std::fprintf(stderr, "a quick lookup missed\n");
    return 1;
  }
  session.quick_tmpl_state = 0;  // the index no longer vouches for the view
  if (!TimeLookups(handle, 500, &walk_us)) {
    std::fprintf(stderr, "a walked lookup missed\n");
    return 1;
  }
  std::printf("Q_QueryUserTempEx: quick index %.3f us per lookup, record walk %.1f us (%.0fx)\n",
              quick_us, walk_us, walk_us / quick_us);
  Q_Close(handle);
  return 0;
}
