#include "connect.h"

namespace termctl {

DEVAPI_HANDLE ConnectTerminal(const Address& address, int32_t password,
                              DEVAPI_EVENT_CALLBACK callback, void* context,
                              std::string* reason) {
  const std::string where = FormatAddress(address);
  if (address.scheme == "usb") {
    DEVAPI_HANDLE h = Q_Connect_USB(address.port, callback, context, password);
    if (h == nullptr) {
      *reason = "cannot connect to " + where + ": Q_Connect_USB failed, Q_LastError " +
                std::to_string(Q_LastError(nullptr)) +
                " (no mounted removable drive with a file \"dummy\" in its root that you "
                "may read and write, or wrong --password?)";
    }
    return h;
  }
  const bool tcp = address.scheme == "tcp";
  const char* call = tcp ? "Q_Connect_NETEX" : "Q_Connect_NET";
  DEVAPI_HANDLE h =
      tcp ? Q_Connect_NETEX(address.host.c_str(), address.port, callback, context, password)
          : Q_Connect_NET(address.host.c_str(), address.port, callback, context, password);
  if (h == nullptr) {
    *reason = "cannot connect to " + where + ": " + call + " failed, Q_LastError " +
              std::to_string(Q_LastError(nullptr)) +
              " (wrong address, terminal off, or wrong --password?)";
  }
  return h;
}

}  // namespace termctl
