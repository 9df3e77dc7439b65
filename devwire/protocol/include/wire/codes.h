// Command and reply codes of the terminal protocol.
#pragma once

#include <cstdint>
#include <string>

namespace wire {

enum Code : uint16_t {
  CMD_DB_RRQ = 7,
  CMD_USER_WRQ = 8,
  CMD_USERTEMP_RRQ = 9,
  CMD_USERTEMP_WRQ = 10,
  CMD_OPTIONS_RRQ = 11,
  CMD_OPTIONS_WRQ = 12,
  CMD_ATTLOG_RRQ = 13,
  CMD_APPEND_USER = 16,
  CMD_APPEND_USERTEMP = 17,
  CMD_DELETE_USER = 18,
  CMD_GET_FREE_SIZES = 50,
  CMD_CONNECT = 1000,
  CMD_EXIT = 1001,
  CMD_ENABLEDEVICE = 1002,
  CMD_DISABLEDEVICE = 1003,
  CMD_AUTH = 1102,
  CMD_PREPARE_DATA = 1500,
  CMD_DATA = 1501,
  CMD_FREE_DATA = 1502,
  CMD_QUERY_DATA = 1503,
  CMD_READ_DATA = 1504,
  CMD_ACK_OK = 2000,
  CMD_ACK_ERROR = 2001,
  CMD_ACK_DATA = 2002,
  CMD_ACK_RETRY = 2003,
  CMD_ACK_REPEAT = 2004,
  CMD_ACK_UNAUTH = 2005,
  CMD_ACK_ERROR_DATA = 65531,
  CMD_ACK_ERROR_INIT = 65532,
  CMD_ACK_ERROR_CMD = 65533,
  CMD_ACK_NO = 65534,
  CMD_ACK_UNKNOWN = 65535,
};

// Codes with a fixed meaning that have no table name.
inline constexpr uint16_t kEventPacket = 500;      // terminal-initiated event; also event registration
inline constexpr uint16_t kOptionProbe = 501;      // option cache probe
inline constexpr uint16_t kDataChecksum = 119;     // checksum of uploaded data
inline constexpr uint16_t kFirmwareVersion = 1100; // firmware version text
inline constexpr uint16_t kPeerRefused = 2006;     // too many peer-to-peer connections
inline constexpr uint16_t kTakeUploadedData = 110; // store data uploaded before

// Trace name of a code: its table name, or the decimal number.
std::string CodeName(uint16_t code);

}  // namespace wire
