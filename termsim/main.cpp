// The terminal simulator program: one simulated terminal on a UDP port,
// until interrupted.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/tick.h"
#include "termsim/simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void Usage(std::FILE* out) {
  std::fputs(
      "usage: termsim [--udp ADDR:PORT] [--password N] [--firmware TEXT] [--help]\n"
      "  --udp ADDR:PORT   where to listen (default 127.0.0.1:4370; port 0 picks one)\n"
      "  --password N      comm password the terminal demands (default none)\n"
      "  --firmware TEXT   firmware version text (default \"Ver 6.60 Oct 26 2009\")\n",
      out);
}

// Parses a whole decimal number within [0, max].
bool ParseNumber(const char* text, unsigned long max, unsigned long* out) {
  if (text == nullptr || *text == '\0' || *text == '-' || *text == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *out = v;
  return true;
}

bool ParseUdp(const std::string& text, std::string* address, uint16_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  unsigned long p = 0;
  if (!ParseNumber(text.c_str() + colon + 1, 65535, &p)) return false;
  *address = text.substr(0, colon);
  *port = static_cast<uint16_t>(p);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  uint16_t port = 4370;
  termsim::Profile profile;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--udp" && value != nullptr) {
      if (!ParseUdp(value, &address, &port)) {
        std::fprintf(stderr, "termsim: bad --udp value \"%s\" (want ADDR:PORT)\n", value);
        return 2;
      }
      ++i;
    } else if (arg == "--password" && value != nullptr) {
      unsigned long password = 0;
      if (!ParseNumber(value, 0xFFFFFFFFul, &password)) {
        std::fprintf(stderr, "termsim: bad --password value \"%s\"\n", value);
        return 2;
      }
      profile.comm_password = static_cast<uint32_t>(password);
      ++i;
    } else if (arg == "--firmware" && value != nullptr) {
      profile.firmware = value;
      ++i;
    } else {
      std::fprintf(stderr, "termsim: unknown or incomplete argument \"%s\"\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  termsim::Simulator sim(profile);
  if (!sim.StartUdp(address, port)) {
    std::fprintf(stderr, "termsim: cannot listen on udp %s:%u\n", address.c_str(),
                 static_cast<unsigned>(port));
    return 1;
  }
  std::printf("termsim: listening on udp %s:%u\n", address.c_str(),
              static_cast<unsigned>(sim.udp_port()));
  std::fflush(stdout);

  while (!g_stop) platform::SleepMs(100);
  sim.Stop();
  return 0;
}
