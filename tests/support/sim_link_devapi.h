// The device library's connect over the test's link (see sim_link.h).
#pragma once

#include "devapi.h"
#include "sim_link.h"

namespace simlink {

// Q_Connect_NET over UDP, Q_Connect_NETEX over TCP, Q_Connect_USB over USB.
inline DEVAPI_HANDLE Connect(const termsim::Simulator& sim, DEVAPI_EVENT_CALLBACK callback,
                             void* context, int32_t password = 0, Link link = CurrentLink()) {
  if (link == Link::kUsb) {
    UseUsbDrive(sim);
    return Q_Connect_USB(kUsbDevice, callback, context, password);
  }
  const uint16_t port = Port(sim, link);
  return link == Link::kTcp ? Q_Connect_NETEX("127.0.0.1", port, callback, context, password)
                            : Q_Connect_NET("127.0.0.1", port, callback, context, password);
}

}  // namespace simlink
