// The conversations a terminal keeps: one per CMD_CONNECT, under the
// connection number it handed out.
#pragma once

#include <cstdint>
#include <map>

#include "links/peer.h"
#include "commands/reply.h"
#include "bulk/upload_buffer.h"

namespace termsim {

struct Session {
  uint16_t id = 0;
  Peer client;  // where its packets last came from; answers and events go there
  bool authenticated = false;
  uint64_t born = 0;  // creation order, for evicting the oldest

  // The last command answered and its answer: a host that repeats the
  // command (its reply got lost) gets the same answer, and the command is
  // not carried out again.
  bool answered = false;
  uint16_t last_code = 0;
  uint16_t last_counter = 0;
  Reply last_reply;

  UploadBuffer upload;
  // Command 2222 came: the next 110 applies the uploaded batch package.
  bool batch_announced = false;
};

class SessionTable {
 public:
  // Connection numbers handed out start here; never 0.
  static constexpr uint16_t kFirstConnectionId = 0x3A91;
  // The oldest session is forgotten beyond this many (hosts that vanish
  // without CMD_EXIT would otherwise pile up).
  static constexpr size_t kMaxSessions = 256;

  // A new session with a fresh non-zero number.
  Session& Create(const Peer& client, bool authenticated);
  // A session under a number the host already uses (one this terminal does
  // not remember, e.g. from before a restart).
  Session& Adopt(uint16_t id, const Peer& client, bool authenticated);
  Session* Find(uint16_t id);
  // The session that `client` opened with a CMD_CONNECT carrying `counter`
  // and that has seen nothing since: a repeated connect belongs to it.
  Session* JustConnected(const Peer& client, uint16_t counter);
  void Forget(uint16_t id);
  size_t size() const { return sessions_.size(); }

 private:
  Session& Insert(uint16_t id, const Peer& client, bool authenticated);
  uint16_t NextFreeId();

  std::map<uint16_t, Session> sessions_;
  uint16_t next_id_ = kFirstConnectionId;
  uint64_t births_ = 0;
};

}  // namespace termsim
