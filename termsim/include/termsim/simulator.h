// The terminal simulator: a terminal model behind a UDP and a TCP endpoint,
// embeddable in tests and run as the `termsim` program.
//
// It plays the terminal's side of the command protocol: it assigns
// connection numbers, checks the comm password, keeps an option store and
// takes uploaded data. It records every packet it receives, so tests can
// assert what crossed the wire, and it injects faults on demand.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "termsim/access.h"
#include "termsim/logs.h"
#include "termsim/templates.h"

namespace termsim {

struct AttendanceTables;
struct ExtrasData;
struct FilesData;
struct BackupSettings;

// A wall-clock moment as the terminal keeps it.
struct DateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// The terminals' 32-bit time stamp: every month counts 31 days, years count
// from 2000.
uint32_t PackTime(const DateTime& t);
DateTime UnpackTime(uint32_t packed);
// "YYYY-MM-DD hh:mm:ss" within what the packed time stamp holds; false
// (out untouched) otherwise.
bool ParseDateTime(std::string_view text, DateTime* out);

// A command answered with this reply code and connection word instead of
// being carried out (e.g. 4981, 4989, 4991, 4994, 4995, or CMD_ACK_ERROR
// with a reason: 1 malformed, 2 no such record, 4 no room).
struct CommandAnswer {
  uint16_t code = 0;
  uint16_t word = 0;
  friend bool operator==(const CommandAnswer&, const CommandAnswer&) = default;
};

// How the terminal answers the option probe (command 501).
enum class ProbeAnswer {
  kValues,   // "key=value" for every asked key it has, joined by ","
  kUnknown,  // CMD_ACK_UNKNOWN: firmware without the probe
  kError,    // CMD_ACK_ERROR
  kEmpty,    // CMD_ACK_OK with an empty text
  kGarbage,  // CMD_ACK_OK with a text that holds no "key=value"
};

struct Profile {
  std::string firmware = "Ver 6.60 Oct 26 2009";  // answer to command 1100
  uint32_t comm_password = 0;                      // 0: no authentication
  std::map<std::string, std::string> options;      // option store (name -> value)

  std::string device_firmware;  // answer to command 10019; empty: `firmware`
  ProbeAnswer option_probe = ProbeAnswer::kValues;
  int8_t pin_width = 5;        // answer to command 69
  int32_t device_status = 0;   // "~DeviceStatus" in the answer to command 2998
  uint8_t door_state = 0;      // answer to command 75
  uint16_t machine_state = 0;  // answer to command 64 (in the reply's connection word)
  DateTime clock{2024, 1, 15, 8, 30, 0};
  bool clock_runs = false;  // a standing clock keeps tests exact
  // Storage counters of command 50 by word number, over the built-in ones.
  std::map<int, uint32_t> storage;
  // Commands this firmware does not know (CMD_ACK_UNKNOWN) or turns down
  // (CMD_ACK_ERROR).
  std::set<uint16_t> unknown_commands;
  std::set<uint16_t> refused_commands;
  // Device search: the MAC address and IP address the answer reports (an
  // empty IP: the address the terminal listens on); `search_answer`, when
  // set, is sent instead of the composed answer.
  std::string mac = "00:17:61:10:20:30";
  std::string search_ip;
  std::string search_answer;
  // Fingerprint templates read piecewise: command 2221 answered CMD_ACK_OK
  // and the records served through 2017/2018/2019 (else 2221 is unknown).
  bool piecewise_templates = false;
  // The largest packet sent over TCP (header included); 0: 65544, or what
  // the host is told for its "~Platform" (512 for "AK3750", 4000 for
  // "3750WIFI"). UDP always sends packets of up to 1032 bytes.
  uint32_t max_packet = 0;
  // The form of the template operations in a batch package (command 2222,
  // then 110): 8-byte operations by PIN, or 30-byte ones by ID text.
  enum class BatchOps { kPin, kIdText };
  BatchOps batch_ops = BatchOps::kPin;

  // Built-in terminals: firmware below "Ver 5.04" without the option probe,
  // the PIN width, device status and device-firmware commands, and without
  // "~OS" (so '~' option values arrive scrambled); a black-and-white
  // "Ver 6.60 Oct 26 2009" fingerprint terminal; a colour-screen (TFT)
  // fingerprint and face terminal.
  static Profile Old();
  static Profile Ver660();
  static Profile Tft();

  friend bool operator==(const Profile&, const Profile&) = default;
};

// Applies one "key=value" profile setting (see README, "Terminal
// profiles"): firmware, device_firmware, password, pin_width,
// device_status, door_state, machine_state, clock ("YYYY-MM-DD hh:mm:ss"),
// clock_runs, option_probe (values|unknown|error|empty|garbage),
// unknown_commands and refused_commands (comma lists), mac, search_ip,
// search_answer, piecewise_templates, max_packet, batch_ops (pin|id_text),
// storage.WORD=VALUE and
// option.NAME=VALUE. False with a
// reason in `error` when the line makes no sense.
bool ApplyProfileSetting(const std::string& line, Profile* profile, std::string* error);

// Reads a profile file of setting lines (blank lines and lines starting
// with '#' are skipped) over `profile`. False with the file name, line
// number and reason in `error`.
bool LoadProfile(const std::string& path, Profile* profile, std::string* error);

// A built-in profile by name ("old", "ver660", "tft"), or a profile file.
bool ProfileByName(const std::string& name_or_path, Profile* profile, std::string* error);

// A control command as the terminal received it.
struct ControlCommand {
  uint16_t code = 0;
  std::vector<uint8_t> data;
  friend bool operator==(const ControlCommand&, const ControlCommand&) = default;
};

// The port terminals answer device searches on.
inline constexpr uint16_t kSearchPort = 65535;

// A packet as the terminal received it.
struct ReceivedPacket {
  uint16_t code = 0;
  uint16_t checksum = 0;
  uint16_t connection_id = 0;
  uint16_t reply_counter = 0;
  bool checksum_ok = false;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> raw;  // the whole packet
  // Bytes it took on the wire: the datagram on UDP; on TCP its frame, the
  // 8-byte frame header and the packet; on USB its block (512, 1024 or
  // 1536 bytes).
  size_t wire_size = 0;
};

// Faults applied to the terminal's replies, on either link. Counters count
// down as replies are affected; set them between exchanges.
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
  // A CMD_ACK_OK answer to `short_reply_command` carries only its first
  // `short_reply_bytes` payload bytes (zeros where the answer was shorter):
  // a well-framed reply with a short record. 0 as command: off.
  uint16_t short_reply_command = 0;
  uint32_t short_reply_bytes = 0;
  // This command is taken and never answered (0: off).
  uint16_t unanswered_command = 0;
  // Every this many ms an event packet (kind kEventKeyPress) goes to where
  // the last packet came from, registered or not and even while silent; 0: off.
  uint32_t event_every_ms = 0;
};

// Faults of the TCP byte stream. Counted ones count requests (or data packets) from when they are set.
struct StreamFaults {
  int close_after = 0;       // tcp_close=N: close the connection after the Nth request, leaving it unanswered
  int reset_after = 0;       // tcp_reset=N: reset (RST) after the Nth request, unanswered
  int reset_after_data = 0;  // tcp_reset_data=N: reset after the Nth data packet of a transfer (cuts a download)
  uint32_t split_bytes = 0;  // tcp_split=B: frames written B bytes at a time, with pauses between
  uint32_t split_pause_ms = 2;
  bool coalesce = false;     // tcp_coalesce: several frames per write (a reply with its chunks, an event with the next reply)
  int bad_magic = 0;         // tcp_bad_magic=N: the next N frames go out with a wrong magic
  int oversize = 0;          // tcp_oversize=N: the next N frames announce length 0x00100000
  bool refuse = false;       // tcp_refuse: stop listening and drop every connection (ResumeListening() undoes)
};
// Each cut (close_after, reset_after, reset_after_data) fires once and then
// reads 0. A request is a command packet with a good checksum (not a host's
// acknowledgement of an event); the one that falls due is not carried out.
// A data packet is any packet with code CMD_DATA: an inline block of a
// buffered read as well as a streamed chunk or a large block's data.

// How often the simulator looks at its drive file for a request.
inline constexpr uint32_t kUsbPollMs = 3;

// Faults of the USB drive file. Each counts blocks the terminal writes
// (answers, data, events) from when it is set.
struct UsbFaults {
  int bad_mark = 0;     // usb_bad_mark=N: the end mark after the packet is 0x00
  int long_length = 0;  // usb_long_length=N: the length field says 1530
  int zero_code = 0;    // usb_zero_code=N: the packet's code word is 0
  int torn = 0;         // usb_torn=N: written in two halves with a pause between
  uint32_t torn_pause_ms = 100;  // usb_torn_pause_ms
  // usb_chunk_ms: stream chunks and large-block data go out one per this
  // long, a host reading them one per idle poll (about 450 ms apart).
  uint32_t chunk_ms = 600;
};

// Bulk data: data sets the terminal hands out by streamed reads (the data
// set's command answered CMD_PREPARE_DATA and numbered chunks), buffered
// reads (CMD_QUERY_DATA, CMD_READ_DATA, CMD_FREE_DATA) and piecewise reads
// (a record count, then blocks of records by command 2018, closed by 2019).

// How the terminal sends bulk data.
struct BulkOptions {
  bool compress = false;        // buffered reads: data prepared LZO1X-compressed
  bool buffered_reads = true;   // false: firmware without CMD_QUERY_DATA (CMD_ACK_UNKNOWN)
  bool inline_queries = false;  // a data set that fits one packet comes with the query's answer
  // Bytes per data packet; never more than the link's packet carries (1024
  // on UDP, 65536 on TCP, less for the platforms whose hosts read less).
  uint32_t chunk_size = 1024;
  // Pace of the data packets: this many back to back, then a pause. The
  // default (about 16 MB/s) is a fast terminal that still never floods a
  // host's socket queue while the host pauses after a send.
  uint32_t burst_packets = 16;
  uint32_t burst_pause_ms = 1;
};

// How one transfer goes wrong. A transfer is one answer that streams data:
// a prepare reply with its numbered chunks (a streamed read, or a memory
// read too big for one packet), or a large block (command 2018) with its
// data packets. Indexes count data packets from 0.
struct TransferFaults {
  std::set<uint32_t> lose;     // never sent
  std::set<uint32_t> corrupt;  // sent with a damaged checksum
  std::set<uint32_t> repeat;   // sent twice
  int64_t silent_after = -1;   // only this many data packets go out, nothing after (-1: all)
  uint32_t announce_extra = 0;  // the announced size is this much above what is sent
  bool reversed = false;        // data packets go out last first
  // Sent instead of the data set, as if it had changed since the last request.
  std::optional<std::vector<uint8_t>> data;
};

struct BulkFaults {
  std::vector<TransferFaults> transfers;  // the next transfers, in order; later ones go clean
  int misread_blocks = 0;                 // next N memory reads serve one byte changed
  int short_inline_reads = 0;             // next N memory reads sent inline lack their last byte
  // Memory reads of more bytes than this always stream, with the last chunk
  // damaged (-1: off).
  int64_t damage_blocks_above = -1;
  int64_t size_delta = 0;  // added to the data size the query's answer announces
  // Memory reads (CMD_READ_DATA) and large blocks (2018) are answered
  // CMD_PREPARE_DATA as usual, then nothing follows: no chunk, no end.
  bool prepare_without_data = false;
  // Piecewise reads: the count answered instead of the record count (-1: the
  // real count), and every range served as an empty block closed by
  // CMD_ACK_OK.
  int64_t piecewise_count = -1;
  bool empty_blocks = false;
};

// Real-time events. A host registers with command 500 and a 32-bit mask;
// the terminal then pushes every event whose kind has its bit in the mask
// (kind k has bit k; kinds from 31 up share bit 31) as a packet with code
// 500, the kind in the connection field and the terminal's own event counter
// (from 1, never 0) as the sequence number, and sends it again until the
// host acknowledges it. Hosts may also poll the real-time log (command 90).
inline constexpr uint16_t kEventVerification = 1;
inline constexpr uint16_t kEventKeyPress = 3;
inline constexpr uint16_t kEventDoor = 4;
inline constexpr uint16_t kEventAlarm = 5;
inline constexpr uint16_t kEventEnrolment = 6;
constexpr uint32_t EventMaskBit(uint16_t kind) { return kind < 31 ? 1u << kind : 1u << 31; }

struct EventSettings {
  uint32_t resend_ms = 1000;  // an unacknowledged event goes out again after this
  int max_resends = 3;
  int missed_acks = 0;  // the next N acknowledgements go unnoticed (the event is resent)
  // Added to the byte count of every poll answer, without adding bytes.
  uint32_t poll_count_excess = 0;
};

struct EventPushCounts {
  size_t sent = 0;          // event packets sent, resends included
  size_t resent = 0;
  size_t acknowledged = 0;  // acknowledgements taken
  size_t missed = 0;        // acknowledgements let go unnoticed (EventSettings::missed_acks)
  size_t pending = 0;       // events still waiting for their acknowledgement
};

struct RealtimePollCounts {
  size_t polls = 0;     // poll commands answered
  size_t repeated = 0;  // polls that asked for the last batch again (same sequence number)
  uint32_t last_sequence = 0;
};

// Users. A terminal keeps one user table and sends it in the layout its
// firmware implies: 16-byte records below "Ver 5.04", 72-byte records on
// colour-screen terminals ("~Platform" containing "TFT"), 28-byte records
// otherwise, each table led by its 32-bit byte count.
struct User {
  uint16_t pin = 0;      // the terminal's internal number, 1-65534
  uint32_t pin2 = 0;     // the number people see (28-byte layout)
  std::string id_text;   // up to 24 characters (72-byte layout); empty: the
                         // user is known by its PIN2, or its PIN, in decimal
  std::string name;      // up to 24 characters (8 in the narrow layouts)
  std::string password;  // up to 8 characters (5 in the narrow layouts)
  uint8_t privilege = 0;  // the privilege byte as stored (bit 0: disabled)
  uint32_t card = 0;
  uint8_t card_extra = 0;  // the fifth card byte of the 28-byte layout
  uint8_t group = 1;
  uint16_t tz_mode = 0;  // 1: the user has time zones of its own, else its group's
  std::array<uint16_t, 3> time_zones{};
  uint8_t verify_style = 0;
  std::vector<uint8_t> id_card;  // identity-card data
  // The validity period (commands 10020, 10021) a user file gives; the
  // terminal keeps it beside the table (Simulator::ValidityPeriods).
  std::optional<ValidityPeriod> valid;
  friend bool operator==(const User&, const User&) = default;
};

// `count` users with PINs 1 to count and PIN2s, ID texts, names, passwords,
// privileges, cards, groups and time zones drawn from `seed` (the same seed
// gives the same users).
std::vector<User> GenerateUsers(size_t count, uint32_t seed);

// A user file holds one user per line as tab-separated key=value fields
// (pin, pin2, id, name, password, privilege, card, card_extra, group,
// tz_mode, tz as "a,b,c", verify, id_card in hexadecimal, valid as
// "V1,V2,YYYY-MM-DD hh:mm:ss,YYYY-MM-DD hh:mm:ss"); blank lines and
// lines starting with '#' are skipped. False with the line number and the
// reason in `error`.
// One line of a user file (not a comment); false with the reason in `error`.
bool ParseUserLine(std::string_view line, User* user, std::string* error);
// The line ParseUserLine reads back (without a line end).
std::string FormatUserLine(const User& user);
bool LoadUsers(const std::string& path, std::vector<User>* users, std::string* error);
bool SaveUsers(const std::string& path, const std::vector<User>& users, std::string* error);

class Simulator {
 public:
  explicit Simulator(Profile profile = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Listens on address:port (port 0 picks a free port). False on failure.
  // UDP and TCP may both serve the one terminal, or either alone.
  bool StartUdp(const std::string& address = "127.0.0.1", uint16_t port = 0);
  uint16_t udp_port() const;
  // Accepts TCP connections on address:port; every packet travels in an
  // 8-byte frame (50 50 82 7D, the packet length as 32 bits little-endian).
  // A connection that sends a bad frame is dropped.
  bool StartTcp(const std::string& address = "127.0.0.1", uint16_t port = 0);
  uint16_t tcp_port() const;
  // Serves DIR/dummy as the drive file of a terminal attached by USB,
  // creating it (1536 zero bytes) when missing. Requests addressed to the
  // terminal's "DeviceID" option (default 1) are answered there. False when
  // the file cannot be created or is not a regular file.
  bool StartUsb(const std::string& directory);
  // The drive file served (empty before StartUsb).
  std::string usb_file() const;
  void SetUsbFaults(const UsbFaults& faults);
  UsbFaults usb_faults() const;
  void Stop();

  // Faults of the TCP stream (see StreamFaults).
  void SetStreamFaults(const StreamFaults& faults);
  StreamFaults stream_faults() const;
  // TCP connections accepted since StartTcp.
  size_t TcpConnectionsAccepted() const;
  // Listens again on the same TCP port after tcp_refuse.
  void ResumeListening();

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

  // Control commands (enable, disable, restart, unlock, LCD, sound,
  // enrolment, verification ...) in the order they arrived.
  std::vector<ControlCommand> ControlCommands() const;
  void ClearControlCommands();
  // How often the terminal restarted on command (1004).
  int RestartCount() const;

  // The terminal's clock as a packed time stamp.
  uint32_t ClockPacked() const;
  void SetClockPacked(uint32_t packed);

  // Storage counters answered to command 50, by word number (0 to 24).
  uint32_t StorageWord(int word) const;
  void SetStorageWord(int word, uint32_t value);

  void SetPinWidth(int8_t width);
  void SetDeviceStatus(int32_t status);
  void SetDoorState(uint8_t state);
  void SetMachineState(uint16_t state);
  // Makes the terminal turn a command down with CMD_ACK_ERROR, or accept it
  // again.
  void SetCommandRefused(uint16_t code, bool refused);
  // Makes the terminal answer a command CMD_ACK_OK with exactly `payload`
  // (a broken or hostile terminal: short, long or garbled records); nullopt
  // restores the normal answer.
  void SetCannedReply(uint16_t code, std::optional<std::vector<uint8_t>> payload);
  // Makes the terminal answer `command` with a chosen reply code and
  // connection word and no data (a generalised SetCommandRefused); nullopt
  // restores the normal answer.
  void SetCommandAnswer(uint16_t command, std::optional<CommandAnswer> answer);

  // The attendance and operation logs (termsim/logs.h). Setting a log, even
  // an empty one, makes the terminal answer the log commands from it; every
  // record set counts as new, appended ones are new too.
  void SetAttendanceLog(std::vector<AttendanceRecord> records);
  void AppendAttendanceLog(std::vector<AttendanceRecord> records);
  std::vector<AttendanceRecord> AttendanceLog() const;
  void SetAttendanceLayout(AttLogLayout layout);
  void SetOpLog(std::vector<OpLogRecord> records);
  void AppendOpLog(std::vector<OpLogRecord> records);
  std::vector<OpLogRecord> OpLog() const;
  void SetOpLogLayout(OpLogLayout layout);

  // The attendance rule, departments and time slots (termsim/attendance.h),
  // read by commands 35, 36 and 37.
  void SetAttendanceTables(AttendanceTables tables);
  AttendanceTables GetAttendanceTables() const;

  // Work codes, short keys, custom states and voices, bells, tip and labor
  // codes and the attendance-state map (termsim/extras.h).
  void SetExtras(ExtrasData data);
  ExtrasData Extras() const;

  // Files, firmware, photos and pictures (termsim/files.h).
  void SetFiles(FilesData data);
  FilesData Files() const;
  // How the terminal answers backups and update headers.
  void SetBackupSettings(BackupSettings settings);
  // The firmware text command 1100 answers now.
  std::string Firmware() const;

  // Answers device searches on address:port, as a terminal does on port
  // 65535 of its address. An empty address: the one StartUdp listens on.
  // Several simulators may share one address (a broadcast address such as
  // 127.255.255.255), each answering. False on failure.
  bool StartSearchResponder(const std::string& address = "", uint16_t port = kSearchPort);
  // Search probes received.
  size_t SearchProbeCount() const;
  // Conversations the terminal currently keeps (CMD_EXIT ends one).
  size_t SessionCount() const;

  // Sends a datagram as it is (e.g. an event packet, or garbage) to where the
  // last packet came from: a datagram to its address, or a frame on its TCP
  // connection. False when nothing has come yet or that peer is gone.
  bool SendRaw(std::vector<uint8_t> datagram);

  // Bulk data. A data set answers `command` when the request (the command's
  // data; for a buffered read the 8 parameter bytes of the query) begins
  // with `request_prefix`; an empty prefix matches any request, the longest
  // matching prefix wins.
  void SetDataSet(uint16_t command, std::vector<uint8_t> request_prefix,
                  std::vector<uint8_t> bytes);
  // Records read piecewise with `command`: its answer is their count, and
  // command 2018 fetches ranges of them.
  void SetRecordSet(uint16_t command, std::vector<std::vector<uint8_t>> records);
  void ClearDataSets();
  void SetBulkOptions(const BulkOptions& options);
  void SetBulkFaults(const BulkFaults& faults);
  // Data prepared for hosts and not yet released (CMD_FREE_DATA, 2019).
  size_t PreparedCount() const;

  // Real-time events (see EventSettings).
  void SetEventSettings(const EventSettings& settings);
  // Pushes an event to every host registered for its kind. Returns the
  // counter it carries.
  uint16_t PushEvent(uint16_t kind, std::vector<uint8_t> payload);
  // Hosts currently registered for events of `kind`.
  size_t EventListeners(uint16_t kind) const;
  // The mask of the last registration (0 before any).
  uint32_t RegisteredMask() const;
  EventPushCounts EventCounts() const;
  // Queues a record of the real-time log; the payload is cut or padded to
  // the record size, which depends on the terminal (RealtimeRecordSize).
  void AddRealtimeRecord(uint16_t code, std::vector<uint8_t> payload);
  size_t RealtimeRecordSize() const;
  RealtimePollCounts RealtimePolls() const;

  // The user table (see User); later users replace earlier ones with the
  // same PIN, PINs 0 and 65535 are left out.
  void SetUsers(std::vector<User> users);
  // The users, by PIN.
  std::vector<User> Users() const;
  std::optional<User> FindUser(uint16_t pin) const;
  // The user table as the terminal sends it: byte count, then the records.
  std::vector<uint8_t> UserTableBytes() const;
  // Data kinds cleared with command 14, in order (0: everything).
  std::vector<int> ClearedDataKinds() const;

  // Fingerprint templates (termsim/templates.h): replaces the store; a later
  // template with the same PIN and finger replaces an earlier one.
  void SetTemplates(std::vector<FingerTemplate> templates);
  // The stored templates ordered by PIN, then finger.
  std::vector<FingerTemplate> Templates() const;
  std::optional<FingerTemplate> FindTemplate(uint16_t pin, uint8_t finger) const;
  // The templates in the bulk layout: u32 byte count, then per template
  // {u16 size = length + 6, u16 PIN, u8 finger, u8 flag, bytes}.
  std::vector<uint8_t> TemplateTableBytes() const;
  // The PIN the identify command (1011) reports; nullopt (the default): the
  // PIN of a stored template whose bytes equal the request's, else 0.
  void SetIdentifyAnswer(std::optional<uint16_t> pin);
  // Makes command 9 or 88 answer with a streamed read (true) or inline
  // (false); nullopt (the default): command 9 streams on version-10
  // terminals ("~QXFPVersion" 10), 88 answers inline, and a template too
  // big for one packet always streams.
  void SetTemplateReadStreamed(uint16_t command, std::optional<bool> streamed);

  // Faces and validity periods per user, and the access-control data
  // (termsim/access.h). Faces get their record's PIN and index from the
  // Face and are padded to 2576 bytes.
  void SetFaces(std::vector<Face> faces);
  std::vector<Face> Faces() const;
  void SetValidityPeriods(std::map<uint16_t, ValidityPeriod> periods);
  std::map<uint16_t, ValidityPeriod> ValidityPeriods() const;
  void SetAccessData(AccessData data);
  AccessData GetAccessData() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace termsim
