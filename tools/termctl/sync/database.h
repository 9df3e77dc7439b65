// The attendance database behind `termctl sync`: one small interface over
// SQLite and PostgreSQL. Statements use '?' placeholders in both.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace termctl::sync {

using DbValue = std::variant<std::nullptr_t, int64_t, std::string>;
using DbRow = std::vector<DbValue>;

class Database {
 public:
  virtual ~Database() = default;

  // Runs one statement; false with the reason in Error().
  virtual bool Exec(const std::string& sql, const std::vector<DbValue>& params = {}) = 0;
  // Runs a query and collects its rows (as integers, texts or nulls).
  virtual bool Query(const std::string& sql, const std::vector<DbValue>& params,
                     std::vector<DbRow>* rows) = 0;
  // Rows changed by the last Exec.
  virtual int64_t Changes() const = 0;
  virtual std::string Error() const = 0;
  // "sqlite" or "postgresql": the schema differs in a few words.
  virtual const char* Dialect() const = 0;
};

// Where the data goes: "sqlite:PATH" or a PostgreSQL URL
// ("postgresql://..." or "postgres://...").
struct DbUrl {
  enum Kind { kSqlite, kPostgres } kind = kSqlite;
  std::string target;  // the file path, or the whole URL for libpq
};

// The parsed URL, or nullopt with the reason in `error`.
std::optional<DbUrl> ParseDbUrl(const std::string& text, std::string* error);
// The URL with any password hidden, for messages.
std::string DisplayDbUrl(const DbUrl& url);

// True when this build can reach PostgreSQL.
bool PostgresAvailable();

// Opens (creating a SQLite file when missing) or returns null with the
// reason in `error`.
std::unique_ptr<Database> OpenDatabase(const DbUrl& url, std::string* error);

// Backends, in their own files.
std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string* error);
std::unique_ptr<Database> OpenPostgres(const std::string& url, std::string* error);

// A transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) {}
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool Begin();
  bool Commit();

 private:
  Database& db_;
  bool open_ = false;
};

}  // namespace termctl::sync
