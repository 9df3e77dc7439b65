// errno -> the traditional socket library's error numbers.
#include <cerrno>

#include "platform/socket.h"

namespace platform::net {

// Every errno a socket call can return is mapped to the closest number of
// the traditional socket library. Notes:
//  - EPIPE (sending on a connection the peer has reset or shut down) maps to
//    kEConnReset: the traditional library reports a reset connection there,
//    and the protocol engine treats both the same way.
//  - Resource shortages (ENOMEM, ENOSR) map to kENoBufs; ENFILE to kEMFile;
//    EPERM to kEAcces; EPROTO (a connection that failed before accept) to
//    kEConnAborted; socket types / families without a number of their own to
//    the nearest "not supported" number.
//  - Anything else (including 0) maps to kEInval, so that the result is always
//    inside the failure range −10004 .. −11004 once negated.
int SocketErrorFromErrno(int err) {
  switch (err) {
    case EINTR: return kEIntr;
    case EBADF: return kEBadF;
    case EACCES:
    case EPERM: return kEAcces;
    case EFAULT: return kEFault;
    case EINVAL: return kEInval;
    case EMFILE:
    case ENFILE: return kEMFile;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK: return kEWouldBlock;
    case EINPROGRESS: return kEInProgress;
    case EALREADY: return kEAlready;
    case ENOTSOCK: return kENotSock;
    case EDESTADDRREQ: return kEDestAddrReq;
    case EMSGSIZE: return kEMsgSize;
    case EPROTOTYPE: return kEProtoType;
    case ENOPROTOOPT: return kENoProtoOpt;
    case EPROTONOSUPPORT:
    case ESOCKTNOSUPPORT: return kEProtoNoSupport;
#if defined(ENOTSUP) && ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case EOPNOTSUPP: return kEOpNotSupp;
    case EAFNOSUPPORT:
    case EPFNOSUPPORT: return kEAfNoSupport;
    case EADDRINUSE: return kEAddrInUse;
    case EADDRNOTAVAIL: return kEAddrNotAvail;
    case ENETDOWN: return kENetDown;
    case ENETUNREACH: return kENetUnreach;
    case ENETRESET: return kENetReset;
    case ECONNABORTED:
    case EPROTO: return kEConnAborted;
    case ECONNRESET:
    case EPIPE: return kEConnReset;
    case ENOBUFS:
    case ENOMEM:
#ifdef ENOSR
    case ENOSR:
#endif
      return kENoBufs;
    case EISCONN: return kEIsConn;
    case ENOTCONN: return kENotConn;
    case ESHUTDOWN: return kEShutdown;
    case ETIMEDOUT: return kETimedOut;
    case ECONNREFUSED: return kEConnRefused;
    case ELOOP: return kELoop;
    case ENAMETOOLONG: return kENameTooLong;
    case EHOSTDOWN: return kEHostDown;
    case EHOSTUNREACH: return kEHostUnreach;
    default: return kEInval;
  }
}

}  // namespace platform::net
