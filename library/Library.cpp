#include "library/Library.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "library/LibraryFile.h"
#include "library/LibrarySchema.h"
#include "library/SearchText.h"
#include "library/Sqlite.h"
#include "platform/PosixIo.h"

namespace vendrix::library {
namespace {

using Mode = sql::Database::Mode;
constexpr int64_t kSlots = library_defaults::kKeysPerMillisecond;

LibraryStatus Status(LibraryStatus::Code code, std::string message) {
  LibraryStatus status;
  status.code = code;
  status.message = std::move(message);
  return status;
}

// What an error met while `what` (a phrase naming the library) means for the user.
LibraryStatus FromError(const std::string& path, const std::string& what,
                        const std::exception& error) {
  const auto* sql_error = dynamic_cast<const sql::Error*>(&error);
  if (sql_error != nullptr && sql_error->Damaged()) {
    return Status(LibraryStatus::kDamaged, "the library " + path + " is damaged (" + error.what() +
                                               "); it is left as it is");
  }
  if (sql_error != nullptr && sql_error->Busy()) {
    return Status(LibraryStatus::kFailed,
                  what + " failed: another program held it for longer than " +
                      std::to_string(library_defaults::kBusyTimeoutMs / 1000) + " s");
  }
  return Status(LibraryStatus::kFailed, what + " failed: " + error.what());
}

LibraryStatus Newer(const std::string& path, int file_version, bool reading, int readable_by) {
  LibraryStatus status;
  status.code = LibraryStatus::kNewer;
  status.file_version = file_version;
  status.known_version = schema::kVersion;
  if (reading) {
    status.message = "the library " + path + " is of version " + std::to_string(file_version) +
                     ", which only a Vendrix that knows version " + std::to_string(readable_by) +
                     " or later can read; this one knows version " +
                     std::to_string(schema::kVersion) + "; it is left as it is";
  } else {
    status.message = "the library " + path + " is of version " + std::to_string(file_version) +
                     ", newer than version " + std::to_string(schema::kVersion) +
                     " that this Vendrix writes; it is left as it is";
  }
  return status;
}

// vendrix_matches(search, value...): 1 when the values hold every piece of the search text.
void MatchesFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  using Pieces = std::vector<SearchPiece>;
  // The search is the same for every row of a statement: it is read once.
  auto* pieces = static_cast<Pieces*>(sqlite3_get_auxdata(context, 0));
  Pieces read;
  if (pieces == nullptr) {
    const unsigned char* search = sqlite3_value_text(argv[0]);
    read = SearchPieces(search != nullptr ? reinterpret_cast<const char*>(search) : "");
    pieces = &read;
    sqlite3_set_auxdata(context, 0, new Pieces(read),
                        [](void* kept) { delete static_cast<Pieces*>(kept); });
  }
  std::vector<std::string_view> values;
  for (int i = 1; i < argc; ++i) {
    const unsigned char* text = sqlite3_value_text(argv[i]);
    values.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "",
                        static_cast<size_t>(sqlite3_value_bytes(argv[i])));
  }
  sqlite3_result_int(context, TextMatches(*pieces, values) ? 1 : 0);
}

int64_t Clamp(size_t limit) {
  return limit > static_cast<size_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(limit);
}

// The key a new entry of `time_ms` gets: after the entries of its millisecond, or in the next
// free one when that millisecond is full.
int64_t NextKey(sql::Database& db, int64_t time_ms) {
  sql::Statement last(db, "SELECT max(key) FROM history WHERE key >= ?1 AND key < ?2");
  for (int64_t slot = time_ms * kSlots;; slot += kSlots) {
    last.Bind(1, slot).Bind(2, slot + kSlots);
    if (!last.Step() || last.ColumnIsNull(0)) return slot;
    int64_t key = last.ColumnInt(0) + 1;
    if (key < slot + kSlots) return key;
    last.Reset();
  }
}

// Conditions that keep the rows whose values hold the text of each piece of `pieces` that
// needs it, with their parameters from `next` on.
std::string TextChecks(const std::vector<SearchPiece>& pieces,
                       const std::vector<const char*>& columns, int& next,
                       std::vector<std::string>& parameters) {
  std::string sql;
  for (const SearchPiece& piece : pieces) {
    if (!NeedsTextCheck(piece)) continue;
    std::string either;
    for (const char* column : columns) {
      either += (either.empty() ? "" : " OR ") + std::string("instr(") + column + ", ?" +
                std::to_string(next) + ") > 0";
    }
    sql += " AND (" + either + ")";
    parameters.push_back(piece.text);
    ++next;
  }
  return sql;
}

}  // namespace

std::string Library::OlderEntriesQuery(const std::vector<SearchPiece>& pieces,
                                       const std::vector<int64_t>& holding, int64_t matched,
                                       int64_t wanted, int64_t first_key, int64_t last_key,
                                       int64_t since) {
  if (pieces.size() < 2) return IndexQuery(pieces);
  size_t rarest = 0;
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (holding[i] < holding[rarest]) rarest = i;
  }
  // The older entries, as many for each one looked at as their span of time says (an
  // estimate: only which way is cheaper depends on it).
  int64_t oldest = std::max(since, db_->QueryInt("SELECT ifnull(min(key), 0) FROM history"));
  double scale = static_cast<double>(std::max<int64_t>(last_key - oldest, 1)) /
                 static_cast<double>(std::max<int64_t>(first_key - last_key, 1));
  auto entries_holding = [&](size_t i) {
    return std::max<double>(static_cast<double>(holding[i]), 1) * scale;
  };
  // All the words: the index gathers every entry of each.
  double all_words = 0;
  for (size_t i = 0; i < pieces.size(); ++i) all_words += entries_holding(i);
  // The rarest alone: its entries, and the rows checked until the page is full (all of them
  // when none of the newest held the whole search).
  double rows = entries_holding(rarest);
  if (matched > 0) {
    rows = std::min(rows, static_cast<double>(wanted) * static_cast<double>(holding[rarest]) /
                              static_cast<double>(matched));
  }
  double rarest_alone = entries_holding(rarest) + library_defaults::kSearchRowCost * rows;
  return rarest_alone < all_words ? IndexQuery({pieces[rarest]}) : IndexQuery(pieces);
}

const char* KindName(EntryKind kind) { return kind == EntryKind::kItem ? "item" : "shop"; }

const char* ActionName(HistoryAction action) {
  switch (action) {
    case HistoryAction::kOpened:
      return "opened";
    case HistoryAction::kCopied:
      return "copied";
    case HistoryAction::kPrinted:
      break;
  }
  return "printed";
}

std::string DefaultLibraryPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : "/";
    }
    base = std::string(home) + "/.local/share";
  }
  return base + "/vendrix/" + library_defaults::kFileName;
}

bool HistoryRecordingOn() {
  const char* value = std::getenv("VENDRIX_HISTORY");
  if (value == nullptr) return true;
  std::string lower;
  for (const char* c = value; *c != '\0'; ++c) {
    lower += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  }
  return lower != "off" && lower != "0" && lower != "no" && lower != "false";
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string IsoTime(int64_t time_ms) {
  int64_t seconds = time_ms >= 0 ? time_ms / 1000 : (time_ms - 999) / 1000;
  int millis = static_cast<int>(time_ms - seconds * 1000);
  time_t t = static_cast<time_t>(seconds);
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
  return text;
}

std::optional<int64_t> ParseDay(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  int year = std::stoi(text.substr(0, 4));
  int month = std::stoi(text.substr(5, 2));
  int day = std::stoi(text.substr(8, 2));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1970 || month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  return static_cast<int64_t>(::timegm(&tm)) * 1000;
}

Library::Library(std::string path, std::unique_ptr<sql::Database> db, int file_version,
                 bool writable)
    : path_(std::move(path)),
      db_(std::move(db)),
      file_version_(file_version),
      writable_(writable) {}

Library::~Library() = default;

template <typename Body>
LibraryStatus Library::Guard(const char* what, bool writes, Body body) {
  if (writes && !writable_) {
    if (file_version_ > schema::kVersion) return Newer(path_, file_version_, false, 0);
    return Status(LibraryStatus::kFailed, std::string(what) + " the library " + path_ +
                                              " failed: it was opened for reading");
  }
  try {
    body();
    return {};
  } catch (const std::exception& error) {
    return FromError(path_, std::string(what) + " the library " + path_, error);
  }
}

std::unique_ptr<Library> Library::Open(const std::string& path, Access access,
                                       LibraryStatus& status) {
  status = {};
  const bool reading = access == Access::kRead;
  std::unique_ptr<sql::Database> db;
  bool log_existed = false;
  try {
    FileHeader header = ReadFileHeader(path);
    if (header.missing) {
      CreateLibraryFile(path);
      header = ReadFileHeader(path);
    }
    if (!header.status.Ok()) {
      status = header.status;
      return nullptr;
    }
    log_existed = FileExists(path + "-wal");
    bool newer = header.user_version > schema::kVersion;
    if (newer && !reading) {
      status = Newer(path, header.user_version, false, 0);
      return nullptr;
    }
    // A newer file is only ever read: beside its own write-ahead log when it has one, or as
    // it stands, so that nothing is made beside it.
    db = std::make_unique<sql::Database>(path, !newer        ? Mode::kReadWrite
                                               : log_existed ? Mode::kReadOnly
                                                             : Mode::kImmutable);
    db->SetBusyTimeout(library_defaults::kBusyTimeoutMs);
    db->Check(sqlite3_create_function_v2(db->Handle(), "vendrix_matches", -1,
                                         SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                         MatchesFunction, nullptr, nullptr, nullptr),
              "the search function");
    db->Execute("PRAGMA cell_size_check = ON");
    db->Execute("PRAGMA synchronous = NORMAL");
    db->Execute(("PRAGMA journal_size_limit = " +
                 std::to_string(library_defaults::kLogSizeLimitBytes))
                    .c_str());

    int version = 0;
    int readable_by = 0;
    bool ours = false;
    bool schema_ok = false;
    {
      sql::Transaction snapshot(*db, sql::Transaction::Kind::kRead);
      ours = static_cast<uint32_t>(db->QueryInt("PRAGMA application_id")) ==
             library_defaults::kApplicationId;
      version = schema::FileVersion(*db);
      readable_by = schema::ReadableBy(*db);
      schema_ok = version >= 1 && schema::HasReadableSchema(*db);
    }
    // What the write-ahead log holds may say more than the file's own header did.
    auto refuse = [&](LibraryStatus why) {
      if (log_existed) db->KeepLogOnClose();
      status = std::move(why);
      return nullptr;
    };
    if (!ours) {
      return refuse(Status(LibraryStatus::kNotALibrary,
                           "the library " + path +
                               " is not a Vendrix library (another "
                               "program's SQLite database); it is left as it is"));
    }
    if (version > schema::kVersion && (!reading || readable_by > schema::kVersion)) {
      return refuse(Newer(path, version, reading, readable_by));
    }
    if (version > schema::kVersion) {
      // Read where the schema allows: the tables this version reads must be there.
      if (!schema_ok) {
        return refuse(Status(LibraryStatus::kDamaged, "the library " + path +
                                                          " is damaged (its tables are not those "
                                                          "its version has); it is left as it is"));
      }
      if (log_existed) db->KeepLogOnClose();
      db->Execute("PRAGMA query_only = ON");
      return std::unique_ptr<Library>(new Library(path, std::move(db), version, false));
    }
    if (version < 1 || (version == schema::kVersion && !schema_ok)) {
      return refuse(Status(LibraryStatus::kDamaged, "the library " + path +
                                                        " is damaged (its tables are not those its "
                                                        "version has); it is left as it is"));
    }
    if (!reading) {
      // A damaged file is never written: the whole of it is checked before this connection's
      // first change (damage need not lie where a change looks). Readers need not check.
      sql::Statement check(*db, "PRAGMA quick_check");
      if (!check.Step() || check.ColumnText(0) != "ok") {
        return refuse(Status(LibraryStatus::kDamaged, "the library " + path + " is damaged (" +
                                                          check.ColumnText(0) +
                                                          "); it is left as it is"));
      }
    }
    if (version < schema::kVersion) {
      sql::Transaction migration(*db, sql::Transaction::Kind::kWrite);
      // Another process may have migrated it meanwhile.
      version = schema::FileVersion(*db);
      if (version < schema::kVersion) {
        if (!schema::HasReadableSchema(*db)) {
          return refuse(
              Status(LibraryStatus::kDamaged, "the library " + path +
                                                  " is damaged (its tables are not those "
                                                  "its version has); it is left as it is"));
        }
        schema::Migrate(*db, version);
      }
      migration.Commit();
    }
    if (!header.write_ahead_log && !reading) db->Execute("PRAGMA journal_mode = WAL");
    if (reading) db->Execute("PRAGMA query_only = ON");
    return std::unique_ptr<Library>(new Library(path, std::move(db), schema::kVersion, !reading));
  } catch (const std::exception& error) {
    if (db && log_existed) {
      // Nothing of another process's log is copied into a file that could not be used.
      sqlite3_db_config(db->Handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    status = FromError(path, "opening the library " + path, error);
    return nullptr;
  }
}

LibraryStatus Library::Check() {
  LibraryStatus status;
  LibraryStatus guarded = Guard("checking", false, [&] {
    sql::Statement check(*db_, "PRAGMA quick_check");
    if (!check.Step() || check.ColumnText(0) != "ok") {
      status = Status(LibraryStatus::kDamaged, "the library " + path_ + " is damaged (" +
                                                   check.ColumnText(0) + "); it is left as it is");
    }
  });
  return guarded.Ok() ? status : guarded;
}

LibraryStatus Library::Record(HistoryEntry& entry) {
  std::vector<HistoryEntry> entries{entry};
  LibraryStatus status = Record(entries);
  entry = entries[0];
  return status;
}

LibraryStatus Library::Record(std::vector<HistoryEntry>& entries) {
  return Guard("recording in", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    sql::Statement insert(*db_,
                          "INSERT INTO history(key, kind, action, id, nick, title, price, "
                          "commission_rate, click_url) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    sql::Statement index(*db_, "INSERT INTO history_search(rowid, words) VALUES(?1, ?2)");
    std::vector<int64_t> keys;
    for (HistoryEntry& entry : entries) {
      int64_t time = entry.time_ms != 0 ? entry.time_ms : NowMs();
      int64_t key = NextKey(*db_, time);
      insert.Bind(1, key)
          .Bind(2, entry.kind == EntryKind::kItem ? 0 : 1)
          .Bind(3, static_cast<int64_t>(entry.action))
          .Bind(4, entry.id)
          .Bind(5, entry.nick)
          .Bind(6, entry.title)
          .Bind(7, entry.price)
          .Bind(8, entry.commission_rate)
          .Bind(9, entry.click_url);
      insert.Run();
      insert.Reset();
      index.Bind(1, key).Bind(2, schema::HistoryWords(entry.title, entry.nick, entry.id));
      index.Run();
      index.Reset();
      keys.push_back(key);
    }
    transaction.Commit();
    // Only a committed entry has its place.
    for (size_t i = 0; i < entries.size(); ++i) {
      entries[i].key = keys[i];
      entries[i].time_ms = keys[i] / kSlots;
    }
  });
}

LibraryStatus Library::ReadHistory(const HistoryQuery& query, std::vector<HistoryEntry>& entries) {
  entries.clear();
  return Guard("reading", false, [&] {
    const std::vector<SearchPiece> pieces = SearchPieces(query.search);
    const int64_t since = query.since_ms ? *query.since_ms * kSlots : INT64_MIN;
    const int64_t limit = Clamp(query.limit);
    // The kind is one of two numbers, written into the statement as it stands.
    const std::string kind = !query.kind                       ? ""
                             : *query.kind == EntryKind::kItem ? " AND h.kind = 0"
                                                               : " AND h.kind = 1";
    constexpr const char* kColumns =
        "SELECT h.key, h.kind, h.action, h.id, h.nick, h.title, h.price, h.commission_rate, "
        "h.click_url ";
    // The entry of a row of kColumns.
    auto entry_of = [](const sql::Statement& row) {
      HistoryEntry entry;
      entry.key = row.ColumnInt(0);
      entry.time_ms = entry.key / kSlots;
      entry.kind = row.ColumnInt(1) == 0 ? EntryKind::kItem : EntryKind::kShop;
      int64_t action = row.ColumnInt(2);
      entry.action = action == 0   ? HistoryAction::kOpened
                     : action == 1 ? HistoryAction::kCopied
                                   : HistoryAction::kPrinted;
      entry.id = row.ColumnText(3);
      entry.nick = row.ColumnText(4);
      entry.title = row.ColumnText(5);
      entry.price = row.ColumnText(6);
      entry.commission_rate = row.ColumnText(7);
      entry.click_url = row.ColumnText(8);
      return entry;
    };
    // Entries below `before` and from `low` on, at most `wanted`, the search's index query
    // `match` narrowing them down when given; each checked against the search when `check`.
    auto read = [&](int64_t before, int64_t low, int64_t wanted, const std::string& match,
                    bool check) {
      std::string sql = kColumns;
      if (match.empty()) {
        sql += "FROM history AS h WHERE h.key < ?1 AND h.key >= ?2";
      } else {
        // The index gives its matches newest first: a page stops after `wanted`.
        sql +=
            "FROM history_search AS s CROSS JOIN history AS h ON h.key = s.rowid "
            "WHERE history_search MATCH ?5 AND s.rowid < ?1 AND s.rowid >= ?2";
      }
      sql += kind;
      if (check) sql += " AND vendrix_matches(?4, h.title, h.nick, h.id)";
      sql += match.empty() ? " ORDER BY h.key DESC LIMIT ?3" : " ORDER BY s.rowid DESC LIMIT ?3";
      sql::Statement select(*db_, sql.c_str());
      select.Bind(1, before).Bind(2, low).Bind(3, wanted);
      if (check) select.Bind(4, query.search);
      if (!match.empty()) select.Bind(5, match);
      while (select.Step()) entries.push_back(entry_of(select));
    };
    const int64_t before = query.before.value_or(INT64_MAX);
    if (pieces.empty()) {
      read(before, since, limit, "", false);
      return;
    }
    // A pair of characters is one word of the index, which gives its entries newest first;
    // the rest of the search is checked in the entries it gives.
    if (std::string exact = IndexQuery(pieces, true); !exact.empty()) {
      read(before, since, limit, exact, true);
      return;
    }
    // Only words found by their start (one character, letters, digits): the index would
    // gather every word that starts alike, all the entries of a common one. The newest entries
    // are looked through first, which finds a common word at once; the index then only has
    // to find a rare one in the older entries.
    sql::Statement newest(
        *db_, (std::string(kColumns) + "FROM history AS h WHERE h.key < ?1 AND h.key >= ?2" + kind +
               " ORDER BY h.key DESC LIMIT ?3")
                  .c_str());
    newest.Bind(1, before).Bind(2, since).Bind(3, library_defaults::kSearchScanRows);
    int64_t looked_at = 0;
    int64_t first_key = 0;
    int64_t last_key = 0;
    // How many of the entries looked at hold each word: how common it is.
    std::vector<int64_t> holding(pieces.size(), 0);
    while (static_cast<int64_t>(entries.size()) < limit && newest.Step()) {
      ++looked_at;
      last_key = newest.ColumnInt(0);
      if (looked_at == 1) first_key = last_key;
      std::string title = newest.ColumnText(5);
      std::string nick = newest.ColumnText(4);
      std::string id = newest.ColumnText(3);
      bool matches = pieces.size() > 1 ? PiecesHeld(pieces, {title, nick, id}, &holding)
                                       : TextMatches(pieces, {title, nick, id});
      if (matches) entries.push_back(entry_of(newest));
    }
    const int64_t found = static_cast<int64_t>(entries.size());
    if (found < limit && looked_at == library_defaults::kSearchScanRows) {
      read(last_key, since, limit - found, OlderEntriesQuery(pieces, holding, found, limit - found,
                                                             first_key, last_key, since),
           true);
    }
  });
}

LibraryStatus Library::ClearHistory(std::optional<int64_t> before_ms, int64_t& removed) {
  removed = 0;
  return Guard("clearing the history of", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    if (!before_ms) {
      db_->Execute("DELETE FROM history");
      removed = db_->Changes();
      db_->Execute("INSERT INTO history_search(history_search) VALUES('delete-all')");
    } else {
      int64_t below = *before_ms * kSlots;
      // The index holds no text: each entry's words, made again from its row, take it out.
      sql::Statement rows(*db_, "SELECT key, title, nick, id FROM history WHERE key < ?1");
      sql::Statement unindex(
          *db_,
          "INSERT INTO history_search(history_search, rowid, words) VALUES('delete', ?1, ?2)");
      rows.Bind(1, below);
      while (rows.Step()) {
        unindex.Bind(1, rows.ColumnInt(0))
            .Bind(2,
                  schema::HistoryWords(rows.ColumnText(1), rows.ColumnText(2), rows.ColumnText(3)));
        unindex.Run();
        unindex.Reset();
      }
      sql::Statement remove(*db_, "DELETE FROM history WHERE key < ?1");
      remove.Bind(1, below).Run();
      removed = db_->Changes();
    }
    transaction.Commit();
  });
}

LibraryStatus Library::RemoveHistoryEntry(int64_t key, bool& removed) {
  removed = false;
  return Guard("removing an entry from", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    sql::Statement row(*db_, "SELECT title, nick, id FROM history WHERE key = ?1");
    row.Bind(1, key);
    if (!row.Step()) return;
    // The index holds no text: the entry's words, made again from its row, take it out.
    sql::Statement(
        *db_, "INSERT INTO history_search(history_search, rowid, words) VALUES('delete', ?1, ?2)")
        .Bind(1, key)
        .Bind(2, schema::HistoryWords(row.ColumnText(0), row.ColumnText(1), row.ColumnText(2)))
        .Run();
    sql::Statement(*db_, "DELETE FROM history WHERE key = ?1").Bind(1, key).Run();
    removed = db_->Changes() > 0;
    transaction.Commit();
  });
}

LibraryStatus Library::SetNote(EntryKind kind, const std::string& key, const std::string& note,
                               bool& found) {
  found = false;
  const bool shop = kind == EntryKind::kShop;
  return Guard("changing a note in", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    sql::Statement row(*db_,
                       shop ? "SELECT title, nick, shop_id FROM saved_shop WHERE nick = ?1"
                            : "SELECT title, nick, item_id FROM saved_item WHERE item_id = ?1");
    row.Bind(1, key);
    if (!row.Step()) return;
    // The note is searched too: the entry's words are made again with it.
    sql::Statement(*db_, shop ? "UPDATE saved_shop SET note = ?2, words = ?3 WHERE nick = ?1"
                              : "UPDATE saved_item SET note = ?2, words = ?3 WHERE item_id = ?1")
        .Bind(1, key)
        .Bind(2, note)
        .Bind(3, schema::SavedWords(row.ColumnText(0), row.ColumnText(1), row.ColumnText(2), note))
        .Run();
    found = true;
    transaction.Commit();
  });
}

namespace {

// The note saved with the entry that `query` finds by `key`; "" when there is none.
std::string KeptNote(sql::Database& db, const char* query, const std::string& key) {
  sql::Statement kept(db, query);
  kept.Bind(1, key);
  return kept.Step() ? kept.ColumnText(0) : "";
}

}  // namespace

LibraryStatus Library::SaveShop(SavedShop& shop, const std::optional<std::string>& note) {
  return Guard("saving a shop in", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    shop.note =
        note ? *note : KeptNote(*db_, "SELECT note FROM saved_shop WHERE nick = ?1", shop.nick);
    shop.saved_ms = NowMs();
    sql::Statement save(*db_,
                        "INSERT OR REPLACE INTO saved_shop(nick, shop_id, title, location, level, "
                        "note, saved_at, words) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    save.Bind(1, shop.nick)
        .Bind(2, shop.shop_id)
        .Bind(3, shop.title)
        .Bind(4, shop.location)
        .Bind(5, shop.level)
        .Bind(6, shop.note)
        .Bind(7, shop.saved_ms)
        .Bind(8, schema::SavedWords(shop.title, shop.nick, shop.shop_id, shop.note))
        .Run();
    transaction.Commit();
  });
}

LibraryStatus Library::SaveItem(SavedItem& item, const std::optional<std::string>& note) {
  return Guard("saving an item in", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    item.note =
        note ? *note
             : KeptNote(*db_, "SELECT note FROM saved_item WHERE item_id = ?1", item.item_id);
    item.saved_ms = NowMs();
    sql::Statement save(*db_,
                        "INSERT OR REPLACE INTO saved_item(item_id, nick, title, price, "
                        "commission_rate, commission, click_url, note, saved_at, words) "
                        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    save.Bind(1, item.item_id)
        .Bind(2, item.nick)
        .Bind(3, item.title)
        .Bind(4, item.price)
        .Bind(5, item.commission_rate)
        .Bind(6, item.commission)
        .Bind(7, item.click_url)
        .Bind(8, item.note)
        .Bind(9, item.saved_ms)
        .Bind(10, schema::SavedWords(item.title, item.nick, item.item_id, item.note))
        .Run();
    transaction.Commit();
  });
}

LibraryStatus Library::RemoveShop(const std::string& nick, bool& removed) {
  removed = false;
  return Guard("removing a shop from", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    sql::Statement(*db_, "DELETE FROM saved_shop WHERE nick = ?1").Bind(1, nick).Run();
    removed = db_->Changes() > 0;
    transaction.Commit();
  });
}

LibraryStatus Library::RemoveItem(const std::string& item_id, bool& removed) {
  removed = false;
  return Guard("removing an item from", true, [&] {
    sql::Transaction transaction(*db_, sql::Transaction::Kind::kWrite);
    sql::Statement(*db_, "DELETE FROM saved_item WHERE item_id = ?1").Bind(1, item_id).Run();
    removed = db_->Changes() > 0;
    transaction.Commit();
  });
}

namespace {

// A page of saved entries of `table` (keyed by `key`): `columns` selected, the query's search
// and cursor applied, the latest saved first; `row` takes each.
template <typename Row>
void ReadSaved(sql::Database& db, const char* table, const char* key, const char* columns,
               const SavedQuery& query, Row row) {
  std::vector<SearchPiece> pieces = SearchPieces(query.search);
  std::string sql = std::string("SELECT ") + columns + " FROM " + table + " WHERE 1";
  std::vector<std::string> parameters;
  int next = 1;
  if (query.after) {
    sql += std::string(" AND (saved_at, ") + key + ") < (?1, ?2)";
    next = 3;
  }
  int first_text = next;
  for (const SearchPiece& piece : pieces) {
    for (const IndexTerm& term : IndexTerms(piece)) {
      // The words are separated by single blanks: a blank before a term finds a word that
      // starts with it, and one after it too a whole word.
      sql += term.prefix ? " AND instr(' ' || words, ' ' || ?" + std::to_string(next) + ") > 0"
                         : " AND instr(' ' || words || ' ', ' ' || ?" + std::to_string(next) +
                               " || ' ') > 0";
      parameters.push_back(term.word);
      ++next;
    }
  }
  sql += TextChecks(pieces, {"title", "nick", "note"}, next, parameters);
  sql += std::string(" ORDER BY saved_at DESC, ") + key + " DESC LIMIT ?" + std::to_string(next);
  sql::Statement select(db, sql.c_str());
  if (query.after) select.Bind(1, query.after->saved_ms).Bind(2, query.after->key);
  for (size_t i = 0; i < parameters.size(); ++i) {
    select.Bind(first_text + static_cast<int>(i), parameters[i]);
  }
  select.Bind(next, Clamp(query.limit));
  while (select.Step()) row(select);
}

}  // namespace

LibraryStatus Library::ReadSavedShops(const SavedQuery& query, std::vector<SavedShop>& shops) {
  shops.clear();
  return Guard("reading", false, [&] {
    ReadSaved(*db_, "saved_shop", "nick", "nick, shop_id, title, location, level, note, saved_at",
              query, [&](const sql::Statement& row) {
                shops.push_back({row.ColumnText(0), row.ColumnText(1), row.ColumnText(2),
                                 row.ColumnText(3), static_cast<int>(row.ColumnInt(4)),
                                 row.ColumnText(5), row.ColumnInt(6)});
              });
  });
}

LibraryStatus Library::ReadSavedItems(const SavedQuery& query, std::vector<SavedItem>& items) {
  items.clear();
  return Guard("reading", false, [&] {
    ReadSaved(*db_, "saved_item", "item_id",
              "item_id, nick, title, price, commission_rate, commission, click_url, note, "
              "saved_at",
              query, [&](const sql::Statement& row) {
                items.push_back({row.ColumnText(0), row.ColumnText(1), row.ColumnText(2),
                                 row.ColumnText(3), row.ColumnText(4), row.ColumnText(5),
                                 row.ColumnText(6), row.ColumnText(7), row.ColumnInt(8)});
              });
  });
}

LibraryStatus Library::SavedShopNicks(std::vector<std::string>& nicks) {
  nicks.clear();
  return Guard("reading", false, [&] {
    sql::Statement select(*db_, "SELECT nick FROM saved_shop");
    while (select.Step()) nicks.push_back(select.ColumnText(0));
  });
}

LibraryStatus Library::Backup(const std::string& destination) {
  FileHeader existing = ReadFileHeader(destination);
  if (!existing.missing) {
    struct stat ours {};
    struct stat theirs {};
    if (::stat(path_.c_str(), &ours) == 0 && ::stat(destination.c_str(), &theirs) == 0 &&
        ours.st_dev == theirs.st_dev && ours.st_ino == theirs.st_ino) {
      return Status(LibraryStatus::kFailed,
                    "the backup could not be written: " + destination + " is the library itself");
    }
    if (existing.status.code == LibraryStatus::kNotALibrary ||
        existing.status.code == LibraryStatus::kFailed) {
      return Status(LibraryStatus::kFailed, "the backup could not be written: " + destination +
                                                " exists and is not a Vendrix library; it is "
                                                "left as it is");
    }
  }
  // A log beside the destination belongs to the file there (in use, or its writer stopped):
  // the next open would play it onto the copy and damage it. Such a file is left to its owner.
  for (const char* log : {"-wal", "-shm", "-journal"}) {
    if (FileExists(destination + log)) {
      return Status(LibraryStatus::kFailed,
                    "the backup could not be written: " + destination + log +
                        " lies beside it (a program is using " + destination +
                        ", or was stopped while using it); it is left as it is");
    }
  }
  std::string temporary = TemporaryNameBeside(destination);
  struct Remove {
    const std::string& name;
    ~Remove() { ::unlink(name.c_str()); }
  } remove{temporary};
  LibraryStatus status;
  LibraryStatus guarded = Guard(("the backup to " + destination + " of").c_str(), false, [&] {
    {
      sql::Database copy(temporary, Mode::kCreate);
      sqlite3_backup* backup = sqlite3_backup_init(copy.Handle(), "main", db_->Handle(), "main");
      if (backup == nullptr) copy.Check(sqlite3_errcode(copy.Handle()), "");
      // All pages in one step: one read of the library, so the copy is what one moment held.
      int code = sqlite3_backup_step(backup, -1);
      sqlite3_backup_finish(backup);
      if (code != SQLITE_DONE) throw sql::Error(code, sqlite3_errstr(code));
      // One file, without a log beside it, and checked whole.
      copy.Execute("PRAGMA journal_mode = DELETE");
      sql::Statement check(copy, "PRAGMA quick_check");
      if (!check.Step() || check.ColumnText(0) != "ok") {
        status =
            Status(LibraryStatus::kDamaged, "the library " + path_ + " is damaged (" +
                                                check.ColumnText(0) + "); no backup was written");
        return;
      }
    }
    UniqueFd file(::open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Valid()) ::fsync(file.Get());
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
      throw PosixError("cannot write " + destination, errno);
    }
  });
  return guarded.Ok() ? status : guarded;
}

}  // namespace vendrix::library
