// termctl sync: every punch of every terminal into a database.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands.h"
#include "demo_terminal.h"
#include "platform/thread.h"
#include "sync/schema.h"
#include "sync/terminal_sync.h"
#include "sync/watch.h"
#include "terminal_io.h"

namespace termctl {

namespace {

constexpr const char* kDefaultDb = "sqlite:termkit.db";
constexpr int kDefaultJobs = 4;
constexpr int kMaxJobs = 256;

struct Plan {
  std::vector<Address> addresses;
  sync::SyncOptions options;
  int jobs = kDefaultJobs;
  bool watch = false;
  long long seconds = 0;
};

// The options, checked before anything is opened or connected.
int ParsePlan(const Invocation& inv, Plan* plan) {
  std::string error;
  const auto url = sync::ParseDbUrl(inv.Get("db", kDefaultDb), &error);
  if (!url) return Usage("sync", error);
  plan->options.db = *url;
  if (url->kind == sync::DbUrl::kPostgres && !sync::PostgresAvailable()) {
    return Usage("sync", "this termctl was built without PostgreSQL support");
  }
  if (inv.Has("jobs")) {
    const auto n = ParseInt(inv.Get("jobs"));
    if (!n || *n < 1 || *n > kMaxJobs) return Usage("sync", "--jobs takes a number 1-256");
    plan->jobs = static_cast<int>(*n);
  }
  plan->options.clear_after = inv.Has("clear-after");
  plan->watch = inv.Has("watch");
  if (plan->options.clear_after && !inv.Has("yes")) {
    return Usage("sync",
                 "--clear-after deletes the terminals' attendance records once they are "
                 "stored: add --yes to confirm");
  }
  if (inv.Has("yes") && !plan->options.clear_after) {
    return Usage("sync", "--yes goes with --clear-after");
  }
  if (plan->watch && plan->options.clear_after) {
    return Usage("sync", "--clear-after does not go with --watch");
  }
  if (inv.Has("seconds")) {
    const auto s = ParseInt(inv.Get("seconds"));
    if (!plan->watch) return Usage("sync", "--seconds goes with --watch");
    if (!s || *s < 1) return Usage("sync", "--seconds takes a number above 0");
    plan->seconds = *s;
  }
  if (inv.Has("password")) {
    const auto p = ParseInt(inv.Get("password"));
    if (!p || *p < 0 || *p > 999999) return Usage("", "--password takes a number 0-999999");
    plan->options.password = static_cast<int32_t>(*p);
  }
  std::vector<std::string> texts = inv.words;
  if (!inv.address.empty()) texts.insert(texts.begin(), inv.address);
  for (const std::string& text : texts) {
    const auto a = ParseAddress(text, &error);
    if (!a) return Usage("sync", error);
    plan->addresses.push_back(*a);
  }
  return kOk;
}

}  // namespace

int CmdSync(const Invocation& inv) {
  Plan plan;
  if (const int status = ParsePlan(inv, &plan); status != kOk) return status;

  DemoTerminal demo;
  if (plan.addresses.empty()) {
    if (!demo.Start(false)) {
      std::fprintf(stderr, "termctl: the built-in simulator did not start\n");
      return kFailed;
    }
    plan.addresses.push_back(Address{"udp", "127.0.0.1", demo.port()});
    std::fprintf(stderr, "termctl: no terminal given; using the built-in simulator at %s\n",
                 FormatAddress(plan.addresses[0]).c_str());
  }

  // The schema once, before the terminals' own connections write.
  {
    std::string error;
    std::unique_ptr<sync::Database> db = sync::OpenDatabase(plan.options.db, &error);
    if (db && !sync::EnsureSchema(*db, &error)) db.reset();
    if (!db) {
      std::fprintf(stderr, "termctl: sync: %s: %s\n",
                   sync::DisplayDbUrl(plan.options.db).c_str(), error.c_str());
      return kFailed;
    }
  }
  if (plan.watch) CatchInterrupts();

  const size_t count = plan.addresses.size();
  sync::EventInbox inbox(count);
  std::vector<sync::SyncOutcome> outcomes(count);
  std::vector<sync::EventRoute> routes(count);
  for (size_t i = 0; i < count; ++i) routes[i] = inbox.RouteFor(i);
  std::atomic<size_t> next{0};
  std::mutex print_mu;
  const auto worker = [&] {
    for (size_t i; (i = next.fetch_add(1)) < count;) {
      outcomes[i] = sync::SyncTerminal(plan.addresses[i], plan.options,
                                       plan.watch ? &routes[i] : nullptr);
      std::lock_guard<std::mutex> lock(print_mu);
      if (outcomes[i].ok) {
        std::printf("%s\n", outcomes[i].message.c_str());
        std::fflush(stdout);
      } else {
        std::fprintf(stderr, "termctl: sync: %s\n", outcomes[i].message.c_str());
      }
    }
  };
  const size_t jobs = std::min(count, static_cast<size_t>(plan.jobs));
  std::vector<platform::Thread> threads(jobs > 0 ? jobs - 1 : 0);
  for (platform::Thread& t : threads) {
    if (!t.Start(worker)) break;  // fewer helpers: the others do more
  }
  worker();
  for (platform::Thread& t : threads) t.Join();

  bool all_ok = true;
  bool any_open = false;
  // Indexed as the inbox is; failed terminals are left out (no handle).
  std::vector<sync::WatchedTerminal> watched(count);
  for (size_t i = 0; i < count; ++i) {
    all_ok = all_ok && outcomes[i].ok;
    any_open = any_open || outcomes[i].handle != nullptr;
    watched[i] = {plan.addresses[i], outcomes[i].handle, outcomes[i].identity};
  }
  if (plan.watch && any_open) {
    all_ok = sync::Watch(watched, inbox, plan.options, plan.seconds) && all_ok;
  }
  for (const sync::SyncOutcome& o : outcomes) {
    if (o.handle != nullptr) Q_Close(o.handle);
  }
  return all_ok ? kOk : kFailed;
}

}  // namespace termctl
