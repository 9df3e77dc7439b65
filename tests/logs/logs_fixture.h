// A devapi session against the terminal simulator over the test's loopback
// link (sim_link.h), with
// helpers to read the logs back through the library.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devapi.h"
#include "session/device_session.h"
#include "sim_link_devapi.h"
#include "termsim/simulator.h"
#include "wire/codes.h"
#include "wire/le_bytes.h"

namespace logs_test {

// Terminals as the tests need them.
inline termsim::Profile Terminal(const std::string& firmware, bool extend_fmt,
                                 const std::string& platform = "ZEM510") {
  termsim::Profile p = termsim::Profile::Ver660();
  p.firmware = firmware;
  p.options["~ExtendFmt"] = extend_fmt ? "1" : "0";
  p.options["ExtendOPLog"] = extend_fmt ? "1" : "0";
  p.options["~Platform"] = platform;
  p.pin_width = 5;
  return p;
}
inline const char* kNewFirmware = "Ver 6.60 Oct 26 2009";
inline const char* kPreNewRecordFirmware = "Ver 6.00 Jan 10 2008";

inline uint32_t Packed(int y, int mo, int d, int h, int mi, int s) {
  return termsim::PackTime(termsim::DateTime{y, mo, d, h, mi, s});
}

// Records as the simulator keeps them.
inline termsim::AttendanceRecord Att(uint32_t user, std::string user_id, uint8_t verify,
                                     uint8_t state, uint32_t time, uint32_t work_code = 0) {
  termsim::AttendanceRecord a;
  a.user = user;
  a.user_id = std::move(user_id);
  a.verify_mode = verify;
  a.att_state = state;
  a.time = time;
  a.work_code = work_code;
  return a;
}
inline termsim::OpLogRecord Op(uint32_t admin, std::string admin_id, uint8_t operation,
                               uint32_t time, std::array<uint32_t, 4> params = {},
                               std::string second_id = "", std::string text = "") {
  termsim::OpLogRecord o;
  o.admin = admin;
  o.admin_id = std::move(admin_id);
  o.operation = operation;
  o.time = time;
  o.params = params;
  o.second_id = std::move(second_id);
  o.text = std::move(text);
  return o;
}

// One attendance record as the library reports it.
struct Punch {
  uint32_t user = 0;
  std::string user_id;
  int verify_mode = 0;
  int att_state = 0;
  uint32_t time = 0;
  uint32_t work_code = 0;
  std::string work_code_text;
  uint32_t reserved = 0;
  friend bool operator==(const Punch&, const Punch&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Punch& p) {
  return os << "{user " << p.user << " id '" << p.user_id << "' verify " << p.verify_mode
            << " state " << p.att_state << " time " << p.time << " work " << p.work_code << " '"
            << p.work_code_text << "' reserved " << p.reserved << "}";
}

struct Clock {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  uint32_t Packed() const { return logs_test::Packed(year, month, day, hour, minute, second); }
};

class LogsE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (handle != nullptr) Q_Close(handle);
    handle = nullptr;
  }

  DEVAPI_HANDLE Connect(termsim::Profile profile) {
    sim = std::make_unique<termsim::Simulator>(std::move(profile));
    if (!simlink::Start(*sim)) {
      ADD_FAILURE() << "simulator did not start";
      return nullptr;
    }
    handle = simlink::Connect(*sim, nullptr, nullptr);
    sim->ClearReceived();
    return handle;
  }

  devapi::DeviceSession& Session() { return *static_cast<devapi::DeviceSession*>(handle); }

  // Commands asked for by bulk reads (the command inside CMD_QUERY_DATA),
  // and other commands, in order.
  std::vector<uint16_t> Commands() const {
    std::vector<uint16_t> out;
    for (const auto& p : sim->Received()) {
      if (p.code == wire::CMD_QUERY_DATA) {
        wire::ByteReader r(p.payload);
        r.U8();
        out.push_back(r.U16());
      } else if (p.code != wire::CMD_READ_DATA && p.code != wire::CMD_FREE_DATA) {
        out.push_back(p.code);
      }
    }
    return out;
  }
  // The 8 request bytes of the last bulk query for `command`.
  std::vector<uint8_t> QueryParams(uint16_t command) const {
    std::vector<uint8_t> out;
    for (const auto& p : sim->Received()) {
      if (p.code != wire::CMD_QUERY_DATA || p.payload.size() < 11) continue;
      wire::ByteReader r(p.payload);
      r.U8();
      if (r.U16() == command) out.assign(p.payload.begin() + 3, p.payload.begin() + 11);
    }
    return out;
  }

  // Iterates with Q_GetExtLog until it stops; the last result in `end`.
  std::vector<Punch> ReadNumeric(int32_t* end = nullptr) {
    std::vector<Punch> out;
    for (;;) {
      int32_t user = 0, work = 0, reserved = 0;
      uint8_t verify = 0, state = 0;
      Clock c;
      const int32_t r = Q_GetExtLog(handle, &user, &verify, &state, &c.year, &c.month, &c.day,
                                    &c.hour, &c.minute, &c.second, &work, &reserved);
      if (r != 1) {
        if (end != nullptr) *end = r;
        return out;
      }
      out.push_back({static_cast<uint32_t>(user), "", verify, state, c.Packed(),
                     static_cast<uint32_t>(work), "", static_cast<uint32_t>(reserved)});
    }
  }

  // Iterates with Q_SSR_GetLog until it stops.
  std::vector<Punch> ReadTextId(int32_t* end = nullptr) {
    std::vector<Punch> out;
    for (;;) {
      char id[25] = {};
      uint8_t verify = 0, state = 0;
      int32_t work = 0;
      Clock c;
      const int32_t r = Q_SSR_GetLog(handle, id, &verify, &state, &c.year, &c.month, &c.day,
                                     &c.hour, &c.minute, &c.second, &work);
      if (r != 1) {
        if (end != nullptr) *end = r;
        return out;
      }
      out.push_back({0, id, verify, state, c.Packed(), static_cast<uint32_t>(work), "", 0});
    }
  }

  std::unique_ptr<termsim::Simulator> sim;
  DEVAPI_HANDLE handle = nullptr;
};

// A counted reply: the byte count, then `records`.
inline std::vector<uint8_t> Counted(const std::vector<uint8_t>& records, int64_t count = -1) {
  std::vector<uint8_t> out(4 + records.size());
  wire::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(records.size()) : count));
  w.Bytes(records);
  return out;
}

}  // namespace logs_test
