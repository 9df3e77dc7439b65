// DeviceSession: the per-connection record of devapi (session), the registry
// of live sessions, and the opening every exported function shares.
//
// The host's handle is the address of a DeviceSession. A handle is valid from
// a successful connect until Q_Close (or a successful Q_RebootDevice, which
// closes the session itself). Every exported function turns the handle into a
// session with SessionFromHandle / BeginCall, so a closed or unknown handle
// acts like a null handle (-1) instead of touching freed memory.
//
// Layout rules:
//  * Every field starts at zero / empty, like a zero-filled record.
//  * Large buffers are std::vector, empty until the first call that needs
//    them (never allocate tens of MiB up front).
//  * Positions into buffers are byte offsets (not pointers), so growing a
//    buffer never leaves a dangling view.
//  * Each later subsystem adds its fields in its own marked section below; the
//    fields published here keep their names and types.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "devwire.h"

namespace devapi {

// Connect kinds: decide the transport-dependent steps of the connect probe.
enum class ConnectKind : int32_t {
  kNone = 0,
  kNet,     // Q_Connect_NET      (comms.dll, UDP)
  kNetEx,   // Q_Connect_NETEX    (tcplink.dll, TCP)
  kCom,     // Q_Connect_COM      (lineport.dll, serial)
  kUsb,     // Q_Connect_USB      (usblink.dll)
  kUsbStd,  // Q_Connect_USB_STD  (usbdirect.dll)
  kP4P,     // Q_Connect_P4P      (peerlink.dll)
};

// Size of the firmware text field: up to 50 bytes as received, plus room for
// a terminator that is always kept.
inline constexpr size_t kFirmwareTextSize = 51;

struct DeviceSession {
  // ---------------------------------------------------------------- session
  // Connection and transfer parameters.
  DEVWIRE_HANDLE engine = nullptr;  // owned: DEVWIRE_CLOSE in Q_Close
  // Set by Q_CancelByUser (from any thread), cleared as each call begins: a
  // download that ends with nothing after a cancel failed, it did not find
  // an empty terminal.
  std::atomic<int32_t> cancel_requested{0};
  ConnectKind kind = ConnectKind::kNone;
  int32_t cmd_timeout_ms = 0;   // ordinary commands
  int32_t data_timeout_ms = 0;  // bulk transfers
  int32_t block_size = 0;       // bulk block size
  // Normalised firmware text ("Ver 6.60 20091026"); always terminated.
  // Compare it only through FirmwareCompare / FirmwareBelow / FirmwareAbove.
  char firmware_version[kFirmwareTextSize] = {};
  int32_t com_extra = 0;         // serial connect with a modem phone text
  char com_extra_text[20] = {};  // that phone text (at most 19 characters)

  // Feature flags from the connect probe.
  int32_t has_os_option = 0;       // "~OS" non-empty: '~' writes go plain
  int32_t extend_fmt = 0;          // "~ExtendFmt": 16-byte attendance records
  int32_t extend_oplog = 0;        // "ExtendOPLog": 20-byte operation-log records
  int32_t is_tft = 0;              // "~Platform" contains "TFT"
  int32_t is_tft_alt = 0;          // same as is_tft
  int32_t usb_like_transport = 0;  // USB_STD, "AK3750", "3750WIFI"
  int32_t is_3750wifi = 0;         // "~Platform" contains "3750WIFI"
  int32_t is_rvm_platform = 0;     // "~Platform" contains "RVM"
  int32_t rt_long_record = 0;      // firmware above "Ver 6.18 20070807" and not TFT
  int32_t fp_version = 0;          // "~QXFPVersion", 9 when empty
  int32_t face_version = 0;        // "QXFaceVersion" unless empty or "NONE"
  int32_t privilege_raw = 0;       // Q_SetParameters kind 1 (users)

  // User-number width learnt by Q_GetPINWidth (options); 0 until asked.
  int32_t pin_width = 0;

  // Kept per session rather than module-wide:
  // 1 = the user-number mapping must re-read the user table (users).
  // Set by Q_StartEnroll / Q_StartEnrollEx with wide user numbers; closing
  // one session never touches another session's flag.
  int32_t user_table_stale = 0;

  // Shared download buffer and record views (users, templates, logs, photos,
  // extras). read_buf is allocated by the first bulk read that needs it, with
  // the capacity that reader chooses; read_buf_cap mirrors read_buf.size()
  // (0 = not allocated). Views are offsets into read_buf.
  std::vector<uint8_t> read_buf;
  uint32_t read_buf_cap = 0;
  std::vector<uint8_t> user_buf;  // separate user-record buffer (users)
  uint32_t user_buf_cap = 0;
  uint32_t user_len = 0, user_cursor = 0;
  uint32_t tmpl_len = 0, tmpl_start = 0, tmpl_cursor = 0;
  uint32_t attlog_len = 0, attlog_start = 0, attlog_cursor = 0;
  uint32_t oplog_len = 0, oplog_start = 0, oplog_cursor = 0;
  uint32_t aux_len = 0, aux_start = 0, aux_cursor = 0;
  uint32_t oplogex_len = 0, oplogex_start = 0, oplogex_cursor = 0;
  uint32_t bell_len = 0, bell_start = 0, bell_cursor = 0;
  uint32_t attlog_base_time = 0;
  uint32_t newlog_param = 0;

  // ---------------------------------------------------------------- options
  // Cached biometric descriptions (Q_GetSysOption); empty = nothing cached.
  // Each holds at most 1023 characters (the terminal's 1024-byte texts).
  std::string bio_type_cache;
  std::string bio_version_cache;
  std::string bio_maxcount_cache;
  std::string bio_usedcount_cache;

  // ---------------------------------------------------------------- real-time events
  // Real-time event poll (Q_ReadRTLog / Q_GetRTLog, owned by devapi/logs/).
  // rt_buf is allocated (2048 bytes) by the first poll; rt_start and
  // rt_cursor are offsets into rt_buf, 0 meaning "none" (a poll sets both
  // to 4, just past the byte count).
  uint32_t rt_seq = 0;          // set to 0 by the connect
  std::vector<uint8_t> rt_buf;  // 2048 bytes once allocated
  uint32_t rt_start = 0;
  uint32_t rt_cursor = 0;
  int32_t rt_len = 0;  // event bytes in the last poll reply

  // ------------------------------------------------- users
  // The user cache beyond user_buf / user_len / user_cursor (devapi/users/):
  // whether the last load succeeded, and the numbering of new users.
  struct UserCacheState {
    bool loaded = false;               // the last load gave the whole table
    std::vector<uint8_t> user_no_map;  // 65536 bytes once allocated, one per PIN
    uint32_t last_free_user_no = 0;    // the PIN last handed out
    std::string last_free_id_text;     // the ID text it was handed to
    uint32_t last_user_no = 0;         // PIN of the last user iterated
  } user_cache;
  // ------------------------------------------------ templates (templates)
  // The template view (tmpl_start / tmpl_len / tmpl_cursor above) and its
  // quick index (devapi/users/fingerprint_*). A piecewise download puts the
  // records at byte 0, so tmpl_start alone cannot tell a loaded view.
  bool tmpl_loaded = false;         // a template load set the view
  int32_t quick_tmpl_state = 0;     // -1 loading, 1 tmpl_index matches the view
  std::vector<int32_t> tmpl_index;  // 10 entries per PIN 0-50000, once built
  // ------------------------------------------- batch update (batch update)
  // Writes and deletions collected between Q_BeginBatchUpdate and
  // Q_BatchUpdate (devapi/users/batch/). The streams grow as entries arrive,
  // up to their caps; each stream's form is fixed by its first entry.
  struct BatchState {
    enum class UserForm : uint8_t { kNone, kExtended, kTft };  // 28-byte, or 72 / 4-byte
    enum class OpForm : uint8_t { kNone, kPin, kIdText };      // 8- or 30-byte operations
    bool active = false;
    bool overwrite = false;                // begun with flag 1: additions use code 2
    std::vector<uint8_t> user_entries;     // code byte, then a record
    std::vector<uint8_t> template_ops;     // code, user, finger byte, offset
    std::vector<uint8_t> template_data;    // u16 length, template bytes
    std::vector<uint8_t> new_users;        // u32 byte count, then 28-byte records
    UserForm user_form = UserForm::kNone;
    OpForm op_form = OpForm::kNone;
  } batch;
  // ------------------------------------------- table interface (table interface)
  // ---------------------------------------- attendance data (attendance data)
  // The rule, department and time-slot tables of the last successful read of
  // each (devapi/attendance/): copies, so a later download into read_buf
  // leaves them intact until their own next read or the close.
  std::vector<uint8_t> rule_data;
  std::vector<uint8_t> dept_data;
  std::vector<uint8_t> slot_data;
  // Later subsystems add their fields in the sections above (user_no_map,
  // tmpl_index, batch_* buffers, table_struct, rule/dept/slot views, ...),
  // as vectors allocated on demand. Q_Close releases the whole record, so a
  // vector or std::string field needs no extra code to be freed.
};

// ------------------------------------------------------------ Registry
// A session is registered by its connect and unregistered by Q_Close.

// The session of a live handle, or null for a null, closed or unknown
// handle. Does not touch the engine.
DeviceSession* SessionFromHandle(void* handle);

// The common opening of an exported function: the session of a live handle
// with the engine's cancel flag cleared (DEVWIRE_SetOperate(engine, 0)), or
// null (the caller then returns -1).
DeviceSession* BeginCall(void* handle);

// Registry management, used by the connect functions and Q_Close.
void RegisterSession(DeviceSession* session);
// Removes the session; true when it was registered (false: already closed).
bool UnregisterSession(DeviceSession* session);

// Closes a session: unregisters it, closes its engine connection and frees
// the record. Returns false (and does nothing) for a session that is not
// registered. Q_Close and a successful Q_RebootDevice use it.
bool CloseSession(DeviceSession* session);

// ------------------------------------------------------------ Firmware gates
// Unsigned byte-wise comparison of the normalised firmware text with a
// literal ("Ver 5.04", "Ver 5.11", "Ver 6.01", "Ver 6.18 20070807",
// "Ver 6.60"): negative, 0 or positive like strcmp.
int FirmwareCompare(const DeviceSession& session, const char* literal);
inline bool FirmwareBelow(const DeviceSession& session, const char* literal) {
  return FirmwareCompare(session, literal) < 0;
}
inline bool FirmwareAbove(const DeviceSession& session, const char* literal) {
  return FirmwareCompare(session, literal) > 0;
}

}  // namespace devapi
