// The terminal simulator: a terminal model behind a UDP endpoint, embeddable
// in tests and run as the `termsim` program.
//
// It plays the terminal's side of the command protocol: it assigns
// connection numbers, checks the comm password, keeps an option store and
// takes uploaded data. It records every packet it receives, so tests can
// assert what crossed the wire, and it injects faults on demand.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace termsim {

struct Profile {
  std::string firmware = "Ver 6.60 Oct 26 2009";  // answer to command 1100
  uint32_t comm_password = 0;                      // 0: no authentication
  std::map<std::string, std::string> options;      // option store (name -> value)
};

// A packet as the terminal received it.
struct ReceivedPacket {
  uint16_t code = 0;
  uint16_t checksum = 0;
  uint16_t connection_id = 0;
  uint16_t reply_counter = 0;
  bool checksum_ok = false;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;  // the whole datagram
};

// Faults applied to the terminal's replies. Counters count down as replies
// are affected; set them between exchanges.
struct Faults {
  int drop_replies = 0;        // swallow the next N replies
  int duplicate_replies = 0;   // send each of the next N replies twice
  int late_replies = 0;        // delay the next N replies by late_ms
  uint32_t late_ms = 0;
  int corrupt_replies = 0;     // next N replies carry a wrong checksum
  // A stale reply carries the sequence number 2 below the command's.
  int stale_replies = 0;       // next N replies carry an older sequence number
  int retry_replies = 0;       // answer the next N commands CMD_ACK_RETRY (not applied)
  bool silent = false;         // answer nothing at all
  double drop_ratio = 0.0;     // drop each reply with this probability
  uint32_t seed = 1;           // for drop_ratio
};

class Simulator {
 public:
  explicit Simulator(Profile profile = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Listens on address:port (port 0 picks a free port). False on failure.
  bool StartUdp(const std::string& address = "127.0.0.1", uint16_t port = 0);
  uint16_t udp_port() const;
  void Stop();

  void SetFaults(const Faults& faults);
  Faults faults() const;

  std::vector<ReceivedPacket> Received() const;
  size_t CountReceived(uint16_t code) const;
  size_t ReceivedCount() const;
  void ClearReceived();

  // Data stored by the last upload-taking command (110), and the
  // parameter block that came with it.
  std::vector<uint8_t> LastStoredUpload() const;
  std::vector<uint8_t> LastUploadParameters() const;

  std::string Option(const std::string& name) const;
  void SetOption(const std::string& name, const std::string& value);

  // False after CMD_DISABLEDEVICE, true again after CMD_ENABLEDEVICE.
  bool DeviceEnabled() const;
  // Conversations the terminal currently keeps (CMD_EXIT ends one).
  size_t SessionCount() const;

  // Sends a datagram as it is (e.g. an event packet, or garbage) to the
  // address the last packet came from. False when nothing has come yet.
  bool SendRaw(std::vector<uint8_t> datagram);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace termsim
