/* The device library's exported interface. Handles are opaque and
 * pointer-sized; every other value is a 32-bit integer. Results: 1 success,
 * 0 nothing (more) to report, -1 null handle, -2 the terminal refused or a
 * transfer failed, 4 an argument out of range, -100 not supported. */
#ifndef TERMKIT_DEVAPI_H
#define TERMKIT_DEVAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(DEVAPI_BUILDING)
#define DEVAPI_API __declspec(dllexport)
#else
#define DEVAPI_API __declspec(dllimport)
#endif
#else
#define DEVAPI_API __attribute__((visibility("default")))
#endif

typedef void* DEVAPI_HANDLE;

/* Receives the terminal's pushed events on the engine's reader thread:
 * (event context given at connect, event kind, payload length, payload). */
typedef void (*DEVAPI_EVENT_CALLBACK)(void* context, uint16_t event, int32_t length,
                                      const uint8_t* payload);

/* ==== Session handle and connection (session) ====
 *
 * Every function that takes a handle returns -1 for a null handle, and also
 * for a handle that was closed (Q_Close, a successful Q_RebootDevice) or was
 * never returned by a connect: the library keeps a registry of live
 * sessions, so a stale handle is never dereferenced. Then it clears the
 * engine's cancel flag and talks to the terminal.
 *
 * Names: the functions traditionally exported under decorated names
 * (_Q_Name@N) are exported here under their plain names Q_Name (no plain
 * function of the same name exists, so there is no clash). */

/* Connect functions: a new handle, or null on failure (Q_LastError(NULL)
 * then tells the engine's reason). */
DEVAPI_API DEVAPI_HANDLE Q_Connect_NET(const char* address, int32_t port,
                                       DEVAPI_EVENT_CALLBACK callback, void* context,
                                       int32_t comm_password);
DEVAPI_API DEVAPI_HANDLE Q_Connect_NETEX(const char* address, int32_t port,
                                         DEVAPI_EVENT_CALLBACK callback, void* context,
                                         int32_t comm_password);
/* Serial line. A baud rate of 0 fails at once; a phone text (modem) longer
 * than 19 characters gives null and nothing is opened. `phone` may be null or
 * empty (no modem). */
DEVAPI_API DEVAPI_HANDLE Q_Connect_COM(const char* port, int32_t device_number, int32_t baud,
                                       DEVAPI_EVENT_CALLBACK callback, void* context,
                                       int32_t comm_password, const char* phone);
DEVAPI_API DEVAPI_HANDLE Q_Connect_USB(int32_t device_number, DEVAPI_EVENT_CALLBACK callback,
                                       void* context, int32_t comm_password);
/* The callback argument is ignored: this transport delivers no events. */
DEVAPI_API DEVAPI_HANDLE Q_Connect_USB_STD(int32_t device_number,
                                           DEVAPI_EVENT_CALLBACK ignored, void* context,
                                           int32_t comm_password);
/* `peer_limit` (may be null) receives "~MaxP2PConnCnt" when the peer refuses
 * because too many peers are connected. */
DEVAPI_API DEVAPI_HANDLE Q_Connect_P4P(const char* peer, DEVAPI_EVENT_CALLBACK callback,
                                       void* context, int32_t comm_password,
                                       int32_t* peer_limit);

/* Ends the session: 1; -1 for a null, closed or unknown handle. */
DEVAPI_API int32_t Q_Close(DEVAPI_HANDLE handle);
/* The engine's last error of the session (then cleared); with a null (or
 * closed) handle the reason of the last failed connect. */
DEVAPI_API int32_t Q_LastError(DEVAPI_HANDLE handle);
/* The engine's link status (0, or the last line failure). */
DEVAPI_API int32_t Q_ConnectStatus(DEVAPI_HANDLE handle);
/* _Q_SetCommuTimeOut@8: both time-outs = seconds x 1000 (seconds above
 * 2147483 are taken as 2147483); a negative value changes nothing. 1. */
DEVAPI_API int32_t Q_SetCommuTimeOut(DEVAPI_HANDLE handle, int32_t seconds);
/* Kind 1: value 0 makes user privileges pass unconverted. 1. */
DEVAPI_API int32_t Q_SetParameters(DEVAPI_HANDLE handle, int32_t kind, int32_t value);
/* Abandons the exchange running on the handle in another thread: every wait
 * of the running call (replies, bulk data, the terminal's preparation) ends
 * within DEVAPI_CANCEL_WITHIN_MS; data the terminal prepared is still
 * released, with that command's own time-out. A download cancelled so
 * returns -2. */
#define DEVAPI_CANCEL_WITHIN_MS 200
DEVAPI_API void Q_CancelByUser(DEVAPI_HANDLE handle);
/* Copies the SDK version text with its terminator: 13 bytes, so the buffer
 * must hold at least 13. */
DEVAPI_API int32_t Q_GetSDKVersion(char* version);
/* *is_tft = 1 for a colour-screen terminal, else 0 (0 also for -1). */
DEVAPI_API int32_t Q_IsTFTMachine(DEVAPI_HANDLE handle, int32_t* is_tft);

/* ==== Options and device information (options) ====
 *
 * Text outputs: every text written into a caller's buffer is terminated and
 * never longer than the terminal's reply held. Minimum caller sizes:
 *   Q_GetSysOption value                      1024 bytes
 *   Q_GetDeviceStrInfo and the single-item
 *   text reads (serial number, product name,
 *   vendor, sensor SN, Wiegand format, custom
 *   data, IP address)                          200 bytes
 *   Q_GetFirmwareVersion,
 *   Q_GetDeviceFirmwareVersion                  50 bytes
 *   Q_GetDeviceInfo type 8999 (raw read)       100 bytes
 * Writes: an option request name=value (after scrambling, which more than
 * doubles the value) must fit its 140-byte request with the terminator:
 * anything longer gives 4 and nothing is sent. An empty or null name gives
 * 4. A null output pointer gives 4. */

DEVAPI_API int32_t Q_GetSysOption(DEVAPI_HANDLE handle, const char* name, char* value);
DEVAPI_API int32_t Q_SetSysOption(DEVAPI_HANDLE handle, const char* name, const char* value);
/* As Q_SetSysOption, with command 2999. */
DEVAPI_API int32_t Q_SetManufacturerData(DEVAPI_HANDLE handle, const char* name,
                                         const char* value);
DEVAPI_API int32_t Q_RefreshOptions(DEVAPI_HANDLE handle);
/* Sends `command` with a, b, c as three 32-bit values; the reply is dropped. */
DEVAPI_API int32_t Q_SendBackgroundCMD(DEVAPI_HANDLE handle, int32_t command, int32_t a,
                                       int32_t b, int32_t c);

/* Numbered information (types 1-81 name options). Special types of
 * Q_GetDeviceInfo: -6 (command 14; the first byte of *value is sent, up to 4
 * reply bytes come back in it), -5 (command 7 into the buffer `value`, whose
 * second 32-bit word gives its size in bytes, at least 8), -4 .. -1 (engine
 * handle, session handle, devwire and devapi module handles: only their low
 * 32 bits fit, result 4), 8999 (raw read: `value` is a 100-byte buffer
 * holding an option name, the reply name=value comes back in it).
 * Q_SetDeviceInfo takes the type modulo 10000; its type 8999 (raw write of a
 * name=value text whose address is the value) cannot carry an address in a
 * 32-bit value on a 64-bit host and gives 4 there (use Q_SetSysOption). */
DEVAPI_API int32_t Q_GetDeviceInfo(DEVAPI_HANDLE handle, int32_t type, int32_t* value);
DEVAPI_API int32_t Q_SetDeviceInfo(DEVAPI_HANDLE handle, int32_t type, int32_t value);
DEVAPI_API int32_t Q_GetDeviceStrInfo(DEVAPI_HANDLE handle, int32_t type, char* text);

/* Single items. */
DEVAPI_API int32_t Q_GetSerialNumber(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetProductName(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetVendor(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetSensorSN(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetWiegandFmt(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_ReadCustData(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetIPAddress(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_GetLanguage(DEVAPI_HANDLE handle, int32_t* language);
/* Port and device number come back as unsigned 16-bit values. */
DEVAPI_API int32_t Q_GetDevicePort(DEVAPI_HANDLE handle, int32_t* port);
DEVAPI_API int32_t Q_GetDeviceNumber(DEVAPI_HANDLE handle, int32_t* number);
DEVAPI_API int32_t Q_GetACFun(DEVAPI_HANDLE handle, int32_t* value);
DEVAPI_API int32_t Q_SetLanguage(DEVAPI_HANDLE handle, int32_t language);
DEVAPI_API int32_t Q_SetIPAddress(DEVAPI_HANDLE handle, const char* address);
/* Port and device number are taken as unsigned 16-bit values. */
DEVAPI_API int32_t Q_SetDevicePort(DEVAPI_HANDLE handle, int32_t port);
DEVAPI_API int32_t Q_SetDeviceNumber(DEVAPI_HANDLE handle, int32_t number);
DEVAPI_API int32_t Q_SetDeviceCommPwd(DEVAPI_HANDLE handle, int32_t password);
DEVAPI_API int32_t Q_SetWiegandFmt(DEVAPI_HANDLE handle, const char* format);
/* "~CustData", never scrambled. */
DEVAPI_API int32_t Q_WriteCustData(DEVAPI_HANDLE handle, const char* data);

/* The terminal's version text as it sends it (not normalised). */
DEVAPI_API int32_t Q_GetFirmwareVersion(DEVAPI_HANDLE handle, char* text);
/* _Q_GetDeviceFirmwareVersion@8: command 10019; leaves the cancel flag. */
DEVAPI_API int32_t Q_GetDeviceFirmwareVersion(DEVAPI_HANDLE handle, char* text);
/* _Q_IsNewFirmwareMachine@8: *is_new = 1 when "~Platform" contains "RVM". */
DEVAPI_API int32_t Q_IsNewFirmwareMachine(DEVAPI_HANDLE handle, int32_t* is_new);
/* pair[0] = fingerprint algorithm version, pair[1] = face algorithm version. */
DEVAPI_API int32_t Q_GetKeyOptions(DEVAPI_HANDLE handle, int32_t* pair);
DEVAPI_API int32_t Q_GetTime(DEVAPI_HANDLE handle, int32_t* year, int32_t* month, int32_t* day,
                             int32_t* hour, int32_t* minute, int32_t* second);
/* The year is sent modulo 100 (2130 as 2030). Month 1-12, day 1-31, hour
 * 0-23, minute and second 0-59 and a year >= 0, else 4 and nothing sent. */
DEVAPI_API int32_t Q_SetTime(DEVAPI_HANDLE handle, int32_t year, int32_t month, int32_t day,
                             int32_t hour, int32_t minute, int32_t second);
/* *width = 5 first; a terminal that does not answer at all stops the ten
 * attempts early (-2, width 5). */
DEVAPI_API int32_t Q_GetPINWidth(DEVAPI_HANDLE handle, int32_t* width);
/* 1 card-only terminal, 2 terminal with a card reader, 0 none. */
DEVAPI_API int32_t Q_GetCardFun(DEVAPI_HANDLE handle, int32_t* card_fun);
/* Storage counters, index 1-24 (3/21 stored fingerprints/faces, 7/22 their
 * capacities); another index gives 4 before anything else. */
DEVAPI_API int32_t Q_GetDeviceStatus(DEVAPI_HANDLE handle, int32_t index, int32_t* value);
/* The value of "~DeviceStatus" of command 2998; 0 on any failure. */
DEVAPI_API int32_t Q_QueryDevStatus(DEVAPI_HANDLE handle);

/* ==== Device control commands (control commands) ==== */

DEVAPI_API int32_t Q_EnableDevice(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_DisableDevice(DEVAPI_HANDLE handle, int32_t value);
/* On success the session is closed: the handle is no longer valid. */
DEVAPI_API int32_t Q_RebootDevice(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_PowerOffDevice(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_SleepDevice(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_ResumeDevice(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_SuspendDevice(DEVAPI_HANDLE handle);
/* Not supported: -100 (nothing sent). */
DEVAPI_API int32_t Q_AutoPowerOff(DEVAPI_HANDLE handle, int32_t value);
DEVAPI_API int32_t Q_PowerOffTime(DEVAPI_HANDLE handle, int32_t a, int32_t b, int32_t c,
                                  int32_t d, int32_t e);
DEVAPI_API int32_t Q_RefreshData(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_Unlock(DEVAPI_HANDLE handle, int32_t delay);
DEVAPI_API int32_t Q_GetDoorState(DEVAPI_HANDLE handle, int32_t* state);
/* The user number must fit the terminal's field (0-65535 unless the user
 * numbers are wide) and the template index 0-255, else 4 and nothing sent.
 * Failures return the engine's exchange result. */
DEVAPI_API int32_t Q_StartEnroll(DEVAPI_HANDLE handle, int32_t user, int32_t index);
/* The ID text: at most 24 characters on colour-screen terminals, else a
 * decimal number fitting the user-number field; otherwise 4. */
DEVAPI_API int32_t Q_StartEnrollEx(DEVAPI_HANDLE handle, const char* user_id, int32_t index,
                                   int32_t flag);
/* The user number is mapped to the terminal's internal number (which may
 * read the user table); one that maps outside 0-65535 gives 4 and no
 * verification is sent. */
DEVAPI_API int32_t Q_StartVerify(DEVAPI_HANDLE handle, int32_t user, int32_t index);
DEVAPI_API int32_t Q_StartIdentify(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_CancelOperation(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_QueryState(DEVAPI_HANDLE handle, int32_t* state);
/* The request (row, column, 0, text, terminator) is cut at 100 bytes. */
DEVAPI_API int32_t Q_WriteLCD(DEVAPI_HANDLE handle, int32_t row, int32_t column,
                              const char* text);
DEVAPI_API int32_t Q_ClearLCD(DEVAPI_HANDLE handle);
/* Sends duration / 20 as one byte: below 0 counts as 0, above 5119 ms as
 * 5100 ms (255). */
DEVAPI_API int32_t Q_Beep(DEVAPI_HANDLE handle, int32_t duration_ms);
DEVAPI_API int32_t Q_PlayVoice(DEVAPI_HANDLE handle, int32_t first, int32_t second);
DEVAPI_API int32_t Q_PlayVoiceByIndex(DEVAPI_HANDLE handle, int32_t index);
DEVAPI_API int32_t Q_EnableClock(DEVAPI_HANDLE handle, int32_t flag);
/* _Q_SaveCurTime@4, _Q_TurnOffAlarm@4, _Q_CloseAlarm@4: leave the cancel
 * flag as it is. */
DEVAPI_API int32_t Q_SaveCurTime(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_TurnOffAlarm(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_CloseAlarm(DEVAPI_HANDLE handle);

/* Finds terminals: `kind` "UDP", "Eth" or "Ethernet" (else -100), `address`
 * the broadcast address. The result buffer receives one line per terminal,
 * lines separated by CR LF, always terminated within `size` bytes. Null
 * kind, address or buffer, or size <= 0: 4. Otherwise the result of the
 * engine's search: 1 found, 0 none, -1 / -2 / -15104 failures. Lasts at least
 * 5 seconds. */
DEVAPI_API int32_t Q_SearchDevice(const char* kind, const char* address, char* result,
                                  int32_t size);

/* ---- Real-time events ----
 * Pushed events reach the callback given at connect, on the engine's reader
 * thread, as (context, event kind, payload length, payload). The payload is
 * valid only during the call. While the callback runs nothing else is read
 * from that terminal, so it must return promptly and hand longer work to
 * another thread. Other calls on the same handle from inside the callback
 * fail (-2), as their replies would have to be read by the very thread that
 * runs the callback; Q_Close from inside it is allowed. Q_Close from another
 * thread waits until a running callback has returned. */

/* Registers for pushed events: command 500 with `mask` (32-bit, passed
 * through; its bits are the terminal's). 1, or -2 when refused. */
DEVAPI_API int32_t Q_RegEvent(DEVAPI_HANDLE handle, int32_t mask);

/* Polls the events that occurred since the last poll (command 90). 1; -2 when
 * the poll failed (the events of the previous poll are gone too); -100 on
 * firmware below "Ver 6.01" (nothing sent); -101 out of memory. */
DEVAPI_API int32_t Q_ReadRTLog(DEVAPI_HANDLE handle);

/* The next polled event: its code in *event_code and its payload copied to
 * `payload`, which must hold 36 bytes on colour-screen terminals, 16 on
 * firmware above "Ver 6.18 20070807", 14 otherwise. 1; 0 when all are
 * fetched; 4 for a null pointer. */
DEVAPI_API int32_t Q_GetRTLog(DEVAPI_HANDLE handle, int32_t* event_code, uint8_t* payload);

/* ---- Fingerprint template containers (version 10) ----
 * Containers may be given scrambled or plain; results are always scrambled.
 * The inputs are only read, never changed. Both functions print short
 * progress lines to standard output. */

/* Merges `count` containers into one written to `merged`, which must hold
 * 16384 bytes. Several inputs must share their format words; each needs a
 * length of 24 to 16384 bytes with its blocks ending exactly there. Returns
 * the merged length, 0 on failure (nothing written). */
DEVAPI_API int32_t FPTOOL_MERGE_TEMPLATE(const unsigned char* const* containers, int32_t count,
                                         unsigned char* merged);

/* Splits a container into single-finger containers: `outputs` points to one
 * buffer of 4119 bytes per finger and `lengths` has an entry per finger (ten
 * at most). Stores the number of containers in *count and returns it; 0 on
 * failure (nothing written), also for a container of more than ten fingers. */
DEVAPI_API int32_t FPTOOL_SPLIT_TEMPLATE(const unsigned char* container,
                                         unsigned char* const* outputs, int32_t* count,
                                         int32_t* lengths);

/* ==== Attendance log ====
 *
 * A download fills the session's shared download buffer; the iterators then
 * walk it record by record (1 per record, 0 at the end, -2 when the
 * download they start by themselves on an empty view fails; a terminal
 * without records gives 0). Every download drops the views of other kinds
 * of data held in that buffer. Output pointers passed as null are skipped.
 *
 * Record counts and lengths sent by the terminal are never trusted beyond
 * the bytes that arrived; a record cut short ends the iteration.
 *
 * Names: the decorated functions _Q_ReadTimeLog@52, _Q_ReadNewAttLog@4,
 * _Q_SSR_GetLogEx@44, _Q_DeleteAttlogBetweenTheDate@52 and
 * _Q_DeleteAttlogByTime@28 are exported under their plain names. */

/* The whole log (mode 0), or on firmware "Ver 6.01" and later the records
 * not taken yet (mode 1; mode 2 with the mark of Q_ReadLogEx). 1; 0 no
 * records; -2 failure. */
DEVAPI_API int32_t Q_ReadLog(DEVAPI_HANDLE handle, int32_t mode);
DEVAPI_API int32_t Q_ReadLogEx(DEVAPI_HANDLE handle, int32_t mode, int32_t mark);
/* flag 0: the whole log; otherwise the latest `count` records (below 1: 0)
 * from the given moment on. 1; 0; -2. */
DEVAPI_API int32_t Q_ReadLastestLog(DEVAPI_HANDLE handle, int32_t flag, int32_t year,
                                    int32_t month, int32_t day, int32_t hour, int32_t minute,
                                    int32_t second, int32_t count);
/* Records between two moments. Each moment needs a year of at least 1900,
 * month <= 12, day <= 31, hour <= 24, minute and second <= 60 (negative
 * values fail), else -2 before the handle is looked at. 1; 0 no records or
 * a failed transfer; -1. */
DEVAPI_API int32_t Q_ReadTimeLog(DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month,
                                 int32_t start_day, int32_t start_hour, int32_t start_minute,
                                 int32_t start_second, int32_t end_year, int32_t end_month,
                                 int32_t end_day, int32_t end_hour, int32_t end_minute,
                                 int32_t end_second);
/* The records not taken yet: 1, or the transfer's result (0 or negative). */
DEVAPI_API int32_t Q_ReadNewAttLog(DEVAPI_HANDLE handle);
/* The raw database read: the first byte of `buffer` selects the data; the
 * reply (one packet at most) comes back in `buffer` (`size` bytes). Does
 * not touch the downloaded views. 1; -2; 4 for a null buffer or size < 1. */
DEVAPI_API int32_t Q_ReadData(DEVAPI_HANDLE handle, void* buffer, int32_t size);

/* Next record as user number, verify mode, attendance state and time. On
 * terminals with wide user numbers (Q_GetPINWidth above 5) the compact
 * records' internal numbers are reported as the users' PIN2. */
DEVAPI_API int32_t Q_GetLog(DEVAPI_HANDLE handle, int32_t* user, uint8_t* verify_mode,
                            uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                            int32_t* hour, int32_t* minute, int32_t* second);
/* As Q_GetLog, with the work code and the reserved value (both 0 on
 * terminals without the extended records). */
DEVAPI_API int32_t Q_GetExtLog(DEVAPI_HANDLE handle, int32_t* user, uint8_t* verify_mode,
                               uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                               int32_t* hour, int32_t* minute, int32_t* second,
                               int32_t* work_code, int32_t* reserved);
/* Next record of a terminal that names users by ID text. The ID text is
 * written with at most Q_GetPINWidth's width (at most 24; 10 on terminals
 * of the 22-byte records) characters, zero-padded to that width and
 * terminated: `user_id` must hold 25 bytes. Before Q_GetPINWidth was called
 * the width is 0 and `user_id` is left untouched. */
DEVAPI_API int32_t Q_SSR_GetLog(DEVAPI_HANDLE handle, char* user_id, uint8_t* verify_mode,
                                uint8_t* att_state, int32_t* year, int32_t* month, int32_t* day,
                                int32_t* hour, int32_t* minute, int32_t* second,
                                int32_t* work_code);
/* As Q_SSR_GetLog for records with a work-code text, which is written as 25
 * bytes (24 characters at most, then zeros). Leaves the cancel flag. */
DEVAPI_API int32_t Q_SSR_GetLogEx(DEVAPI_HANDLE handle, char* user_id, int32_t* verify_mode,
                                  int32_t* att_state, int32_t* year, int32_t* month,
                                  int32_t* day, int32_t* hour, int32_t* minute, int32_t* second,
                                  char* work_code_text);

/* Deletes every attendance record on the terminal. 1; -2. */
DEVAPI_API int32_t Q_ClearLogData(DEVAPI_HANDLE handle);
/* Deletes the records between two moments (checked as for Q_ReadTimeLog,
 * after the handle). 1; -2. */
DEVAPI_API int32_t Q_DeleteAttlogBetweenTheDate(
    DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month, int32_t start_day,
    int32_t start_hour, int32_t start_minute, int32_t start_second, int32_t end_year,
    int32_t end_month, int32_t end_day, int32_t end_hour, int32_t end_minute, int32_t end_second);
/* Deletes the records up to a moment (checked as for Q_ReadTimeLog). */
DEVAPI_API int32_t Q_DeleteAttlogByTime(DEVAPI_HANDLE handle, int32_t year, int32_t month,
                                        int32_t day, int32_t hour, int32_t minute,
                                        int32_t second);

/* Writes the raw bytes of a downloaded view, from its cursor to its end, to
 * `file_name` (replaced): type 1 the attendance records, 2 the user table;
 * 3, 4 and 5 the attendance tables (rules, departments, time slots). 1; 0
 * for another type or an empty view (the file is left alone); -2 when the
 * file cannot be created or the write comes short; 4 for a null or empty
 * file name. */
DEVAPI_API int32_t Q_SSR_SaveDate(DEVAPI_HANDLE handle, const char* file_name, int32_t type);

/* ==== Operation log ====
 * Firmware below "Ver 5.04" keeps no operation log: 0 (Q_SSR_GetOpLog: -2,
 * its download fails). */

/* The whole log (mode 0) or the records not taken yet (firmware "Ver 6.01"
 * and later). Refreshes the user table first. 1; 0; -2. */
DEVAPI_API int32_t Q_ReadOpLog(DEVAPI_HANDLE handle, int32_t mode);
/* Next record: administrator, operation, four parameters (`params` holds
 * 4), time. With wide user numbers the compact records' administrator, and
 * the first parameter of operations 6 to 12 and 30, are reported as PIN2. */
DEVAPI_API int32_t Q_GetOpLog(DEVAPI_HANDLE handle, int32_t* admin, int32_t* operation,
                              int32_t* params, int32_t* year, int32_t* month, int32_t* day,
                              int32_t* hour, int32_t* minute, int32_t* second);
/* Next record of a terminal that names users by ID text: the two ID texts
 * (24-byte buffers, at most 23 characters, terminated), the operation, the
 * time as "MM-DD-YYYY hh:mm" (`time_text` holds 17 bytes) and three
 * parameters. */
DEVAPI_API int32_t Q_SSR_GetOpLog(DEVAPI_HANDLE handle, char* admin_id, char* second_id,
                                  int32_t* operation, char* time_text, int32_t* params);
/* Records between two moments (years taken modulo 100), chosen by
 * `selector`, into their own view. 1; 0; -2. */
DEVAPI_API int32_t Q_ReadOpLogEx(DEVAPI_HANDLE handle, int32_t start_year, int32_t start_month,
                                 int32_t start_day, int32_t start_hour, int32_t start_minute,
                                 int32_t start_second, int32_t end_year, int32_t end_month,
                                 int32_t end_day, int32_t end_hour, int32_t end_minute,
                                 int32_t end_second, int32_t selector);
/* Next record of Q_ReadOpLogEx's view (-2 before it was filled), with its
 * text (`text` holds 24 bytes: at most 23 characters, terminated). */
DEVAPI_API int32_t Q_GetOpLogEx(DEVAPI_HANDLE handle, int32_t* admin, int32_t* operation,
                                int32_t* params, int32_t* year, int32_t* month, int32_t* day,
                                int32_t* hour, int32_t* minute, int32_t* second, char* text);
/* Deletes every operation record on the terminal. 1; -2. */
DEVAPI_API int32_t Q_ClearOpLogData(DEVAPI_HANDLE handle);

/* ==== Users and the user cache ====
 *
 * User numbers: the PIN is the terminal's internal number (1-65534); the
 * PIN2 is the number people see on terminals with wide user numbers; colour-
 * screen (TFT) terminals name users by an ID text of at most 24 characters
 * (the SSR_Q_ calls). A numeric user argument is mapped to the PIN through
 * the user cache. A number that maps to no valid PIN is never cut to 16 bits:
 * nothing is sent and deletions give 0, the other calls -2. An ID text
 * argument that is null or longer than 24 characters gives 4 and nothing is
 * sent; text arguments are read up to their terminator, never past their
 * field.
 *
 * The cache is downloaded by Q_ReadUserInfo, or by the first call that needs
 * it, and kept in step with the writes made through this session. Records:
 * 16 bytes (firmware below "Ver 5.04"), 28 bytes, or 72 bytes on colour-
 * screen terminals. Output pointers passed as null are skipped.
 *
 * Output sizes: name 9 bytes and password 6 (narrow calls), name 25 and
 * password 9 (SSR_ calls), ID text 25, card 5 bytes, time zones 4 ints. */

/* Downloads the user table: 1; 0 the terminal has no users; -2. */
DEVAPI_API int32_t Q_ReadUserInfo(DEVAPI_HANDLE handle);
/* The next cached user (the table is downloaded first when the cache holds
 * none: -2 when that fails, 0 when it is empty). 1; 0 at the end. On
 * firmware below "Ver 5.04": PIN2 0, card 0, group 1, time_zones[0] -1. On
 * colour-screen terminals the PIN2 is the ID text's number (0 when it is
 * none). Time zones: time_zones[0] = -1 when the user follows its group. */
DEVAPI_API int32_t Q_GetUserInfo(DEVAPI_HANDLE handle, int32_t* pin, char* name,
                                 int32_t* privilege, int32_t* enabled, char* password,
                                 uint8_t* card, int32_t* pin2, int32_t* group,
                                 int32_t* time_zones);
/* One user by PIN, or by *pin2 when pin is 0 (its PIN2 is written back).
 * 1; 0 not found; -2 the table cannot be downloaded. */
DEVAPI_API int32_t Q_QueryUserInfo(DEVAPI_HANDLE handle, int32_t pin, char* name,
                                   int32_t* privilege, int32_t* enabled, char* password,
                                   uint8_t* card, int32_t* pin2, int32_t* group,
                                   int32_t* time_zones);
/* Writes one user. pin 0: the user with this PIN2, or a new user with a free
 * PIN. A PIN outside 0-65534, or no PIN left for a new user: -10. -2 when the
 * terminal refuses, or when a new user would need a PIN and the table cannot
 * be downloaded. name 8 and password 5 characters at most are taken; card is
 * 5 bytes; time_zones null or {-1, ...}: the user follows its group. */
DEVAPI_API int32_t Q_SetUserInfo(DEVAPI_HANDLE handle, int32_t pin, const char* name,
                                 int32_t privilege, int32_t enabled, const char* password,
                                 const uint8_t* card, int32_t pin2, int32_t group,
                                 const int32_t* time_zones);
/* PIN2 of a cached user; -1 not found; -2 below "Ver 5.04". */
DEVAPI_API int32_t Q_GetUserPIN2(DEVAPI_HANDLE handle, int32_t pin);
/* PIN of the cached user with this PIN2; -1 not found; -2 below "Ver 5.04". */
DEVAPI_API int32_t Q_GetUserID(DEVAPI_HANDLE handle, int32_t pin2);
/* PIN of the user with this PIN2; 0 not found; -2 the table cannot be
 * downloaded. */
DEVAPI_API int32_t Q_QueryUserByPIN2(DEVAPI_HANDLE handle, int32_t pin2);
/* PIN of the user whose 5 card bytes match; 0 not found; -2 as above. */
DEVAPI_API int32_t Q_QueryUserByCard(DEVAPI_HANDLE handle, const uint8_t* card);
/* Deletes a user by number. 1; 0 not deleted (unknown, or a number that is
 * no PIN); -2. */
DEVAPI_API int32_t Q_DelUser(DEVAPI_HANDLE handle, int32_t user);
/* Command 81 for a PIN, or for the user with PIN2 when pin is 0. 1; 0; -2. */
DEVAPI_API int32_t Q_DeleteUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2);

/* The next colour-screen user, skipping empty slots (PIN 0). The ID text is
 * cut to the terminal's user-number width (Q_GetPINWidth; nothing before it
 * was asked) and terminated. tz_words: the four time-zone words. 1; 0. */
DEVAPI_API int32_t SSR_Q_GetUserInfo(DEVAPI_HANDLE handle, int32_t* pin, char* id_text,
                                     char* name, int32_t* privilege, int32_t* enabled,
                                     char* password, int32_t* card, int32_t* group,
                                     int32_t* tz_words);
/* One colour-screen user by ID text; its PIN comes back in *pin. 1; 0; -2. */
DEVAPI_API int32_t SSR_Q_QueryUserInfo(DEVAPI_HANDLE handle, const char* id_text, char* name,
                                       int32_t* privilege, int32_t* enabled, char* password,
                                       int32_t* card, int32_t* group, int32_t* tz_words,
                                       int32_t* pin);
/* Writes one colour-screen user (name 24, password 8 characters at most;
 * card and tz_words may be null). An empty ID text gives 4. 1; -2. */
DEVAPI_API int32_t SSR_Q_SetUserInfo(DEVAPI_HANDLE handle, const char* id_text, const char* name,
                                     int32_t privilege, int32_t enabled, const char* password,
                                     const int32_t* card, int32_t group, const int32_t* tz_words);
/* Deletes a colour-screen user by ID text. 1; 0 unknown; -2. */
DEVAPI_API int32_t SSR_Q_DelUser(DEVAPI_HANDLE handle, const char* id_text);
/* Command 133: the terminal finds the user by ID text. 1; 0; -2. */
DEVAPI_API int32_t SSR_Q_DelUserExt(DEVAPI_HANDLE handle, const char* id_text);

/* Deletes all data on the terminal. 1; -2. */
DEVAPI_API int32_t Q_ClearData(DEVAPI_HANDLE handle);
/* Deletes one kind of data (1-5, 31; anything else gives 4 even with a null
 * handle; 5 = users). 1; -2. */
DEVAPI_API int32_t Q_ClearDataEx(DEVAPI_HANDLE handle, int32_t kind);
/* Takes every administrator's rights. 1; -2. */
DEVAPI_API int32_t Q_ClearAdministrators(DEVAPI_HANDLE handle);

/* Per-user attributes; `user` is a user number (an ID text's number on
 * colour-screen terminals, 0 when that ID is unknown). 1; -2. A reply too
 * short for the fields read (group: 4 bytes; time zones: 8 bytes on
 * colour-screen terminals, else the 4-byte count and 4 bytes for each of
 * the at most 3 zones it announces; verification style: 3 bytes) gives -2
 * and leaves the outputs untouched; so does every call that reads a
 * fixed-layout reply. */
DEVAPI_API int32_t Q_GetUserGroup(DEVAPI_HANDLE handle, int32_t user, int32_t* group);
DEVAPI_API int32_t Q_SetUserGroup(DEVAPI_HANDLE handle, int32_t user, int32_t group);
/* time_zones: 4 ints; *follows_group = 1 when the user follows its group. */
DEVAPI_API int32_t Q_GetUserTZs(DEVAPI_HANDLE handle, int32_t user, int32_t* time_zones,
                                int32_t* follows_group);
/* time_zones null: the user follows its group. */
DEVAPI_API int32_t Q_SetUserTZs(DEVAPI_HANDLE handle, int32_t user, const int32_t* time_zones);
/* The verification style of a user (by PIN, or by PIN2 when pin is 0). */
DEVAPI_API int32_t Q_GetUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                   int32_t* verify_style);
DEVAPI_API int32_t Q_SetUserInfoEx(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                   int32_t verify_style);
/* Identity-card data by ID text. Set: 1; 0 unknown user; -4, -5 refused;
 * -2. Get: `buffer` of `capacity` bytes (at least 25) receives the data;
 * 1; 0 none; -2. Delete: 1; 0; -2; -100 without a face algorithm. */
DEVAPI_API int32_t Q_SetUserIDCard(DEVAPI_HANDLE handle, const char* id_text,
                                   const uint8_t* data, int32_t length);
DEVAPI_API int32_t Q_GetUserIDCard(DEVAPI_HANDLE handle, const char* id_text, uint8_t* buffer,
                                   int32_t capacity);
DEVAPI_API int32_t Q_DelUserIDCard(DEVAPI_HANDLE handle, const char* id_text);

/* ==== Faces, validity periods and verification styles ====
 *
 * Users are named by their ID text (at most 24 characters; null or longer
 * gives 4 and nothing is sent). Face calls need a terminal that reported a
 * face algorithm ("QXFaceVersion"), else -100. A face record is 2576 bytes:
 * u16 template length, u16 PIN, u8 face index, u8 valid flag, 10 bytes of
 * which the first is 8 for algorithm version 8, 2560 template bytes. Face
 * index 0-255 (50: all of the user's faces), else 4. */
/* *length in: the buffer's size (> 0); out: the bytes read (0 to that).
 * 1; 0 refused (no faces); -103 refused with 4981; -2. */
DEVAPI_API int32_t Q_GetUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index,
                                 uint8_t* buffer, int32_t* length);
/* Whole records, at least 16 bytes (else 4). Records of version 8 (byte 6
 * of the first) need a version-8 terminal and the others another: -102.
 * More than 65535 bytes: -3. 1; -103 refused with 4994 or 4995; refused
 * for reasons 2 / 1 / 4: 0 / -4 / -5; -2. */
DEVAPI_API int32_t Q_SetUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index,
                                 const uint8_t* records, int32_t length);
/* 1; 0 nothing to delete; -2. */
DEVAPI_API int32_t Q_DelUserFace(DEVAPI_HANDLE handle, const char* id_text, int32_t index);
/* _Q_SetUserVD@64, _Q_GetUserVD@64: two values and a start and an end moment
 * (year 2000-2132, month 1-12, day 1-31, hour 0-23, minute and second 0-59;
 * else 4). 1; -2 (also a reply shorter than 40 bytes). */
DEVAPI_API int32_t Q_SetUserVD(DEVAPI_HANDLE handle, const char* id_text, int32_t value1,
                               int32_t value2, int32_t start_year, int32_t start_month,
                               int32_t start_day, int32_t start_hour, int32_t start_minute,
                               int32_t start_second, int32_t end_year, int32_t end_month,
                               int32_t end_day, int32_t end_hour, int32_t end_minute,
                               int32_t end_second);
DEVAPI_API int32_t Q_GetUserVD(DEVAPI_HANDLE handle, const char* id_text, int32_t* value1,
                               int32_t* value2, int32_t* start_year, int32_t* start_month,
                               int32_t* start_day, int32_t* start_hour, int32_t* start_minute,
                               int32_t* start_second, int32_t* end_year, int32_t* end_month,
                               int32_t* end_day, int32_t* end_hour, int32_t* end_minute,
                               int32_t* end_second);
/* _Q_GetUserVerifyStyle@16, _Q_SetUserVerifyStyle@16 (the fourth argument
 * is not used). 1; 0 the ID text is not in the user cache; -2. */
DEVAPI_API int32_t Q_GetUserVerifyStyle(DEVAPI_HANDLE handle, const char* id_text,
                                        int32_t* style, int32_t unused);
DEVAPI_API int32_t Q_SetUserVerifyStyle(DEVAPI_HANDLE handle, const char* id_text, int32_t style,
                                        int32_t unused);

/* ==== Access-control data ====
 *
 * Results: 1; -2 refused, or a reply shorter than its record (outputs then
 * untouched); 4 an argument out of range or a null text, buffer or output
 * the call writes (nothing sent). Texts written to the caller are always
 * terminated within their sizes. */
/* Weekly time zones: seven weekdays of HHMMhhmm (start, end), 56 digits;
 * `text` holds 57 bytes. An hour of 24 or more or a minute of 60 or more,
 * or a text shorter than 56, gives 4 (a day cannot end at 24:00: 2359). */
DEVAPI_API int32_t Q_GetTZInfo(DEVAPI_HANDLE handle, int32_t zone, char* text);
DEVAPI_API int32_t Q_SetTZInfo(DEVAPI_HANDLE handle, int32_t zone, const char* text);
/* Unlock groups text; `text` holds 200 bytes. */
DEVAPI_API int32_t Q_GetUnlockGroups(DEVAPI_HANDLE handle, char* text);
DEVAPI_API int32_t Q_SetUnlockGroups(DEVAPI_HANDLE handle, const char* text);
/* Lock combinations 0-10 of up to five groups 0-99. Get: -100 refused. */
DEVAPI_API int32_t Q_GetlockComb(DEVAPI_HANDLE handle, int32_t number, int32_t* group1,
                                 int32_t* group2, int32_t* group3, int32_t* group4,
                                 int32_t* group5);
DEVAPI_API int32_t Q_SetlockComb(DEVAPI_HANDLE handle, int32_t number, int32_t group1,
                                 int32_t group2, int32_t group3, int32_t group4, int32_t group5);
/* A group's time zones as for the user calls: `zones` receives 3 ints (4 on
 * colour-screen terminals, the fourth the mode word); set: 4 ints or null. */
DEVAPI_API int32_t Q_GetGroupTZs(DEVAPI_HANDLE handle, int32_t group, int32_t* zones);
DEVAPI_API int32_t Q_SetGroupTZs(DEVAPI_HANDLE handle, int32_t group, const int32_t* zones);
/* The fixed form: group 0-99, zones 0-50, a flag and a number 0-127. Get:
 * -100 refused. */
DEVAPI_API int32_t Q_GetGroupTZ(DEVAPI_HANDLE handle, int32_t group, int32_t* zone1,
                                int32_t* zone2, int32_t* zone3, int32_t* flag, int32_t* number);
DEVAPI_API int32_t Q_SetGroupTZ(DEVAPI_HANDLE handle, int32_t group, int32_t zone1,
                                int32_t zone2, int32_t zone3, int32_t flag, int32_t number);
/* Holidays: up to 24 groups of MMDDmmdd; `text` holds 193 bytes and gets
 * all 24, *length 8 times the non-empty ones. Set: groups of 8 characters,
 * a partial group, a month above 12 or a day of 32 or more gives 4. */
DEVAPI_API int32_t Q_GetHoliday(DEVAPI_HANDLE handle, char* text, int32_t* length);
DEVAPI_API int32_t Q_SetHoliday(DEVAPI_HANDLE handle, const char* text);
/* Holiday time zones 1-24 (1-99 on RVM terminals), zone 0-65535. Get:
 * -100 refused. */
DEVAPI_API int32_t Q_GetHolidayTZ(DEVAPI_HANDLE handle, int32_t number, int32_t* start_month,
                                  int32_t* start_day, int32_t* end_month, int32_t* end_day,
                                  int32_t* zone);
DEVAPI_API int32_t Q_SetHolidayTZ(DEVAPI_HANDLE handle, int32_t number, int32_t start_month,
                                  int32_t start_day, int32_t end_month, int32_t end_day,
                                  int32_t zone);
/* Short messages 0-65535; content 320 bytes on colour-screen terminals,
 * else 60 (read up to its terminator; written terminated within them). The
 * year is kept modulo 100. Deletions: 0 when there is nothing to delete. */
DEVAPI_API int32_t Q_GetSMS(DEVAPI_HANDLE handle, int32_t number, int32_t* tag,
                            int32_t* valid_minutes, int32_t* year, int32_t* month, int32_t* day,
                            int32_t* hour, int32_t* minute, int32_t* second, char* content);
DEVAPI_API int32_t Q_SetSMS(DEVAPI_HANDLE handle, int32_t number, int32_t tag,
                            int32_t valid_minutes, int32_t year, int32_t month, int32_t day,
                            int32_t hour, int32_t minute, int32_t second, const char* content);
DEVAPI_API int32_t Q_DeleteSMS(DEVAPI_HANDLE handle, int32_t number);
DEVAPI_API int32_t Q_ClearSMS(DEVAPI_HANDLE handle);
/* Links of users to messages. pin 0-65534 (0: the user with this PIN2, 0
 * when there is none, -2 when the table cannot be read); the ID-text forms
 * give 0 for an unknown text. */
DEVAPI_API int32_t Q_SetUData(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2, int32_t message);
DEVAPI_API int32_t Q_DeleteUData(DEVAPI_HANDLE handle, int32_t pin, int32_t pin2,
                                 int32_t message);
DEVAPI_API int32_t Q_SetSsrUData(DEVAPI_HANDLE handle, const char* id_text, int32_t message);
DEVAPI_API int32_t Q_DelSsrUData(DEVAPI_HANDLE handle, const char* id_text, int32_t message);
DEVAPI_API int32_t Q_ClearUData(DEVAPI_HANDLE handle);
/* Mifare cards: a 12-byte header whose four u16 section lengths (offsets 0,
 * 3, 6, 9) sum to at most 4096 (else 4), taken from the 4096-byte data.
 * The number is sent as 16 bits until Q_GetPINWidth learnt wide numbers.
 * 1; refused for reasons 2 / 1 / 4: 0 / -4 / -5; -2. */
DEVAPI_API int32_t Q_MFWrite(DEVAPI_HANDLE handle, int32_t number, const uint8_t* header,
                             const uint8_t* data);
DEVAPI_API int32_t Q_MFEmpty(DEVAPI_HANDLE handle);
/* Saves one kind of data (its low byte is sent) to a file: the data after
 * its 32-bit count. 1; 0 no data; -2; -4 no memory; 4 the file cannot be
 * written (an existing one stays as it was). Waits a second after a read. */
DEVAPI_API int32_t Q_GetData(DEVAPI_HANDLE handle, int32_t kind, const char* file_name);

/* ==== Fingerprint templates ====
 *
 * Templates are keyed by user and finger index (0-9; other values up to 255
 * are passed through). The template algorithm version is Q_GetKeyOptions'
 * first value: 10 selects version-10 containers, anything else version 9.
 * A finger or flag outside 0-255, a null template, ID text or output gives
 * 4 and nothing is sent. User arguments map to PINs as for the user calls;
 * "user text" arguments are ID texts on colour-screen terminals and decimal
 * user numbers elsewhere. A user that maps to no PIN: reads, lookups and
 * deletions give 0, writes -2.
 *
 * Lengths are in/out: in, the capacity of the caller's buffer; out, the
 * template's length. A template that does not fit is not copied: 4, and the
 * length needed comes back. Buffers of 2048 bytes hold any version-9
 * template; version-10 containers need up to 32768. Flags: 1 valid, 3
 * duress.
 *
 * Results: 1; 0 not found / no data; -2 refused or failed; -3 a template
 * outside the limits (version 9 after re-encoding: 50 to 1011 bytes, 598 for
 * Q_SetUserTmpEx, longer ones are shrunk; version 10: at most 32768, at
 * least 128 for Q_SetUserTmpEx); -4 / -5 writes refused for reasons 1 / 4;
 * -100 a version rule broken. */

/* Downloads every template into the session's template view: piecewise
 * when the terminal offers it (then the quick index is built too), else in
 * bulk. Drops the other downloaded views. 1; 0 none; -2. The bulk form waits
 * for the terminal to prepare its table at most DEVWIRE_FIRST_ANSWER_LIMIT_MS
 * per attempt and DEVWIRE_QUERY_DEADLINE_MS in all, then the data has the
 * deadline of devwire.h. */
DEVAPI_API int32_t Q_ReadTempData(DEVAPI_HANDLE handle);
/* Every template through the piecewise download only (no quick index). */
DEVAPI_API int32_t Q_ReadLargeTmp(DEVAPI_HANDLE handle);
/* One user's templates into the view. 1 (also for a user without
 * templates); 0 the user has no PIN or the terminal has nothing; -4 when a
 * full download is loaded; -2. */
DEVAPI_API int32_t Q_ReadUserTempData(DEVAPI_HANDLE handle, const char* user);
/* Rebuilds the quick index from the current view. 1. */
DEVAPI_API int32_t InitQuickUserTempEx(DEVAPI_HANDLE handle);

/* From the view when one is loaded (no match: 0, the terminal is not
 * asked), else from the terminal as the Get calls below. Q_QueryUserTemp
 * reports the version-9 template's own length. Q_QueryUserTempEx also
 * reports the flag (may be null). */
DEVAPI_API int32_t Q_QueryUserTemp(DEVAPI_HANDLE handle, int32_t user, int32_t finger,
                                   uint8_t* buffer, int32_t* length);
DEVAPI_API int32_t SSR_Q_QueryUserTemp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                       uint8_t* buffer, int32_t* length);
DEVAPI_API int32_t Q_QueryUserTempEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                     int32_t* flag, uint8_t* buffer, int32_t* length);

/* From the terminal. The out length is the bytes that arrived (at most the
 * capacity). Q_GetUserTmpEx reports one byte less (the trailing flag byte)
 * and writes *flag only on colour-screen terminals. 1; 0 no such
 * template; -2. */
DEVAPI_API int32_t Q_GetUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger, uint8_t* buffer,
                                int32_t* length);
DEVAPI_API int32_t SSR_Q_GetUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                    uint8_t* buffer, int32_t* length);
DEVAPI_API int32_t Q_GetUserTmpEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                  int32_t* flag, uint8_t* buffer, int32_t* length);

/* Writes. On version-10 terminals SSR_Q_SetUserTmp takes finger 15 only
 * (else -100, tested first) and both it and Q_SetUserTmpEx take containers
 * (a version-9 template gives -100). SSR_Q_SetUserTmpExt shrinks templates
 * to what fits one packet with its 28-byte header (996 bytes on UDP and
 * serial lines). Q_AppendUserTmp lets the terminal choose the finger. */
DEVAPI_API int32_t Q_SetUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger,
                                const uint8_t* tmpl);
DEVAPI_API int32_t SSR_Q_SetUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger,
                                    const uint8_t* tmpl);
DEVAPI_API int32_t Q_SetUserTmpEx(DEVAPI_HANDLE handle, const char* user, int32_t finger,
                                  int32_t flag, const uint8_t* tmpl);
DEVAPI_API int32_t SSR_Q_SetUserTmpExt(DEVAPI_HANDLE handle, int32_t flag, const char* id_text,
                                       int32_t finger, const uint8_t* tmpl);
DEVAPI_API int32_t Q_AppendUserTmp(DEVAPI_HANDLE handle, int32_t user, const uint8_t* tmpl);

/* Deletions. 1; 0 no such template; -2. */
DEVAPI_API int32_t Q_DelUserTmp(DEVAPI_HANDLE handle, int32_t user, int32_t finger);
DEVAPI_API int32_t SSR_Q_DelUserTmp(DEVAPI_HANDLE handle, const char* id_text, int32_t finger);
DEVAPI_API int32_t SSR_Q_DelUserTmpExt(DEVAPI_HANDLE handle, const char* id_text, int32_t finger);

/* Asks the terminal whose template matches a version-9 template. 1 and the
 * user in *pin (its PIN2 on terminals with wide user numbers); 0 no match;
 * 4 a template the codec cannot read (nothing sent); -2 (also for an
 * answer without the 2-byte PIN). */
DEVAPI_API int32_t Q_TestUserTmp(DEVAPI_HANDLE handle, int32_t* pin, const uint8_t* tmpl);

/* Template tools (no handle). 1, or 4 for an unusable template.
 * Q_FPTempLength: the template's length. Q_SetFPTempLength: shrinks the
 * template in place to at most `max_length` bytes. Q_FPTempConvert: the
 * standard encoding into `out` (1023 bytes). Q_FPTempConvertNew: the compact
 * encoding into `out` (2309 bytes), shrunk to *length when that is 101 to
 * 2047 and shorter than the result; the result's length comes back. */
DEVAPI_API int32_t Q_FPTempLength(const uint8_t* tmpl, int32_t* length);
DEVAPI_API int32_t Q_SetFPTempLength(uint8_t* tmpl, int32_t max_length);
DEVAPI_API int32_t Q_FPTempConvert(const uint8_t* in, uint8_t* out, int32_t* length);
DEVAPI_API int32_t Q_FPTempConvertNew(const uint8_t* in, uint8_t* out, int32_t* length);
/* As FPTOOL_MERGE_TEMPLATE and FPTOOL_SPLIT_TEMPLATE. */
DEVAPI_API int32_t Q_MergeTemplate(const unsigned char* const* containers, int32_t count,
                                   unsigned char* merged);
DEVAPI_API int32_t Q_SplitTemplate(const unsigned char* container, unsigned char* const* outputs,
                                   int32_t* count, int32_t* lengths);

/* ==== Batch update ====
 *
 * Between Q_BeginBatchUpdate and Q_BatchUpdate (or Q_CancelBatchUpdate)
 * Q_SetUserInfo (extended layout), SSR_Q_SetUserInfo, Q_DelUser,
 * SSR_Q_DelUser, SSR_Q_DelUserExt, Q_SetUserTmp, SSR_Q_SetUserTmp,
 * Q_SetUserTmpEx, SSR_Q_SetUserTmpExt, Q_DelUserTmp, SSR_Q_DelUserTmp and
 * SSR_Q_DelUserTmpExt only collect their entry in the session, after their
 * own checks, and return 1; nothing reaches the terminal until
 * Q_BatchUpdate. Each of them may instead give: 0 for an ID text nobody has
 * (nothing collected); -4 when the batch is full (6 MiB of user entries,
 * 10 MiB of template operations, 70 MiB of template data, 6 MiB of new
 * users; it keeps what it holds); 4 when the batch already holds entries of
 * the other form (28-byte user records, or the colour-screen 72-byte records
 * and 4-byte deletions; template operations by PIN, or by ID text:
 * SSR_Q_SetUserTmpExt, SSR_Q_DelUserTmpExt, SSR_Q_DelUserExt). Every other
 * call goes to the terminal at once. */

/* Opens a batch (flag 1: template additions replace existing templates);
 * a second call starts over. 1; -100 on firmware below "Ver 5.11", or on
 * colour-screen terminals with version-10 templates below "Ver 6.60". */
DEVAPI_API int32_t Q_BeginBatchUpdate(DEVAPI_HANDLE handle, int32_t flag);
/* Uploads the batch and has the terminal apply it in one step; the batch
 * ends whatever the result, and the terminal is left disabled. 1 applied;
 * 0 the terminal refused to be disabled (nothing uploaded); -2 the upload or
 * the apply failed (also when cancelled with Q_CancelByUser); -4 no memory
 * for the package; -100 no batch open. */
DEVAPI_API int32_t Q_BatchUpdate(DEVAPI_HANDLE handle);
/* Drops the batch; nothing is sent. 1. */
DEVAPI_API int32_t Q_CancelBatchUpdate(DEVAPI_HANDLE handle);

/* ==== Terminal extras ====
 * Names: the decorated functions (_Q_SSR_GetWorkCodeEx@12 ... _Q_GetBellInfo@40,
 * the tip and labor functions, _Q_SSR_NewSetShortKey@28 and
 * _Q_SSR_NewGetShortKey@28) are exported under their plain names; they and
 * the two state-map calls leave the cancel flag. Results: 1 done; -1 null
 * handle; -2 refused, no answer or a short or malformed reply (outputs
 * untouched); 4 a bad argument, nothing sent.
 * Caller sizes: a work-code record, field or name is 7 int32 values (the
 * seventh is set to 0 on reading); a short key's four values are one array
 * of 4; its time text holds 43 bytes (seven "HH:MM;"), the new form's 321
 * (sixteen "HH:MM:f:f:f:f:f:f:f;"). */
/* Plain work codes by index 0-65535. Delete: 1; 0 none; -2. */
DEVAPI_API int32_t Q_GetWorkCode(DEVAPI_HANDLE handle, int32_t index, int32_t* code);
DEVAPI_API int32_t Q_SetWorkCode(DEVAPI_HANDLE handle, int32_t index, int32_t code);
DEVAPI_API int32_t Q_DeleteWorkCode(DEVAPI_HANDLE handle, int32_t index);
DEVAPI_API int32_t Q_ClearWorkCode(DEVAPI_HANDLE handle);
/* Text-form work codes keyed by the number's decimal text (at most 7
 * characters to read, 8 to write or delete). */
DEVAPI_API int32_t Q_SSR_GetWorkCode(DEVAPI_HANDLE handle, int32_t number, int32_t* record);
DEVAPI_API int32_t Q_SSR_SetWorkCode(DEVAPI_HANDLE handle, int32_t number, const int32_t* record);
DEVAPI_API int32_t Q_SSR_DeleteWorkCode(DEVAPI_HANDLE handle, int32_t number);
DEVAPI_API int32_t Q_SSR_ClearWorkCode(DEVAPI_HANDLE handle);
/* Extended work codes: the first field is the code text, the second the
 * name; texts of at most 24 characters; IDs 0-16777215. */
DEVAPI_API int32_t Q_SSR_GetWorkCodeEx(DEVAPI_HANDLE handle, const char* code_text,
                                       int32_t* record);
DEVAPI_API int32_t Q_SSR_GetWorkCodeExByID(DEVAPI_HANDLE handle, int32_t number, int32_t* first,
                                           int32_t* second);
DEVAPI_API int32_t Q_SSR_SetWorkCodeEx(DEVAPI_HANDLE handle, const int32_t* first,
                                       const int32_t* second);
DEVAPI_API int32_t Q_SSR_DeleteWorkCodeEx(DEVAPI_HANDLE handle, const int32_t* first);
DEVAPI_API int32_t Q_SSR_GetWorkCodeIDByName(DEVAPI_HANDLE handle, const char* name,
                                             int32_t* number);
/* Custom attendance states 0-7 (values 0-127; 4 on terminals without the
 * extended attendance format) and voices 0-20 (a file name of 1-19
 * characters, no path, not "beep.wav"). A non-zero flag enables. */
DEVAPI_API int32_t Q_SetCustomizeAttState(DEVAPI_HANDLE handle, int32_t state, int32_t value);
DEVAPI_API int32_t Q_DelCustomizeAttState(DEVAPI_HANDLE handle, int32_t state);
DEVAPI_API int32_t Q_EnableCustomizeAttState(DEVAPI_HANDLE handle, int32_t state, int32_t flag);
DEVAPI_API int32_t Q_SetCustomizeVoice(DEVAPI_HANDLE handle, int32_t index, const char* name);
DEVAPI_API int32_t Q_DelCustomizeVoice(DEVAPI_HANDLE handle, int32_t index);
DEVAPI_API int32_t Q_EnableCustomizeVoice(DEVAPI_HANDLE handle, int32_t index, int32_t flag);
/* Short keys (number, function and state 0-255; function 1 selects an
 * attendance state). The writer refuses (4) a key that conflicts with the
 * stored table; the getters give 1 found, 0 not found, -2 for a bad table or
 * a stored time that is no clock time. A null time text is empty. */
DEVAPI_API int32_t Q_SSR_SetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t function,
                                     int32_t state, const int32_t* values, int32_t flag,
                                     const char* times);
DEVAPI_API int32_t Q_SSR_GetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t* function,
                                     int32_t* state, int32_t* values, int32_t* flag,
                                     char* times);
DEVAPI_API int32_t Q_SSR_NewSetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t function,
                                        int32_t state, const int32_t* values, int32_t flag,
                                        const char* groups);
DEVAPI_API int32_t Q_SSR_NewGetShortKey(DEVAPI_HANDLE handle, int32_t number, int32_t* function,
                                        int32_t* state, int32_t* values, int32_t* flag,
                                        char* groups);
/* Bells. Q_ReadAllBell: 1 loaded; 0 none; -2. Q_GetBellInfo walks the
 * download (starting one when none is loaded): 1 a bell; 0 at the end.
 * Q_GetDayBellCnt and Q_GetMaxBellID give -1 when the reply holds no value. */
DEVAPI_API int32_t Q_GetBellSetting(DEVAPI_HANDLE handle, int32_t second_byte, int32_t number,
                                    int32_t* first_byte, int32_t* hour, int32_t* minute,
                                    int32_t* second_value, int32_t* third_byte,
                                    int32_t* first_value, int32_t* third_value);
DEVAPI_API int32_t Q_SetBellSetting(DEVAPI_HANDLE handle, int32_t second_byte, int32_t number,
                                    int32_t first_byte, int32_t hour, int32_t minute,
                                    int32_t second_value, int32_t third_byte,
                                    int32_t first_value, int32_t third_value);
DEVAPI_API int32_t Q_GetDayBellCnt(DEVAPI_HANDLE handle, int32_t* count);
DEVAPI_API int32_t Q_GetMaxBellID(DEVAPI_HANDLE handle, int32_t* number);
DEVAPI_API int32_t Q_ReadAllBell(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_GetBellInfo(DEVAPI_HANDLE handle, int32_t* second_byte, int32_t* number,
                                 int32_t* first_byte, int32_t* hour, int32_t* minute,
                                 int32_t* second_value, int32_t* third_byte,
                                 int32_t* first_value, int32_t* third_value);
/* Tip codes, labor groups and labor codes; names are cut at 24 characters
 * and come back in 7 values. */
DEVAPI_API int32_t Q_GetTipCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t* name,
                                     int32_t* value);
DEVAPI_API int32_t Q_SetTipCodeByNum(DEVAPI_HANDLE handle, int32_t number, const char* name,
                                     int32_t value);
DEVAPI_API int32_t Q_DelTipCodeByNum(DEVAPI_HANDLE handle, int32_t number);
DEVAPI_API int32_t Q_GetLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number, int32_t* name,
                                        int32_t* value);
DEVAPI_API int32_t Q_SetLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number, const char* name,
                                        int32_t value);
DEVAPI_API int32_t Q_DelLaborGroupByNum(DEVAPI_HANDLE handle, int32_t number);
DEVAPI_API int32_t Q_GetLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second,
                                       int32_t* name);
DEVAPI_API int32_t Q_SetLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second,
                                       const char* name);
DEVAPI_API int32_t Q_DelLaborCodeByNum(DEVAPI_HANDLE handle, int32_t number, int32_t second);
/* The attendance-state map (states 0-65535): the writer keys the entry by
 * the state, the reader finds the entry keyed state + 1 (-2 when none). */
DEVAPI_API int32_t Q_GetAttStateMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t* value);
DEVAPI_API int32_t Q_SetAttStateMapValue(DEVAPI_HANDLE handle, int32_t state, int32_t value);

/* ==== Attendance reports ====
 * Q_SSR_ReadAttRule, Q_SSR_ReadDPT and Q_SSR_ReadTurn read the rule, the
 * departments and the time slots into the session (saved with
 * Q_SSR_SaveDate types 3, 4 and 5): 1 read; 0 the terminal has none; -2. */
DEVAPI_API int32_t Q_SSR_ReadAttRule(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_SSR_ReadDPT(DEVAPI_HANDLE handle);
DEVAPI_API int32_t Q_SSR_ReadTurn(DEVAPI_HANDLE handle);
/* Computes attendance from the five saved files and writes the four record
 * files (the working directory text + "RecAbnormite.dat", "attexception.dat",
 * "AttAbnormite.dat", "AttDay.dat") and the page of `report_type` (1 punch
 * list, 2 exceptions, 3 statistics; texts GB2312). An empty ID text takes
 * every user of the session's user table. 1 done; 0 no users; -2 the user
 * table failed to load or an output file could not be written; 4 a bad
 * moment or an output file that is also an input (nothing touched). */
DEVAPI_API int32_t Q_SSR_OutPutHtml(DEVAPI_HANDLE handle, const char* id_text,
                                    const char* attlog_file, const char* user_file,
                                    const char* dept_file, const char* slot_file,
                                    int32_t start_year, int32_t start_month, int32_t start_day,
                                    int32_t start_hour, int32_t start_minute,
                                    int32_t start_second, int32_t end_year, int32_t end_month,
                                    int32_t end_day, int32_t end_hour, int32_t end_minute,
                                    int32_t end_second, const char* html_file,
                                    const char* work_dir, const char* rule_file,
                                    int32_t report_type, const char* label);

/* ==== Files, firmware, backup and restore (files) ====
 *
 * Uploads read the host file whole, disable the terminal (1003 with 3),
 * upload it for command 110 with a parameter block, and enable the terminal
 * again even after a refusal. A null path gives 4 before the handle is
 * looked at; a missing or short-read file -2; a path over 259 characters, a
 * path without a file name or a file over the buffer 4; a refusal -2.
 * Files written on the host replace an earlier file only when complete; a
 * name the terminal or the caller gives that would leave the host's
 * directory ('/', '\\', "..", control characters, empty) gives 4. */
DEVAPI_API int32_t Q_SendFile(DEVAPI_HANDLE handle, const char* path);
/* _Q_SendFileByType@12: Q_SendFile with the caller's kind. */
DEVAPI_API int32_t Q_SendFileByType(DEVAPI_HANDLE handle, const char* path, int32_t kind);
/* Kind 7 and kind 2 ("mtd"); files up to 3 MiB. */
DEVAPI_API int32_t Q_SendLogoFile(DEVAPI_HANDLE handle, const char* path);
DEVAPI_API int32_t Q_SendFile_mtd(DEVAPI_HANDLE handle, const char* path);
/* Command 1701: language >= 0 and a text of at most 256 bytes, else 4. */
DEVAPI_API int32_t Q_UpdateLanguageByID(DEVAPI_HANDLE handle, int32_t language, const char* text);
/* Command 1702: the file `name` (one path component, at most 1023
 * characters) written to directory + name (the directory ends with its
 * separator). 1; -2 refused or not written; -4 no buffer; 4 bad names. */
DEVAPI_API int32_t Q_ReadFile(DEVAPI_HANDLE handle, const char* name, const char* directory);
/* A firmware text file: strictly newer version, exact length and checksum,
 * else 4 and nothing sent. */
DEVAPI_API int32_t Q_UpdateFirmware(DEVAPI_HANDLE handle, const char* path);
/* A file-update text file: header (command 1709) then the image. 4 for a
 * broken file (nothing sent); a refused header -100 (reason 1), -4
 * (reason 2) or -2. */
DEVAPI_API int32_t Q_UpdateFile(DEVAPI_HANDLE handle, const char* path);
/* The terminal's memory into one compressed file (mode 0600): 1; 0 nothing
 * to back up; -2 refused or a block of the wrong size (no file); 4 the file
 * could not be written; -100 no "squeeze.dll" (nothing sent). */
DEVAPI_API int32_t Q_BackupData(DEVAPI_HANDLE handle, const char* path);
/* Replaces the terminal's data by a backup: 4 for a file that does not
 * expand to whole 64 KiB blocks (nothing sent); 0 the wipe was refused; -2
 * a later step failed (the terminal is enabled again); -100 no squeeze. */
DEVAPI_API int32_t Q_RestoreData(DEVAPI_HANDLE handle, const char* path);

/* ==== Photos and pictures (files) ==== */
/* The sensor image: *width (in: 0 or a width to ask for) and *height out;
 * `pixels` (may be null) receives width x height bytes, at most 307200;
 * `bitmap_path` (may be null) an 8-bit grey bitmap. 1; -2 refused, a reply
 * of the wrong size or the file not written; 4 null width or height. */
DEVAPI_API int32_t Q_CaptureImage(DEVAPI_HANDLE handle, int32_t whole_image, int32_t* width,
                                  int32_t* height, uint8_t* pixels, const char* bitmap_path);
DEVAPI_API int32_t Q_GetPhotoCount(DEVAPI_HANDLE handle, int32_t selector, int32_t* count);
/* The names of the photos of a time range (fields as Q_SetTime takes them,
 * else 4), LF-ended, terminated in `names` (184320 bytes). */
DEVAPI_API int32_t Q_GetPhotoNamesByTime(DEVAPI_HANDLE handle, int32_t start_year,
                                         int32_t start_month, int32_t start_day,
                                         int32_t start_hour, int32_t start_minute,
                                         int32_t start_second, int32_t end_year,
                                         int32_t end_month, int32_t end_day, int32_t end_hour,
                                         int32_t end_minute, int32_t end_second,
                                         int32_t selector, char* names);
/* *length: in the buffer's size, out the photo's size; a photo larger than
 * the buffer is not copied (4). */
DEVAPI_API int32_t Q_GetPhotoByName(DEVAPI_HANDLE handle, const char* name, uint8_t* data,
                                    int32_t* length);
DEVAPI_API int32_t Q_ClearPhotoByTime(DEVAPI_HANDLE handle, int32_t start_year,
                                      int32_t start_month, int32_t start_day,
                                      int32_t start_hour, int32_t start_minute,
                                      int32_t start_second, int32_t end_year, int32_t end_month,
                                      int32_t end_day, int32_t end_hour, int32_t end_minute,
                                      int32_t end_second, int32_t selector);
/* The underscore functions below leave the cancel flag alone. Uploads take
 * files up to 3 MiB and names (after the last '/' or '\\') up to 39
 * characters. Downloads: null handle or name -1; directory + name at most
 * 199 characters. */
DEVAPI_API int32_t Q_UploadUserPhoto(DEVAPI_HANDLE handle, const char* path);
DEVAPI_API int32_t Q_DownloadUserPhoto(DEVAPI_HANDLE handle, const char* name,
                                       const char* directory);
DEVAPI_API int32_t Q_DeleteUserPhoto(DEVAPI_HANDLE handle, const char* name);
/* "%05d" of number + 10000; the list (2 MiB buffer) terminated. */
DEVAPI_API int32_t Q_GetPicList(DEVAPI_HANDLE handle, int32_t number, char* text);
/* Each LF-ended name of `list` (a trailing CR dropped; names over 99
 * characters or leaving the directory skipped) fetched to
 * directory + name + ".jpg"; refused names skipped. */
DEVAPI_API int32_t Q_GetCapturePicByList(DEVAPI_HANDLE handle, const char* directory,
                                         const char* list);
DEVAPI_API int32_t Q_UploadTheme(DEVAPI_HANDLE handle, const char* path, const char* name);
DEVAPI_API int32_t Q_UploadPicture(DEVAPI_HANDLE handle, const char* path, const char* name);
DEVAPI_API int32_t Q_DeletePicture(DEVAPI_HANDLE handle, const char* name);
DEVAPI_API int32_t Q_DownloadPicture(DEVAPI_HANDLE handle, const char* name,
                                     const char* directory);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVAPI_H */
