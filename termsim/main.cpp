// The terminal simulator program: one simulated terminal on a UDP port, a
// TCP port or both, until interrupted.
#include <csignal>
#include <cstdio>
#include <string>

#include "cli_help.h"
#include "cli_options.h"
#include "platform/tick.h"
#include "termkit_config.h"
#include "termsim/demo_data.h"
#include "termsim/live_punches.h"
#include "termsim/simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

// Loads the users, logs and data files the flags named, in their order.
bool LoadContent(const termsim_cli::CommandLine& line, termsim::Simulator& sim,
                 std::string* error) {
  using Kind = termsim_cli::ContentStep::Kind;
  for (const termsim_cli::ContentStep& step : line.content) {
    switch (step.kind) {
      case Kind::kDemo:
        termsim::LoadDemoData(sim);
        break;
      case Kind::kUsers:
        sim.SetUsers(step.users);
        break;
      case Kind::kLog:
        if (!termsim::ApplyLogSetting(step.log_setting, sim, error)) {
          *error = "bad --log: " + *error;
          return false;
        }
        break;
      case Kind::kData:
        termsim::ApplyData(step.data, sim);
        break;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  termsim_cli::CommandLine line;
  std::string error;
  if (!termsim_cli::ParseCommandLine(argc, argv, &line, &error)) {
    std::fprintf(stderr, "termsim: %s\n(termsim --help lists the options)\n", error.c_str());
    return 2;
  }
  if (line.help) {
    std::fputs(termsim_cli::HelpText(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("termsim %s\n", TERMKIT_VERSION);
    return 0;
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  termsim::Simulator sim(line.profile);
  if (!LoadContent(line, sim, &error)) {
    std::fprintf(stderr, "termsim: %s\n", error.c_str());
    return 2;
  }
  sim.SetFaults(line.faults);
  sim.SetStreamFaults(line.stream_faults);
  sim.SetUsbFaults(line.usb_faults);
  sim.SetBulkFaults(line.bulk_faults);
  if (line.udp()) {
    if (!sim.StartUdp(line.address, line.port)) {
      std::fprintf(stderr, "termsim: cannot listen on udp %s:%u\n", line.address.c_str(),
                   static_cast<unsigned>(line.port));
      return 1;
    }
    std::printf("termsim: listening on udp %s:%u\n", line.address.c_str(),
                static_cast<unsigned>(sim.udp_port()));
  }
  if (line.tcp) {
    if (!sim.StartTcp(line.tcp_address, line.tcp_port)) {
      std::fprintf(stderr, "termsim: cannot listen on tcp %s:%u\n", line.tcp_address.c_str(),
                   static_cast<unsigned>(line.tcp_port));
      return 1;
    }
    std::printf("termsim: listening on tcp %s:%u\n", line.tcp_address.c_str(),
                static_cast<unsigned>(sim.tcp_port()));
  }
  if (!line.usb_dir.empty()) {
    if (!sim.StartUsb(line.usb_dir)) {
      std::fprintf(stderr, "termsim: cannot serve usb %s/dummy\n", line.usb_dir.c_str());
      return 1;
    }
    std::printf("termsim: serving usb %s\n", sim.usb_file().c_str());
  }
  // A terminal on USB alone is not on the network: it answers no searches.
  if (line.search && (line.udp() || line.tcp)) {
    const std::string& listening = line.udp() ? line.address : line.tcp_address;
    const std::string where = line.search_address.empty() ? listening : line.search_address;
    // Searches are a side line: a terminal that cannot hear them still works.
    if (sim.StartSearchResponder(where)) {
      std::printf("termsim: answering searches on udp %s:%u\n", where.c_str(),
                  static_cast<unsigned>(termsim::kSearchPort));
    } else {
      std::fprintf(stderr, "termsim: cannot answer searches on udp %s:%u\n", where.c_str(),
                   static_cast<unsigned>(termsim::kSearchPort));
    }
  }
  termsim::LivePunches punches;
  if (line.punch_every_ms > 0 && !punches.Start(sim, line.punch_every_ms)) {
    std::fprintf(stderr, "termsim: --punch-every: the terminal has no users to punch\n");
  }
  std::fflush(stdout);

  while (!g_stop) platform::SleepMs(100);
  punches.Stop();
  sim.Stop();
  return 0;
}
