// A thin RAII layer over the SQLite C library, and nothing more: a Database owns one
// connection, a Statement one prepared statement, a Transaction rolls back unless committed.
// Every failure is thrown as sql::Error with SQLite's code and message. Each object is used
// by one thread at a time (a connection is never shared between threads).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace vendrix::sql {

// A failed SQLite call: its extended result code and "<what>: <SQLite's message>".
class Error : public std::runtime_error {
 public:
  Error(int code, const std::string& message);
  int Code() const { return code_; }
  // The file is not a database, or its content contradicts itself.
  bool Damaged() const;
  // Another connection held a lock for longer than the busy time-out.
  bool Busy() const;

 private:
  int code_;
};

class Statement;

class Database {
 public:
  enum class Mode {
    kReadWrite,  // an existing file, read and written
    kCreate,     // created when missing, read and written
    kReadOnly,   // never written; still shares the write-ahead log of the file's writers
    kImmutable,  // never written, and nothing beside it opened or created: for a file that
                 // nobody else has open (no write-ahead log beside it)
  };

  // Opens `path`; throws Error when it cannot (a missing file without kCreate included).
  Database(const std::string& path, Mode mode);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs `sql`, one or more statements without results.
  void Execute(const char* sql);
  // The first column of the first row of `sql` as an integer; 0 when there is no row.
  int64_t QueryInt(const char* sql);
  int64_t LastInsertRowid() const;
  // Rows changed by the last INSERT, UPDATE or DELETE.
  int64_t Changes() const;

  // How long a statement waits for another connection's lock before failing with Busy().
  void SetBusyTimeout(int milliseconds);
  // Leaves the write-ahead log as it is when the connection closes, instead of copying it
  // into the file and removing it: for a file this connection must not write.
  void KeepLogOnClose();

  const std::string& Path() const { return path_; }
  sqlite3* Handle() const { return db_; }

  // Throws Error for `code` unless it is SQLITE_OK, with `what` and the connection's message.
  void Check(int code, std::string_view what) const;

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

class Statement {
 public:
  // Prepares `sql` (one statement); throws Error when it does not compile.
  Statement(Database& db, const char* sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;

  // Parameters count from 1, as in SQL's ?1.
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindNull(int index);

  // The next row: true when there is one, false when the statement is done.
  bool Step();
  // Steps to the end, for a statement without results.
  void Run();
  // Makes the statement ready to run again, keeping its bindings.
  void Reset();

  int64_t ColumnInt(int column) const;
  std::string ColumnText(int column) const;
  bool ColumnIsNull(int column) const;

 private:
  Database& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

class Transaction {
 public:
  enum class Kind {
    kRead,   // a consistent snapshot for several reads
    kWrite,  // takes the write lock at once (waiting up to the busy time-out), so that it never
             // has to give up half-way because another connection wrote first
  };
  Transaction(Database& db, Kind kind);
  // Rolls back what was not committed.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  Database& db_;
  bool open_ = true;
};

}  // namespace vendrix::sql
