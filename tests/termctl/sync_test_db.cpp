#include "sync_test_db.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef TERMCTL_TEST_LIBPQ
#include <libpq-fe.h>
#endif

namespace termctltest {

namespace {

class SqliteTestDb final : public TestDb {
 public:
  explicit SqliteTestDb(std::string path) : path_(std::move(path)) {}
  ~SqliteTestDb() override {
    std::filesystem::remove(path_);
    std::filesystem::remove(path_ + "-wal");
    std::filesystem::remove(path_ + "-shm");
  }
  std::string Url() const override { return "sqlite:" + path_; }

  bool Exec(const std::string& sql) override {
    sqlite3* db = Open();
    if (db == nullptr) return false;
    const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
  }

  int64_t Number(const std::string& sql) override {
    int64_t out = -1;
    Each(sql, [&](sqlite3_stmt* s) { out = sqlite3_column_int64(s, 0); });
    return out;
  }

  std::set<std::tuple<std::string, std::string, int64_t>> Punches() override {
    std::set<std::tuple<std::string, std::string, int64_t>> out;
    Each("SELECT user_id, time, state FROM punches", [&](sqlite3_stmt* s) {
      out.emplace(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                  reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                  sqlite3_column_int64(s, 2));
    });
    return out;
  }

  bool RefusePunches() override {
    return Exec(
        "CREATE TRIGGER refuse_punches BEFORE INSERT ON punches BEGIN"
        " SELECT RAISE(ABORT, 'punches are refused'); END");
  }

 private:
  sqlite3* Open() {
    sqlite3* db = nullptr;
    if (sqlite3_open(path_.c_str(), &db) != SQLITE_OK) {
      sqlite3_close(db);
      return nullptr;
    }
    return db;
  }

  template <typename Fn>
  void Each(const std::string& sql, Fn fn) {
    sqlite3* db = Open();
    if (db == nullptr) return;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
      while (sqlite3_step(s) == SQLITE_ROW) fn(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
  }

  std::string path_;
};

#ifdef TERMCTL_TEST_LIBPQ
class PostgresTestDb final : public TestDb {
 public:
  PostgresTestDb(PGconn* conn, std::string base_url, std::string schema)
      : conn_(conn), base_url_(std::move(base_url)), schema_(std::move(schema)) {}
  ~PostgresTestDb() override {
    Exec("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
    PQfinish(conn_);
  }
  // termctl's connection works in the test's schema.
  std::string Url() const override {
    return base_url_ + "&options=-csearch_path%3D" + schema_;
  }

  bool Exec(const std::string& sql) override {
    PGresult* r = PQexec(conn_, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
    return ok;
  }

  int64_t Number(const std::string& sql) override {
    PGresult* r = PQexec(conn_, sql.c_str());
    int64_t out = -1;
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0)) {
      out = std::atoll(PQgetvalue(r, 0, 0));
    }
    PQclear(r);
    return out;
  }

  std::set<std::tuple<std::string, std::string, int64_t>> Punches() override {
    std::set<std::tuple<std::string, std::string, int64_t>> out;
    PGresult* r = PQexec(conn_, "SELECT user_id, time, state FROM punches");
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
      for (int i = 0; i < PQntuples(r); ++i) {
        out.emplace(PQgetvalue(r, i, 0), PQgetvalue(r, i, 1), std::atoll(PQgetvalue(r, i, 2)));
      }
    }
    PQclear(r);
    return out;
  }

  bool RefusePunches() override {
    return Exec(
               "CREATE FUNCTION refuse_punch() RETURNS trigger LANGUAGE plpgsql AS"
               " $$ BEGIN RAISE EXCEPTION 'punches are refused'; END $$") &&
           Exec(
               "CREATE TRIGGER refuse_punches BEFORE INSERT ON punches FOR EACH ROW"
               " EXECUTE FUNCTION refuse_punch()");
  }

 private:
  PGconn* conn_;
  std::string base_url_;
  std::string schema_;
};
#endif

}  // namespace

std::unique_ptr<TestDb> MakeSqliteDb(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  const auto path = std::filesystem::temp_directory_path() /
                    ("termkit_sync_" + std::to_string(getpid()) + "_" + name + ".db");
  std::filesystem::remove(path);
  return std::make_unique<SqliteTestDb>(path.string());
}

std::unique_ptr<TestDb> MakePostgresDb(const std::string& name, std::string* error) {
#ifdef TERMCTL_TEST_LIBPQ
  const char* file = std::getenv("TERMKIT_TEST_PG_URL_FILE");
  std::string url;
  if (file != nullptr) std::getline(std::ifstream(file), url);
  if (url.empty()) {
    *error = "no test server: TERMKIT_TEST_PG_URL_FILE names no URL (ctest starts one)";
    return nullptr;
  }
  PGconn* conn = PQconnectdb(url.c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    *error = PQerrorMessage(conn);
    PQfinish(conn);
    return nullptr;
  }
  std::string schema = "sync_" + name + "_" + std::to_string(getpid());
  for (char& c : schema) {
    c = std::isalnum(static_cast<unsigned char>(c))
            ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
            : '_';
  }
  auto db = std::make_unique<PostgresTestDb>(conn, url, schema);
  if (!db->Exec("DROP SCHEMA IF EXISTS " + schema + " CASCADE") ||
      !db->Exec("CREATE SCHEMA " + schema) || !db->Exec("SET search_path = " + schema)) {
    *error = "cannot make schema " + schema;
    return nullptr;
  }
  return db;
#else
  *error = "built without libpq";
  return nullptr;
#endif
}

}  // namespace termctltest
