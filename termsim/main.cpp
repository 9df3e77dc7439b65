// The terminal simulator program: one simulated terminal on a UDP port,
// until interrupted.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/tick.h"
#include "termsim/simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void Usage(std::FILE* out) {
  std::fputs(
      "usage: termsim [--udp ADDR:PORT] [--profile NAME|FILE] [--option NAME=VALUE]\n"
      "               [--set KEY=VALUE] [--password N] [--firmware TEXT]\n"
      "               [--search ADDR | --no-search] [--log KEY=VALUE] [--help]\n"
      "  --udp ADDR:PORT     where to listen (default 127.0.0.1:4370; port 0 picks one)\n"
      "  --profile NAME|FILE a built-in terminal (old, ver660, tft) or a profile file\n"
      "  --option NAME=VALUE sets one of the terminal's options (\"~Platform=ZEM560_TFT\")\n"
      "  --set KEY=VALUE     one profile setting, as in a profile file (\"pin_width=9\")\n"
      "  --password N        comm password the terminal demands (default none)\n"
      "  --firmware TEXT     firmware version text (default \"Ver 6.60 Oct 26 2009\")\n"
      "  --search ADDR       answer device searches on ADDR:65535 (default: the --udp address)\n"
      "  --no-search         do not answer device searches\n"
      "  --log KEY=VALUE     the terminal's logs: file=PATH, generate=USERS,PUNCHES,DAYS,SEED,\n"
      "                      generate_oplog=COUNT,DAYS,SEED, attlog_layout=NAME, oplog_layout=NAME\n"
      "  --users COUNT,SEED  a user table of COUNT generated users (the same SEED, the same users)\n"
      "  --users-file PATH   the user table from a file (one user per line, see README)\n"
      "Flags apply in the order given; a --profile replaces what came before it.\n",
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
  std::string search_address;
  bool search = true;
  std::vector<std::string> log_settings;  // applied once the simulator exists
  std::optional<std::vector<termsim::User>> users;

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
    } else if (arg == "--profile" && value != nullptr) {
      std::string error;
      if (!termsim::ProfileByName(value, &profile, &error)) {
        std::fprintf(stderr, "termsim: bad --profile: %s\n", error.c_str());
        return 2;
      }
      ++i;
    } else if ((arg == "--option" || arg == "--set") && value != nullptr) {
      const std::string setting = arg == "--option" ? std::string("option.") + value : value;
      std::string error;
      if (!termsim::ApplyProfileSetting(setting, &profile, &error)) {
        std::fprintf(stderr, "termsim: bad %s: %s\n", arg.c_str(), error.c_str());
        return 2;
      }
      ++i;
    } else if (arg == "--search" && value != nullptr) {
      search_address = value;
      search = true;
      ++i;
    } else if (arg == "--log" && value != nullptr) {
      log_settings.push_back(value);
      ++i;
    } else if (arg == "--users" && value != nullptr) {
      const char* comma = std::strchr(value, ',');
      unsigned long count = 0, seed = 0;
      if (comma == nullptr || !ParseNumber(std::string(value, comma).c_str(), 65534, &count) ||
          !ParseNumber(comma + 1, 0xFFFFFFFFul, &seed)) {
        std::fprintf(stderr, "termsim: bad --users value \"%s\" (want COUNT,SEED)\n", value);
        return 2;
      }
      users = termsim::GenerateUsers(count, static_cast<uint32_t>(seed));
      ++i;
    } else if (arg == "--users-file" && value != nullptr) {
      std::vector<termsim::User> loaded;
      std::string error;
      if (!termsim::LoadUsers(value, &loaded, &error)) {
        std::fprintf(stderr, "termsim: bad --users-file: %s\n", error.c_str());
        return 2;
      }
      users = std::move(loaded);
      ++i;
    } else if (arg == "--no-search") {
      search = false;
    } else {
      std::fprintf(stderr, "termsim: unknown or incomplete argument \"%s\"\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  termsim::Simulator sim(profile);
  if (users) sim.SetUsers(std::move(*users));
  for (const std::string& setting : log_settings) {
    std::string error;
    if (!termsim::ApplyLogSetting(setting, sim, &error)) {
      std::fprintf(stderr, "termsim: bad --log: %s\n", error.c_str());
      return 2;
    }
  }
  if (!sim.StartUdp(address, port)) {
    std::fprintf(stderr, "termsim: cannot listen on udp %s:%u\n", address.c_str(),
                 static_cast<unsigned>(port));
    return 1;
  }
  std::printf("termsim: listening on udp %s:%u\n", address.c_str(),
              static_cast<unsigned>(sim.udp_port()));
  if (search) {
    const std::string where = search_address.empty() ? address : search_address;
    // Searches are a side line: a terminal that cannot hear them still works.
    if (sim.StartSearchResponder(where)) {
      std::printf("termsim: answering searches on udp %s:%u\n", where.c_str(),
                  static_cast<unsigned>(termsim::kSearchPort));
    } else {
      std::fprintf(stderr, "termsim: cannot answer searches on udp %s:%u\n", where.c_str(),
                   static_cast<unsigned>(termsim::kSearchPort));
    }
  }
  std::fflush(stdout);

  while (!g_stop) platform::SleepMs(100);
  sim.Stop();
  return 0;
}
