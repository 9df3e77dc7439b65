// PostgreSQL, for attendance data several hosts share (built when libpq is
// there).
#include "sync/database.h"

#ifdef TERMCTL_HAVE_LIBPQ

#include <libpq-fe.h>

#include <cstdlib>
#include <map>

namespace termctl::sync {

namespace {

// "... = ? AND ... = ?" -> "... = $1 AND ... = $2" (our statements hold no
// question marks inside literals).
std::string Numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (const char c : sql) {
    if (c == '?') {
      out += '$' + std::to_string(++n);
    } else {
      out += c;
    }
  }
  return out;
}

class PostgresDatabase final : public Database {
 public:
  explicit PostgresDatabase(PGconn* conn) : conn_(conn) {}
  ~PostgresDatabase() override { PQfinish(conn_); }

  bool Exec(const std::string& sql, const std::vector<DbValue>& params) override {
    PGresult* res = Run(sql, params);
    if (res == nullptr) return false;
    const char* tuples = PQcmdTuples(res);
    changes_ = (tuples != nullptr && *tuples != '\0') ? std::atoll(tuples) : 0;
    PQclear(res);
    return true;
  }

  bool Query(const std::string& sql, const std::vector<DbValue>& params,
             std::vector<DbRow>* rows) override {
    PGresult* res = Run(sql, params);
    if (res == nullptr) return false;
    for (int r = 0; r < PQntuples(res); ++r) {
      DbRow row;
      for (int c = 0; c < PQnfields(res); ++c) {
        if (PQgetisnull(res, r, c)) {
          row.emplace_back(nullptr);
          continue;
        }
        const std::string text = PQgetvalue(res, r, c);
        const Oid type = PQftype(res, c);
        // int8, int4, int2
        if (type == 20 || type == 23 || type == 21) {
          row.emplace_back(static_cast<int64_t>(std::atoll(text.c_str())));
        } else {
          row.emplace_back(text);
        }
      }
      rows->push_back(std::move(row));
    }
    PQclear(res);
    return true;
  }

  int64_t Changes() const override { return changes_; }
  std::string Error() const override { return error_; }
  const char* Dialect() const override { return "postgresql"; }

 private:
  PGresult* Run(const std::string& sql, const std::vector<DbValue>& params) {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (size_t i = 0; i < params.size(); ++i) {
      if (const auto* n = std::get_if<int64_t>(&params[i])) {
        texts[i] = std::to_string(*n);
        values[i] = texts[i].c_str();
      } else if (const auto* s = std::get_if<std::string>(&params[i])) {
        values[i] = s->c_str();
      }
    }
    PGresult* res = PQexecParams(conn_, Numbered(sql).c_str(), static_cast<int>(params.size()),
                                 nullptr, values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(res);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return res;
    error_ = PQresultErrorMessage(res);
    while (!error_.empty() && (error_.back() == '\n' || error_.back() == ' ')) error_.pop_back();
    if (error_.empty()) error_ = PQerrorMessage(conn_);
    PQclear(res);
    return nullptr;
  }

  PGconn* conn_;
  int64_t changes_ = 0;
  std::string error_;
};

}  // namespace

bool PostgresAvailable() { return true; }

std::unique_ptr<Database> OpenPostgres(const std::string& url, std::string* error) {
  PGconn* conn = PQconnectdb(url.c_str());
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    std::string reason = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    *error = reason;
    PQfinish(conn);
    return nullptr;
  }
  std::unique_ptr<Database> db = std::make_unique<PostgresDatabase>(conn);
  // Notices (e.g. "relation already exists, skipping") are not for people.
  db->Exec("SET client_min_messages = warning", {});
  return db;
}

}  // namespace termctl::sync

#else

namespace termctl::sync {

bool PostgresAvailable() { return false; }

std::unique_ptr<Database> OpenPostgres(const std::string&, std::string* error) {
  *error = "this termctl was built without PostgreSQL support";
  return nullptr;
}

}  // namespace termctl::sync

#endif
