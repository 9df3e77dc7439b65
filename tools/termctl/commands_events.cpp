// Watching the terminal's pushed events.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "commands.h"
#include "moment.h"
#include "terminal_io.h"

namespace termctl {

namespace {

struct Event {
  uint16_t kind = 0;
  std::vector<uint8_t> payload;
  Moment received;
};

// Events cross from the engine's reader thread to the main thread here; the
// callback only copies, as it must return promptly.
struct EventQueue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Event> events;
};

EventQueue& Queue() {
  static EventQueue queue;
  return queue;
}

void OnEvent(void* context, uint16_t kind, int32_t length, const uint8_t* payload) {
  auto* queue = static_cast<EventQueue*>(context);
  Event e;
  e.kind = kind;
  if (payload != nullptr && length > 0) e.payload.assign(payload, payload + length);
  e.received = LocalNow();
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->events.size() < 10000) queue->events.push_back(std::move(e));
  }
  queue->ready.notify_one();
}

const char* KindName(uint16_t kind) {
  switch (kind) {
    case 1:
      return "verification";
    case 3:
      return "key_press";
    case 4:
      return "door";
    case 5:
      return "alarm";
    case 6:
      return "enrolment";
    default:
      return "event";
  }
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace

DEVAPI_EVENT_CALLBACK EventCallback() { return OnEvent; }
void* EventContext() { return &Queue(); }

int CmdEvents(Context& ctx) {
  if (!ctx.inv.words.empty()) return Usage("events", "takes no words");
  long long limit = 0;
  if (ctx.inv.Has("count")) {
    const auto n = ParseInt(ctx.inv.Get("count"));
    if (!n || *n < 1) return Usage("events", "--count takes a number above 0");
    limit = *n;
  }
  const bool json = ctx.inv.Has("json");
  CatchInterrupts();
  // Every bit: the terminal sends whatever it has.
  const int r = Q_RegEvent(ctx.handle, -1);
  if (r != 1) return Fail(ctx, "Q_RegEvent", r);
  std::fprintf(stderr, "termctl: watching events (Ctrl-C to stop)\n");
  long long seen = 0;
  EventQueue& queue = Queue();
  while (!Interrupted() && (limit == 0 || seen < limit)) {
    std::deque<Event> batch;
    {
      std::unique_lock<std::mutex> lock(queue.mutex);
      queue.ready.wait_for(lock, std::chrono::milliseconds(200),
                           [&] { return !queue.events.empty(); });
      batch.swap(queue.events);
    }
    for (const Event& e : batch) {
      if (limit != 0 && seen >= limit) break;
      ++seen;
      const Record rec = {Text("received", FormatMoment(e.received)), Number("kind", e.kind),
                          Text("name", KindName(e.kind)),
                          Number("length", static_cast<long long>(e.payload.size())),
                          Text("payload", Hex(e.payload))};
      if (json) {
        std::printf("%s\n", JsonLine(rec).c_str());
      } else {
        std::printf("%s  %-12s kind %-3u %s\n", rec[0].value.c_str(), KindName(e.kind),
                    static_cast<unsigned>(e.kind), rec[4].value.c_str());
      }
      std::fflush(stdout);
    }
  }
  return kOk;
}

}  // namespace termctl
