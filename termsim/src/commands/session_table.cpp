#include "commands/session_table.h"

#include <algorithm>

#include "wire/codes.h"

namespace termsim {

Session& SessionTable::Create(const Peer& client, bool authenticated) {
  return Insert(NextFreeId(), client, authenticated);
}

Session& SessionTable::Adopt(uint16_t id, const Peer& client, bool authenticated) {
  return Insert(id, client, authenticated);
}

Session* SessionTable::Find(uint16_t id) {
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : &it->second;
}

Session* SessionTable::JustConnected(const Peer& client, uint16_t counter) {
  for (auto& [id, s] : sessions_) {
    if (s.client == client && s.answered && s.last_code == wire::CMD_CONNECT &&
        s.last_counter == counter)
      return &s;
  }
  return nullptr;
}

void SessionTable::Forget(uint16_t id) { sessions_.erase(id); }

Session& SessionTable::Insert(uint16_t id, const Peer& client, bool authenticated) {
  if (sessions_.size() >= kMaxSessions && sessions_.find(id) == sessions_.end()) {
    auto oldest = std::min_element(sessions_.begin(), sessions_.end(),
                                   [](auto& a, auto& b) { return a.second.born < b.second.born; });
    sessions_.erase(oldest);
  }
  Session& s = sessions_[id];
  s = Session{};
  s.id = id;
  s.client = client;
  s.authenticated = authenticated;
  s.born = ++births_;
  return s;
}

uint16_t SessionTable::NextFreeId() {
  // At most kMaxSessions numbers are taken, so a free one is near.
  for (;;) {
    const uint16_t id = next_id_++;
    if (next_id_ == 0) next_id_ = 1;
    if (id != 0 && sessions_.find(id) == sessions_.end()) return id;
  }
}

}  // namespace termsim
