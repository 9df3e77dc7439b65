// The terminal's faces and validity periods (termsim/access.h): per user,
// named by ID text in the requests. Faces are read as a streamed data set
// that the bulk side serves. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "bulk/terminal.h"
#include "bulk/upload_buffer.h"
#include "commands/reply.h"
#include "termsim/access.h"
#include "wire/packet.h"

namespace termsim {

class FaceCommands {
 public:
  // True when `reply` holds the answer; false when the command is none of
  // these, or when a read's data set was handed to `bulk`. `text_pin` is
  // the PIN of the user named by the request's ID text (nullopt: none),
  // asked of the user table before this lock is taken.
  bool Answer(uint16_t code, std::span<const uint8_t> data, std::optional<uint16_t> text_pin,
              const UploadBuffer& upload, BulkTerminal& bulk, Reply& reply);
  // The commands whose requests lead with an ID text.
  static bool NamesUser(uint16_t code);

  void SetFaces(std::vector<Face> faces);
  std::vector<Face> Faces() const;
  void SetValidityPeriods(std::map<uint16_t, ValidityPeriod> periods);
  std::map<uint16_t, ValidityPeriod> ValidityPeriods() const;

  // A user was deleted: its faces and validity period go too.
  void UserRemoved(uint16_t pin);

 private:
  bool Read(std::span<const uint8_t> data, std::optional<uint16_t> pin, BulkTerminal& bulk,
            Reply& reply);
  void Write(std::span<const uint8_t> data, std::optional<uint16_t> pin,
             const UploadBuffer& upload, Reply& reply);
  void Delete(std::span<const uint8_t> data, std::optional<uint16_t> pin, Reply& reply);
  void GetValidity(std::span<const uint8_t> data, std::optional<uint16_t> pin,
                   Reply& reply) const;
  void SetValidity(std::span<const uint8_t> data, std::optional<uint16_t> pin, Reply& reply);

  mutable std::mutex mu_;
  std::map<std::pair<uint16_t, uint8_t>, std::vector<uint8_t>> faces_;  // by PIN and index
  std::map<uint16_t, ValidityPeriod> validity_;
};

}  // namespace termsim
