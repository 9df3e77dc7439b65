// SQLite: the default, embedded database.
#include <sqlite3.h>

#include <map>

#include "sync/database.h"

namespace termctl::sync {

namespace {

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  ~SqliteDatabase() override {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  bool Exec(const std::string& sql, const std::vector<DbValue>& params) override {
    sqlite3_stmt* stmt = Prepare(sql, params);
    if (stmt == nullptr) return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    return Finish(stmt, rc);
  }

  bool Query(const std::string& sql, const std::vector<DbValue>& params,
             std::vector<DbRow>* rows) override {
    sqlite3_stmt* stmt = Prepare(sql, params);
    if (stmt == nullptr) return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      DbRow row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        switch (sqlite3_column_type(stmt, i)) {
          case SQLITE_NULL:
            row.emplace_back(nullptr);
            break;
          case SQLITE_INTEGER:
            row.emplace_back(static_cast<int64_t>(sqlite3_column_int64(stmt, i)));
            break;
          default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.emplace_back(std::string(text != nullptr ? text : ""));
          }
        }
      }
      rows->push_back(std::move(row));
    }
    return Finish(stmt, rc);
  }

  int64_t Changes() const override { return sqlite3_changes(db_); }
  std::string Error() const override { return error_; }
  const char* Dialect() const override { return "sqlite"; }

 private:
  // Statements are kept prepared: a sync runs the same few thousands of times.
  sqlite3_stmt* Prepare(const std::string& sql, const std::vector<DbValue>& params) {
    sqlite3_stmt*& stmt = statements_[sql];
    if (stmt == nullptr &&
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
            SQLITE_OK) {
      error_ = sqlite3_errmsg(db_);
      statements_.erase(sql);
      return nullptr;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i + 1);
      if (const auto* n = std::get_if<int64_t>(&params[i])) {
        sqlite3_bind_int64(stmt, index, *n);
      } else if (const auto* s = std::get_if<std::string>(&params[i])) {
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
      } else {
        sqlite3_bind_null(stmt, index);
      }
    }
    return stmt;
  }

  bool Finish(sqlite3_stmt* stmt, int rc) {
    if (rc == SQLITE_DONE) {
      sqlite3_reset(stmt);
      return true;
    }
    error_ = sqlite3_errmsg(db_);
    sqlite3_reset(stmt);
    return false;
  }

  sqlite3* db_;
  std::map<std::string, sqlite3_stmt*> statements_;
  std::string error_;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string* error) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
  if (rc != SQLITE_OK) {
    *error = path + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close(db);
    return nullptr;
  }
  // Several terminals may write at once, each on its own connection: wait
  // for the others' transactions rather than fail.
  sqlite3_busy_timeout(db, 60000);
  std::unique_ptr<Database> database = std::make_unique<SqliteDatabase>(db);
  if (!database->Exec("PRAGMA foreign_keys = ON") ||
      !database->Exec("PRAGMA journal_mode = WAL")) {
    *error = path + ": " + database->Error();
    return nullptr;
  }
  return database;
}

}  // namespace termctl::sync
