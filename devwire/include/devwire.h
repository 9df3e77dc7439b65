/* The protocol engine's exported interface. Handles are opaque and
 * pointer-sized; every other value is a 32-bit integer.
 *
 * Ordinals (for a build that imports by ordinal):
 *   1 DEVWIRE_INIT          2 DEVWIRE_CLOSE          3 DEVWIRE_SENDCMD
 *   4 DEVWIRE_SENDDATA      5 DEVWIRE_SENDCMDDATA    6 DEVWIRE_READDATA
 *   7 DEVWIRE_LASTERROR     8 READDATA_PICE_BY_PICE  9 DEVWIRE_READDB
 *  10 DEVWIRE_INITEX       11 DEVWIRE_SetParameter  12 ReadBlock_LargeTmp
 *  13 SetBuffLen           14 DEVWIRE_BROADCAST     15 DEVWIRE_CONNECTSTATUS
 *  16 DEVWIRE_READDATA1    17 DEVWIRE_READDATA2     18 DEVWIRE_READMEMORY
 *  19 DEVWIRE_SetOperate
 */
#ifndef TERMKIT_DEVWIRE_H
#define TERMKIT_DEVWIRE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(DEVWIRE_BUILDING)
#define DEVWIRE_API __declspec(dllexport)
#else
#define DEVWIRE_API __declspec(dllimport)
#endif
#else
#define DEVWIRE_API __attribute__((visibility("default")))
#endif

typedef void* DEVWIRE_HANDLE;

/* Receives event packets: (context, event kind, payload length, payload). */
typedef void (*DEVWIRE_EVENT_CALLBACK)(void* context, uint16_t event, int32_t length,
                                       const uint8_t* payload);

/* Open errors, as DEVWIRE_LASTERROR(NULL) reports them. */
#define DEVWIRE_E_NO_ENTRY_POINT (-1)
#define DEVWIRE_E_TRANSPORT_OPEN (-2)
#define DEVWIRE_E_EVENT (-3)
#define DEVWIRE_E_READER_THREAD (-5)
#define DEVWIRE_E_AUTH_REFUSED (-6)
#define DEVWIRE_E_CONNECT_REFUSED (-7)
#define DEVWIRE_E_NO_REPLY (-8)
#define DEVWIRE_E_MODEM (-100)
#define DEVWIRE_E_PEER_LIMIT (-202)
#define DEVWIRE_E_LOAD_PLUGIN (-13000)
#define DEVWIRE_E_NO_MEMORY (-13021)

/* Connection errors. */
#define DEVWIRE_E_STALE_REPLY (-13011)
#define DEVWIRE_E_BAD_CHECKSUM (-13012)

/* Every export below accepts a null handle and answers without touching
 * anything: DEVWIRE_CLOSE does nothing; DEVWIRE_SENDCMD returns -1 and leaves
 * the code slot as it is; DEVWIRE_SENDDATA and DEVWIRE_SENDCMDDATA return 0;
 * DEVWIRE_LASTERROR reports the error of the last open (and clears it);
 * DEVWIRE_CONNECTSTATUS and SetBuffLen return -1; the setters return the
 * null handle. Negative sizes, or a null buffer with a non-zero size, give
 * CMD_ACK_ERROR_CMD (65533) in the code slot and nothing is sent. */

/* Opens a connection over the transport plug-in `plugin` ("comms.dll").
 * Without a callback the connection reads for itself (synchronous mode).
 * With one, a reader thread delivers the terminal's events to it; while the
 * callback runs nothing is read, so it must return promptly. From inside the
 * callback a command on the same connection fails at once (CMD_ACK_ERROR_CMD)
 * and DEVWIRE_CLOSE is allowed; a DEVWIRE_CLOSE from another thread waits
 * for a running callback to return.
 * Null on failure; DEVWIRE_LASTERROR(NULL) then tells why. */
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_INIT(const char* plugin, const char* address, int32_t p1,
                                        int32_t p2, DEVWIRE_EVENT_CALLBACK callback,
                                        void* context, int32_t comm_password,
                                        int32_t* peer_limit);
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_INITEX(const char* plugin, const char* address, int32_t p1,
                                          int32_t p2, DEVWIRE_EVENT_CALLBACK callback,
                                          void* context, int32_t comm_password,
                                          const char* phone_number);
DEVWIRE_API void DEVWIRE_CLOSE(DEVWIRE_HANDLE handle);

/* One command; *code holds the command on entry and the outcome on return.
 * buffer holds data_length bytes of command data on entry and up to
 * buffer_size bytes of reply payload on return. */
DEVWIRE_API int32_t DEVWIRE_SENDCMD(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                    int32_t buffer_size, int32_t data_length,
                                    int32_t timeout_ms);
DEVWIRE_API int32_t DEVWIRE_SENDDATA(DEVWIRE_HANDLE handle, const void* data, int32_t length,
                                     int32_t timeout_ms);
DEVWIRE_API int32_t DEVWIRE_SENDCMDDATA(DEVWIRE_HANDLE handle, uint16_t* code, const void* data,
                                        int32_t length, const void* params,
                                        int32_t param_length, int32_t timeout_ms);

DEVWIRE_API int32_t DEVWIRE_LASTERROR(DEVWIRE_HANDLE handle);
DEVWIRE_API int32_t DEVWIRE_CONNECTSTATUS(DEVWIRE_HANDLE handle);
/* Payload bytes that the last DEVWIRE_SENDCMD on this connection placed in
 * the caller's buffer (at most its buffer size), so that fixed-layout and
 * counted replies can be checked against what really arrived; -1 when no
 * reply decided it, or for a null handle. An addition without an ordinal. */
DEVWIRE_API int32_t DEVWIRE_REPLYLENGTH(DEVWIRE_HANDLE handle);
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetOperate(DEVWIRE_HANDLE handle, int32_t value);
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetParameter(DEVWIRE_HANDLE handle, int32_t selector,
                                                int32_t value);
/* Sets the largest packet the connection reads or sends. It stays between
 * 8 and the receive buffer allocated at open; returns the length in force. */
DEVWIRE_API int32_t SetBuffLen(DEVWIRE_HANDLE handle, int32_t length);

/* Searches the local network for terminals: opens `plugin` ("comms.dll") in
 * broadcast mode towards `address` (a broadcast address) on port 65535,
 * sends the `probe_length` probe bytes, and collects the answers until
 * `time_limit_ms` has passed since the last one (or after 11 silent reads of
 * 500 ms). `result` (`result_size` bytes, zeroed first) receives one line
 * per terminal, separated by CR LF and terminated:
 *   no=0<TAB>status=1<TAB>policy=1<TAB>category=1<TAB>name=NAME<TAB>port=4370
 *   <TAB>isfromPSRV=0<TAB>mac=MAC<TAB>tcpip=IP<TAB>sn=SERIAL
 * (NAME and SERIAL read "null" when the terminal gave only MAC and IP).
 * Returns 1 when at least one line was written (a full buffer keeps the lines
 * that fit); 0 when no terminal answered; -1 when the plug-in cannot be
 * loaded or opened; -2 when the probe did not go out; -15104 when memory is
 * short, `result` is null or `result_size` <= 0, or not even the first line
 * fits.
 * When the environment variable TERMKIT_SEARCH_ADDRESS holds a dotted IPv4
 * address, the probe goes there instead of to `address` (tests use it to
 * keep searches on the loopback network). */
DEVWIRE_API int32_t DEVWIRE_BROADCAST(const char* plugin, const char* address, const void* probe,
                                      int32_t probe_length, char* result, int32_t result_size,
                                      int32_t time_limit_ms);

/* Bulk reads. Each takes the code slot (or command) and a caller's buffer
 * with its size; a null handle gives -1 and leaves the slot as it is,
 * negative sizes or a null buffer with a non-zero size give
 * CMD_ACK_ERROR_CMD (65533) in the slot, -1, and nothing is sent. */

/* Connection errors of the bulk reads. */
#define DEVWIRE_E_TOTAL_CHANGED (-13014)    /* the data set changed between attempts */
#define DEVWIRE_E_BUFFER_TOO_SMALL (-13015) /* the announced total does not fit */
#define DEVWIRE_E_CHUNK_OUTSIDE (-13016)    /* a chunk lies outside the data set */
#define DEVWIRE_E_LAST_CHUNK_BAD (-13017)   /* the last chunk outstanding was damaged */
#define DEVWIRE_E_TOO_MANY_SILENT (-13018)  /* the terminal fell silent */
#define DEVWIRE_E_BAD_CHUNK (-13019)        /* a damaged chunk was seen */

/* One large block of a piecewise read at most; ReadBlock_LargeTmp's buffer
 * must hold this many bytes. */
#define DEVWIRE_LARGE_BLOCK_SIZE 409600

/* Bounds of the bulk reads, so that a terminal that stalls, or announces data
 * it never sends, costs a time a caller can work out beforehand.
 *
 * Overall deadline. Once the terminal has announced how much it prepared
 * (the answer to CMD_QUERY_DATA, the CMD_PREPARE_DATA reply of a streamed
 * read or of a large block), the rest of the read must be done within
 *     DEVWIRE_BULK_DEADLINE_BASE_MS
 *   + DEVWIRE_BULK_DEADLINE_TIMEOUTS x T
 *   + announced bytes x 1000 / DEVWIRE_BULK_FLOOR_BYTES_PER_S   milliseconds,
 * T being the read's time-out: the caller's for DEVWIRE_READDATA1 and
 * ReadBlock_LargeTmp; the caller's but at most 32000 ms for the buffered
 * reads (DEVWIRE_READDATA, DEVWIRE_READDATA2, DEVWIRE_READDB with 1000 ms);
 * 32000 ms for DEVWIRE_READMEMORY; 100000 ms for each
 * range of READDATA_PICE_BY_PICE, which asks at most
 * ceil(count / 200) ranges of 3 tries each, the count bounded by the
 * buffer. A read nested in another keeps the earlier deadline. Every wait
 * of the read (replies, chunks, blocks, the query's attempts) ends at the
 * deadline; the read then fails (code slot CMD_ACK_ERROR_DATA, result -2;
 * -3 for DEVWIRE_READMEMORY, -1 for READDATA_PICE_BY_PICE and
 * ReadBlock_LargeTmp), the terminal is told to free its data
 * (CMD_FREE_DATA, or 2019 for a piecewise read, bounded as a first answer
 * below) and the line is drained (at most 15000 ms) for the next command.
 *
 * First answer. Each attempt of CMD_QUERY_DATA, of the count command of
 * READDATA_PICE_BY_PICE and of the releases CMD_FREE_DATA and 2019 waits at
 * most DEVWIRE_FIRST_ANSWER_LIMIT_MS for the answer, however long the
 * time-out (a terminal preparing a large table may take long, but not for
 * ever), and all attempts of one such command together end within
 * DEVWIRE_QUERY_DEADLINE_MS.
 *
 * Cancel. DEVWIRE_SetOperate(handle, 1) ends every wait of the running
 * command or read within DEVWIRE_CANCEL_WITHIN_MS (the release commands
 * CMD_FREE_DATA and 2019 still go out, with their own time-out). A read
 * cancelled under way leaves CMD_ACK_ERROR in the code slot with result -2
 * (-1 for READDATA_PICE_BY_PICE and ReadBlock_LargeTmp; DEVWIRE_READDATA
 * gives 0 for it, as for a refusal). A line failure ends the waits at once
 * as well. */
#define DEVWIRE_BULK_DEADLINE_BASE_MS 1000
#define DEVWIRE_BULK_DEADLINE_TIMEOUTS 4
#define DEVWIRE_BULK_FLOOR_BYTES_PER_S 512
#define DEVWIRE_FIRST_ANSWER_LIMIT_MS 120000
#define DEVWIRE_QUERY_DEADLINE_MS 240000
#define DEVWIRE_CANCEL_WITHIN_MS 200

/* The data of the command in *code; the first param_length bytes of buffer
 * are its request. Buffered where the terminal can prepare the data, else
 * streamed. Bytes read, or <= 0; the outcome is in *code. */
DEVWIRE_API int32_t DEVWIRE_READDATA(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                     int32_t buffer_size, int32_t param_length,
                                     int32_t block_size, int32_t timeout_ms);
/* Streamed read: the first data_length bytes of buffer are the command's
 * data; verify (non-zero) checks every chunk and completes the data over
 * several attempts. Bytes read or a negative code. */
DEVWIRE_API int32_t DEVWIRE_READDATA1(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                      int32_t buffer_size, int32_t data_length, int32_t verify,
                                      int32_t timeout_ms);
/* Buffered read (at most 8 request bytes travel): the data size, or 0, -1,
 * -2, -3, -100 (buffer smaller than the data set). */
DEVWIRE_API int32_t DEVWIRE_READDATA2(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                      int32_t buffer_size, int32_t param_length,
                                      int32_t block_size, int32_t timeout_ms);
/* The whole data base (command 7) with a selector byte; *buffer_size is the
 * buffer's size. As DEVWIRE_READDATA2. */
DEVWIRE_API int32_t DEVWIRE_READDB(DEVWIRE_HANDLE handle, int32_t selector, int32_t block_size,
                                   void* buffer, int32_t* buffer_size);
/* size bytes from offset of the prepared data into destination, which must
 * hold size bytes. Bytes read, -2 cancelled or refused, -3 gave up, -1 bad
 * arguments. */
DEVWIRE_API int32_t DEVWIRE_READMEMORY(DEVWIRE_HANDLE handle, int32_t command, int32_t offset,
                                       int32_t size, int32_t block_size, int32_t tries,
                                       void* destination);
/* Piecewise large read of the command in *code. Bytes read or -1. The
 * unused arguments are kept for callers that pass them. */
DEVWIRE_API int32_t READDATA_PICE_BY_PICE(DEVWIRE_HANDLE handle, uint16_t* code, void* buffer,
                                          int32_t unused1, int32_t unused2, int32_t buffer_size,
                                          int32_t unused3, int32_t timeout_ms, int32_t unused4);
/* The units [start, start + count) of the command read piecewise, into a
 * buffer of DEVWIRE_LARGE_BLOCK_SIZE bytes. Bytes read or -1. */
DEVWIRE_API int32_t ReadBlock_LargeTmp(DEVWIRE_HANDLE handle, void* buffer, int32_t start,
                                       int32_t count, int32_t timeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVWIRE_H */
