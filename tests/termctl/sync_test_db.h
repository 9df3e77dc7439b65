// The sync tests' own view of the database termctl wrote: SQLite files, or
// a schema of its own on the test PostgreSQL server.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <tuple>

namespace termctltest {

class TestDb {
 public:
  virtual ~TestDb() = default;
  // What termctl takes as --db.
  virtual std::string Url() const = 0;
  // Runs a statement; false on error.
  virtual bool Exec(const std::string& sql) = 0;
  // The first column of the first row, as an integer (-1 on error).
  virtual int64_t Number(const std::string& sql) = 0;
  // Rows of (user_id, time, state) in the punches table.
  virtual std::set<std::tuple<std::string, std::string, int64_t>> Punches() = 0;
  // Makes the database refuse every new punch (a trigger that fails).
  virtual bool RefusePunches() = 0;
};

// A fresh SQLite file in a temporary directory.
std::unique_ptr<TestDb> MakeSqliteDb(std::string name);
// A fresh schema on the server whose URL is in $TERMKIT_TEST_PG_URL_FILE;
// null when the server is not there.
std::unique_ptr<TestDb> MakePostgresDb(const std::string& name, std::string* error);

}  // namespace termctltest
