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
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetOperate(DEVWIRE_HANDLE handle, int32_t value);
DEVWIRE_API DEVWIRE_HANDLE DEVWIRE_SetParameter(DEVWIRE_HANDLE handle, int32_t selector,
                                                int32_t value);
/* Sets the largest packet the connection reads or sends. It stays between
 * 8 and the receive buffer allocated at open; returns the length in force. */
DEVWIRE_API int32_t SetBuffLen(DEVWIRE_HANDLE handle, int32_t length);

#ifdef __cplusplus
}
#endif

#endif /* TERMKIT_DEVWIRE_H */
