// The terminal's attendance and operation logs: their records, the layouts
// the terminal sends them in, generated data sets and log files.
//
// What the terminal answers (once a log was given to it with
// Simulator::SetAttendanceLog / SetOpLog; before that these commands fall
// through to the plain bulk data sets):
//   13     the attendance log, counted (a 32-bit byte count, then the
//          records); with a request of a packed time T and a count C (8
//          bytes, not all zero) the last C records (all when C is 0) from T
//          on, bare (no count)
//   7      data kind 1 (first request byte): the attendance log, bare
//   120    data kind 1 or 4 (first request byte): the attendance or
//          operation records newer than the terminal's new-record mark, or,
//          when bytes 4-7 of the request hold a non-zero serial number S,
//          the records after the S-th record ever stored; counted
//   121    data kind 1 or 4: the host took what 120 sent, the mark moves on
//   10007  the new attendance records, counted; the mark moves on at once
//   10004  the attendance records from packed time A to B (inclusive),
//          counted
//   10005  deletes the attendance records from A to B (inclusive)
//   10006  deletes the attendance records up to packed time T (inclusive)
//   15, 33 clear the attendance and the operation log
//   34     the operation log, counted
//   2012   operation records between two packed times (request: selector,
//          A, B; selector 0 takes every operation, another value only that
//          operation code), in the 40-byte time-range layout, counted
// The data goes out as a bulk data set (buffered or streamed, compressed
// when the bulk options say so). A selection without records is answered
// CMD_ACK_ERROR. The compressed attendance layout and the compact and
// time-range operation layouts end with their 0xFFFF end mark, inside the
// count.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace termsim {

class Simulator;

// One attendance record as the terminal keeps it.
struct AttendanceRecord {
  // The user number the records carry: the internal number (1 to 65534) in
  // the compressed and the text-ID layouts, the number people see in the
  // extended layout.
  uint32_t user = 0;
  std::string user_id;      // ID text (text-ID layouts), at most 24 characters
  uint8_t verify_mode = 0;  // 0-3 fit the compressed layout
  uint8_t att_state = 0;    // 0-7 fit the compressed layout
  uint32_t time = 0;        // packed time
  uint32_t work_code = 0;
  std::string work_code_text;  // 61-byte layout, at most 24 characters
  uint16_t reserved = 0;       // extended layout
  friend bool operator==(const AttendanceRecord&, const AttendanceRecord&) = default;
};

// How the terminal lays out attendance records. kAuto follows its options:
// "~Platform" with "AK3750" or "3750WIFI" sends 22-byte text-ID records,
// with "TFT" 40-byte ones, a non-zero "~ExtendFmt" 16-byte extended ones,
// anything else the compressed 4/8-byte ones.
enum class AttLogLayout { kAuto, kCompressed, kExtended, kTextId40, kTextId22, kTextId61 };

// One operation record as the terminal keeps it.
struct OpLogRecord {
  uint32_t admin = 0;    // internal number in the compact layouts, else as shown
  std::string admin_id;  // text-ID layout, at most 24 characters
  uint8_t operation = 0;
  uint32_t time = 0;                 // packed time
  std::array<uint32_t, 4> params{};  // only the first is 32-bit (extended layout)
  std::string second_id;             // text-ID layout
  std::string text;                  // time-range layout, at most 23 characters
  friend bool operator==(const OpLogRecord&, const OpLogRecord&) = default;
};

// kAuto: "~Platform" with "TFT" sends 60-byte text-ID records, a non-zero
// "ExtendOPLog" 20-byte extended ones, anything else 16-byte compact ones.
enum class OpLogLayout { kAuto, kCompact, kExtended, kTextId };

// Generated attendance: `punches` records of users 1..`users` spread over
// `days` days from `start` (a packed time), between 07:00 and 19:00, in
// time order. Verify modes 0-3, states 0-5, a work code on every fourth
// record; the ID text is the user number in decimal. Equal arguments give
// equal records.
struct AttendanceGeneration {
  uint32_t users = 50;
  uint32_t punches = 1000;
  uint32_t days = 30;
  uint32_t seed = 1;
  uint32_t start = 0;  // packed time of the first day (0: 2024-01-01)
};
std::vector<AttendanceRecord> GenerateAttendance(const AttendanceGeneration& g);

// Generated operations of administrators 1..`admins`, in time order.
struct OpLogGeneration {
  uint32_t admins = 3;
  uint32_t count = 100;
  uint32_t days = 30;
  uint32_t seed = 1;
  uint32_t start = 0;
};
std::vector<OpLogRecord> GenerateOpLog(const OpLogGeneration& g);

// A log file: one record per line, fields separated by commas, '#' starts
// a comment line:
//   att,USER,USER_ID,VERIFY,STATE,YYYY-MM-DD hh:mm:ss[,WORK_CODE[,WORK_CODE_TEXT[,RESERVED]]]
//   op,ADMIN,ADMIN_ID,OPERATION,YYYY-MM-DD hh:mm:ss[,P1,P2,P3,P4[,SECOND_ID[,TEXT]]]
struct LogData {
  std::vector<AttendanceRecord> attendance;
  std::vector<OpLogRecord> operations;
};
// Appends the record of one log-file line (not a comment) to `data`; false
// when the line is not a record.
bool ParseLogLine(const std::string& line, LogData* data);
// The lines ParseLogLine reads back (without a line end).
std::string FormatLogLine(const AttendanceRecord& record);
std::string FormatLogLine(const OpLogRecord& record);
bool LoadLogFile(const std::string& path, LogData* data, std::string* error);
bool SaveLogFile(const std::string& path, const LogData& data, std::string* error);

// Applies one log setting to a simulator (the program's --log flag):
//   file=PATH                      both logs from a log file
//   generate=USERS,PUNCHES,DAYS,SEED[,YYYY-MM-DD]   generated attendance
//   generate_oplog=COUNT,DAYS,SEED[,YYYY-MM-DD]     generated operations
//   attlog_layout=auto|compressed|extended|text40|text22|text61
//   oplog_layout=auto|compact|extended|text60
// Generated data starts on 2024-01-01 unless a date is given. False with a
// reason in `error`.
bool ApplyLogSetting(const std::string& line, Simulator& sim, std::string* error);

}  // namespace termsim
