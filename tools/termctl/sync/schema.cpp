#include "sync/schema.h"

#include <vector>

namespace termctl::sync {

namespace {

// Every migration, in order; migration i takes the schema to version i + 1.
// "@ID@" is the dialect's auto-numbered key.
const std::vector<std::vector<std::string>>& Migrations() {
  static const std::vector<std::vector<std::string>> migrations = {
      {
          "CREATE TABLE terminals (serial TEXT PRIMARY KEY, address TEXT NOT NULL,"
          " firmware TEXT NOT NULL, last_sync TEXT)",
          "CREATE TABLE users (terminal TEXT NOT NULL REFERENCES terminals(serial),"
          " pin BIGINT NOT NULL, user_id TEXT NOT NULL, name TEXT NOT NULL,"
          " privilege BIGINT NOT NULL, card BIGINT NOT NULL, enabled BIGINT NOT NULL,"
          " PRIMARY KEY (terminal, pin))",
          "CREATE TABLE punches (id @ID@, terminal TEXT NOT NULL REFERENCES terminals(serial),"
          " user_id TEXT NOT NULL, time TEXT NOT NULL, state BIGINT NOT NULL,"
          " verify_mode BIGINT NOT NULL, work_code TEXT NOT NULL,"
          " UNIQUE (terminal, user_id, time, state))",
          "CREATE INDEX punches_by_time ON punches (terminal, time)",
          "CREATE TABLE oplog (id @ID@, terminal TEXT NOT NULL REFERENCES terminals(serial),"
          " admin BIGINT NOT NULL, operation BIGINT NOT NULL, time TEXT NOT NULL,"
          " param1 BIGINT NOT NULL, param2 BIGINT NOT NULL, param3 BIGINT NOT NULL,"
          " param4 BIGINT NOT NULL,"
          " UNIQUE (terminal, admin, operation, time, param1, param2, param3, param4))",
          "CREATE TABLE sync_runs (id @ID@, terminal TEXT, address TEXT NOT NULL,"
          " started TEXT NOT NULL, ended TEXT NOT NULL, users BIGINT NOT NULL,"
          " new_punches BIGINT NOT NULL, new_oplog BIGINT NOT NULL, result TEXT NOT NULL)",
      },
  };
  return migrations;
}

std::string ForDialect(std::string sql, const Database& db) {
  const std::string id = std::string(db.Dialect()) == "postgresql"
                             ? "BIGSERIAL PRIMARY KEY"
                             : "INTEGER PRIMARY KEY AUTOINCREMENT";
  for (size_t at; (at = sql.find("@ID@")) != std::string::npos;) sql.replace(at, 4, id);
  return sql;
}

bool Fail(Database& db, std::string* error) {
  *error = "cannot set up the database: " + db.Error();
  return false;
}

}  // namespace

bool EnsureSchema(Database& db, std::string* error) {
  Transaction tx(db);
  if (!tx.Begin()) return Fail(db, error);
  if (!db.Exec("CREATE TABLE IF NOT EXISTS schema_version (version BIGINT NOT NULL)")) {
    return Fail(db, error);
  }
  std::vector<DbRow> rows;
  if (!db.Query("SELECT version FROM schema_version", {}, &rows)) return Fail(db, error);
  int64_t version = 0;
  if (!rows.empty()) {
    const auto* v = std::get_if<int64_t>(&rows[0][0]);
    if (v == nullptr || rows.size() != 1) {
      *error = "the database's schema_version table is damaged";
      return false;
    }
    version = *v;
  }
  const auto& migrations = Migrations();
  if (version > static_cast<int64_t>(migrations.size())) {
    *error = "the database has schema version " + std::to_string(version) +
             ", newer than this termctl knows (" + std::to_string(kSchemaVersion) + ")";
    return false;
  }
  if (version == static_cast<int64_t>(migrations.size())) return tx.Commit() || Fail(db, error);
  for (size_t step = static_cast<size_t>(version); step < migrations.size(); ++step) {
    for (const std::string& sql : migrations[step]) {
      if (!db.Exec(ForDialect(sql, db))) return Fail(db, error);
    }
  }
  const bool stored = rows.empty()
                          ? db.Exec("INSERT INTO schema_version (version) VALUES (?)",
                                    {static_cast<int64_t>(migrations.size())})
                          : db.Exec("UPDATE schema_version SET version = ?",
                                    {static_cast<int64_t>(migrations.size())});
  if (!stored || !tx.Commit()) return Fail(db, error);
  return true;
}

}  // namespace termctl::sync
