// The termsim program's command line, parsed into what the program sets up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "termsim/data_file.h"
#include "termsim/simulator.h"

namespace termsim_cli {

// Content the simulator takes once it exists, in the order of the flags.
struct ContentStep {
  enum class Kind { kDemo, kUsers, kLog, kData };
  Kind kind = Kind::kDemo;
  std::vector<termsim::User> users;  // kUsers
  std::string log_setting;           // kLog: checked when applied
  termsim::TerminalData data;        // kData
};

struct CommandLine {
  bool help = false;
  bool version = false;
  // UDP listens unless only --tcp or --usb was given.
  bool udp_given = false;
  std::string address = "127.0.0.1";
  uint16_t port = 4370;
  bool tcp = false;
  std::string tcp_address;
  uint16_t tcp_port = 0;
  std::string usb_dir;  // --usb: the drive directory served (empty: none)
  termsim::Profile profile;
  std::string search_address;  // empty: the --udp address
  bool search = true;
  // A user punches every this many ms (0: nobody does); --demo sets 3000.
  uint32_t punch_every_ms = 0;
  std::vector<ContentStep> content;
  termsim::Faults faults;
  termsim::StreamFaults stream_faults;
  termsim::UsbFaults usb_faults;
  termsim::BulkFaults bulk_faults;

  bool udp() const { return udp_given || (!tcp && usb_dir.empty()); }
};

// False with a message for the user in `error` (the program then exits 2).
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* line, std::string* error);

// Applies one --fault NAME[=VALUE] switch: a reply fault, for the names
// starting "tcp_" a fault of the TCP stream, for those starting "usb_" one
// of the drive file, or a fault of bulk transfers. False with a reason in
// `error`.
bool ApplyFaultSwitch(const std::string& text, termsim::Faults* faults,
                      termsim::StreamFaults* stream_faults, termsim::UsbFaults* usb_faults,
                      termsim::BulkFaults* bulk_faults, std::string* error);

}  // namespace termsim_cli
