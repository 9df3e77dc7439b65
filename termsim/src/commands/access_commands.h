// The terminal's access-control data (termsim/access.h): weekly time
// zones, group time zones, holidays, unlock groups and lock combinations,
// short messages and their user links, Mifare card writes. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>

#include "bulk/upload_buffer.h"
#include "commands/reply.h"
#include "termsim/access.h"
#include "termsim/simulator.h"

namespace termsim {

class AccessCommands {
 public:
  explicit AccessCommands(const Profile& profile);

  // True when `code` is an access command; `reply` then holds the answer.
  // `wide_numbers`: the terminal's user numbers are wider than 5 digits
  // (card writes then carry a 32-bit number).
  bool Answer(uint16_t code, std::span<const uint8_t> data, const UploadBuffer& upload,
              bool wide_numbers, Reply& reply);

  void Set(AccessData data);
  AccessData Data() const;
  // Clear-data kinds 6 (messages), 7 (links) and 0 (everything).
  void DataCleared(int kind);
  // A user was deleted: its message links go too.
  void UserRemoved(uint16_t pin);

 private:
  void GetZone(std::span<const uint8_t> data, Reply& reply) const;
  void SetZone(std::span<const uint8_t> data, Reply& reply);
  void GetGroup(std::span<const uint8_t> data, Reply& reply) const;
  void SetGroup(std::span<const uint8_t> data, Reply& reply);
  void GetHolidays(std::span<const uint8_t> data, Reply& reply) const;
  void SetHolidays(std::span<const uint8_t> data, Reply& reply);
  void GetHolidayZone(std::span<const uint8_t> data, Reply& reply) const;
  void SetHolidayZone(std::span<const uint8_t> data, Reply& reply);
  void GetLocks(std::span<const uint8_t> data, Reply& reply) const;
  void SetLocks(std::span<const uint8_t> data, Reply& reply);
  void SetMessage(std::span<const uint8_t> data, Reply& reply);
  void GetMessage(std::span<const uint8_t> data, Reply& reply) const;
  void DeleteMessage(std::span<const uint8_t> data, Reply& reply);
  void Link(uint16_t code, std::span<const uint8_t> data, Reply& reply);
  void WriteCard(const UploadBuffer& upload, bool wide_numbers, Reply& reply);

  const bool tft_;
  mutable std::mutex mu_;
  AccessData data_;
};

}  // namespace termsim
