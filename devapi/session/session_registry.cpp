// The registry of live sessions: a closed or unknown handle acts as null.
#include <mutex>
#include <unordered_set>

#include "session/device_session.h"

namespace devapi {
namespace {

// Function-local statics: safe to use from any constructor order.
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<DeviceSession*>& Registry() {
  static auto* sessions = new std::unordered_set<DeviceSession*>();  // never destroyed
  return *sessions;
}

}  // namespace

DeviceSession* SessionFromHandle(void* handle) {
  if (handle == nullptr) return nullptr;
  auto* session = static_cast<DeviceSession*>(handle);
  std::lock_guard<std::mutex> guard(RegistryLock());
  return Registry().count(session) != 0 ? session : nullptr;
}

DeviceSession* BeginCall(void* handle) {
  DeviceSession* session = SessionFromHandle(handle);
  if (session != nullptr) {
    session->cancel_requested = 0;
    DEVWIRE_SetOperate(session->engine, 0);
  }
  return session;
}

void RegisterSession(DeviceSession* session) {
  if (session == nullptr) return;
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().insert(session);
}

bool UnregisterSession(DeviceSession* session) {
  if (session == nullptr) return false;
  std::lock_guard<std::mutex> guard(RegistryLock());
  return Registry().erase(session) != 0;
}

bool CloseSession(DeviceSession* session) {
  // Unregister first: a second close of the same handle finds nothing.
  if (!UnregisterSession(session)) return false;
  DEVWIRE_SetOperate(session->engine, 0);
  DEVWIRE_HANDLE engine = session->engine;
  session->engine = nullptr;
  if (engine != nullptr) DEVWIRE_CLOSE(engine);
  delete session;  // every buffer is a vector or string: freed with the record
  return true;
}

int FirmwareCompare(const DeviceSession& session, const char* literal) {
  const auto* a = reinterpret_cast<const unsigned char*>(session.firmware_version);
  const auto* b = reinterpret_cast<const unsigned char*>(literal);
  // The field always holds a terminator within its size.
  for (size_t i = 0;; ++i) {
    unsigned char ca = i < kFirmwareTextSize ? a[i] : 0;
    if (ca != b[i] || ca == 0) return static_cast<int>(ca) - static_cast<int>(b[i]);
  }
}

}  // namespace devapi
