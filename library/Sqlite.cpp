#include "library/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace vendrix::sql {

Error::Error(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

bool Error::Damaged() const {
  int primary = code_ & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool Error::Busy() const {
  int primary = code_ & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

Database::Database(const std::string& path, Mode mode) : path_(path) {
  int flags = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
  std::string name = path;
  switch (mode) {
    case Mode::kReadWrite:
      flags |= SQLITE_OPEN_READWRITE;
      break;
    case Mode::kCreate:
      flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
      break;
    case Mode::kReadOnly:
    case Mode::kImmutable:
      flags |= SQLITE_OPEN_READONLY;
      break;
  }
  // A file name is taken as a URI only when it is one; ours never carry parameters except
  // the one added here, so the name is percent-encoded where a URI would read it otherwise.
  if (mode == Mode::kImmutable) {
    std::string uri = "file:";
    for (unsigned char c : path) {
      if (c == '%' || c == '?' || c == '#' || c <= 0x20) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        uri += '%';
        uri += kHex[c >> 4];
        uri += kHex[c & 0x0F];
      } else {
        uri += static_cast<char>(c);
      }
    }
    name = uri + "?immutable=1";
  } else if (path.starts_with("file:")) {
    name = "./" + path;
  }
  int code = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (code != SQLITE_OK) {
    std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    int extended = db_ != nullptr ? sqlite3_extended_errcode(db_) : code;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw Error(extended, message);
  }
  sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() { sqlite3_close_v2(db_); }

void Database::Check(int code, std::string_view what) const {
  if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) return;
  std::string message = sqlite3_errmsg(db_);
  if (!what.empty()) message = std::string(what) + ": " + message;
  throw Error(sqlite3_extended_errcode(db_), message);
}

void Database::Execute(const char* sql) {
  Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), "");
}

int64_t Database::QueryInt(const char* sql) {
  Statement statement(*this, sql);
  return statement.Step() ? statement.ColumnInt(0) : 0;
}

int64_t Database::LastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

int64_t Database::Changes() const { return sqlite3_changes64(db_); }

void Database::SetBusyTimeout(int milliseconds) {
  Check(sqlite3_busy_timeout(db_, milliseconds), "busy time-out");
}

void Database::KeepLogOnClose() {
  Check(sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr), "keep the log");
}

Statement::Statement(Database& db, const char* sql) : db_(db) {
  db_.Check(sqlite3_prepare_v2(db_.Handle(), sql, -1, &stmt_, nullptr), "");
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::Bind(int index, int64_t value) {
  db_.Check(sqlite3_bind_int64(stmt_, index, value), "");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  db_.Check(
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
      "");
  return *this;
}

Statement& Statement::BindNull(int index) {
  db_.Check(sqlite3_bind_null(stmt_, index), "");
  return *this;
}

bool Statement::Step() {
  int code = sqlite3_step(stmt_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  // The statement's own error, not a later one of the connection.
  int extended = sqlite3_extended_errcode(db_.Handle());
  std::string message = sqlite3_errmsg(db_.Handle());
  sqlite3_reset(stmt_);
  throw Error(extended, message);
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() { sqlite3_reset(stmt_); }

int64_t Statement::ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::ColumnText(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool Statement::ColumnIsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Transaction::Transaction(Database& db, Kind kind) : db_(db) {
  db_.Execute(kind == Kind::kWrite ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

Transaction::~Transaction() {
  // Nothing to report from here: a rollback that fails leaves SQLite to roll back itself.
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  db_.Execute("COMMIT");
  open_ = false;
}

}  // namespace vendrix::sql
