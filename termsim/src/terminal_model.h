// The terminal's side of the command protocol: sessions, the comm
// password, options, device state and uploaded data. Thread-safe: the
// receive loop calls Handle while tests look at the state.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "option_store.h"
#include "platform/socket.h"
#include "reply.h"
#include "session_table.h"
#include "termsim/simulator.h"
#include "wire/packet.h"

namespace termsim {

class TerminalModel {
 public:
  explicit TerminalModel(const Profile& profile);

  // The answer to a command packet (checksum already verified) from
  // `client`. A command repeated with the sequence number just answered in
  // its session gets that answer again without being carried out twice.
  Reply Handle(const wire::PacketView& request, const platform::net::SockAddrV4& client);

  std::string Option(const std::string& name) const;
  void SetOption(const std::string& name, const std::string& value);
  std::vector<uint8_t> LastStoredUpload() const;
  std::vector<uint8_t> LastUploadParameters() const;
  bool DeviceEnabled() const;
  size_t SessionCount() const;

 private:
  Reply Connect(const wire::PacketView& request, const platform::net::SockAddrV4& client);
  // Fills code and payload of the answer to one command of `session`.
  void Execute(Session& session, const wire::PacketView& request, Reply& reply);
  void Authenticate(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void ReadOption(std::span<const uint8_t> payload, Reply& reply) const;
  void WriteOption(std::span<const uint8_t> payload, Reply& reply);
  void PrepareUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);
  void TakeUpload(Session& session, std::span<const uint8_t> payload, Reply& reply);

  mutable std::mutex mu_;
  const std::string firmware_;
  const uint32_t comm_password_;
  OptionStore options_;
  SessionTable sessions_;
  bool device_enabled_ = true;
  std::vector<uint8_t> stored_upload_;
  std::vector<uint8_t> upload_parameters_;
};

}  // namespace termsim
