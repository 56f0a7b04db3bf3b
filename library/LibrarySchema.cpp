#include "library/LibrarySchema.h"

#include <set>

#include "library/Library.h"
#include "library/SearchText.h"
#include "library/Sqlite.h"

namespace vendrix::library::schema {
namespace {

// Version 1, as it was released: every later version starts from these tables.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL) WITHOUT ROWID;
-- One row per affiliate address handed to the user. The key orders the history: the time in
-- milliseconds since 1970 (UTC) times 16, plus the order of entries recorded within that
-- millisecond; so the table itself is in time order and needs no index for it.
CREATE TABLE history(
  key INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,    -- 0 item, 1 shop
  action INTEGER NOT NULL,  -- 0 opened, 1 copied, 2 printed
  id TEXT NOT NULL,         -- item id or shop id
  nick TEXT NOT NULL,
  title TEXT NOT NULL,
  price TEXT NOT NULL,
  commission_rate TEXT NOT NULL,
  click_url TEXT NOT NULL);
CREATE TABLE saved_shop(
  nick TEXT PRIMARY KEY NOT NULL,
  shop_id TEXT NOT NULL,
  title TEXT NOT NULL,
  location TEXT NOT NULL,
  level INTEGER NOT NULL,
  note TEXT NOT NULL,
  saved_at INTEGER NOT NULL);  -- milliseconds since 1970 (UTC)
CREATE INDEX saved_shop_by_time ON saved_shop(saved_at, nick);
CREATE TABLE saved_item(
  item_id TEXT PRIMARY KEY NOT NULL,
  nick TEXT NOT NULL,
  title TEXT NOT NULL,
  price TEXT NOT NULL,
  commission_rate TEXT NOT NULL,
  commission TEXT NOT NULL,
  click_url TEXT NOT NULL,
  note TEXT NOT NULL,
  saved_at INTEGER NOT NULL);
CREATE INDEX saved_item_by_time ON saved_item(saved_at, item_id);
INSERT INTO meta VALUES('last_compatible_version', 1);
)sql";

// Version 2: the history's search index. It holds only the index (the words are made again
// from the row when an entry is removed), without positions or sizes: a search takes the
// entries holding every word it needs and checks longer runs of characters in the row
// itself. Its rowid is the history's key, so it gives its matches newest first.
constexpr const char* kVersion2 = R"sql(
CREATE VIRTUAL TABLE history_search USING fts5(
  words, content='', detail=none, columnsize=0, tokenize='ascii');
ALTER TABLE saved_shop ADD COLUMN words TEXT NOT NULL DEFAULT '';
ALTER TABLE saved_item ADD COLUMN words TEXT NOT NULL DEFAULT '';
)sql";

void SetVersion(sql::Database& db, int version, int readable_by) {
  db.Execute(("PRAGMA user_version = " + std::to_string(version)).c_str());
  sql::Statement(db, "INSERT OR REPLACE INTO meta VALUES('last_compatible_version', ?1)")
      .Bind(1, readable_by)
      .Run();
}

// 1 -> 2: the index built from the history there is, the words of every saved entry.
void Version1To2(sql::Database& db) {
  db.Execute(kVersion2);
  sql::Statement rows(db, "SELECT key, title, nick, id FROM history");
  sql::Statement add(db, "INSERT INTO history_search(rowid, words) VALUES(?1, ?2)");
  while (rows.Step()) {
    add.Bind(1, rows.ColumnInt(0))
        .Bind(2, HistoryWords(rows.ColumnText(1), rows.ColumnText(2), rows.ColumnText(3)));
    add.Run();
    add.Reset();
  }
  struct Table {
    const char* select;
    const char* update;
  };
  for (const Table& table : {Table{"SELECT nick, title, nick, shop_id, note FROM saved_shop",
                                   "UPDATE saved_shop SET words = ?2 WHERE nick = ?1"},
                             Table{"SELECT item_id, title, nick, item_id, note FROM saved_item",
                                   "UPDATE saved_item SET words = ?2 WHERE item_id = ?1"}}) {
    sql::Statement saved(db, table.select);
    sql::Statement update(db, table.update);
    while (saved.Step()) {
      update.Bind(1, saved.ColumnText(0))
          .Bind(2, SavedWords(saved.ColumnText(1), saved.ColumnText(2), saved.ColumnText(3),
                              saved.ColumnText(4)));
      update.Run();
      update.Reset();
    }
  }
}

// The columns of `table`; none when there is no such table.
std::set<std::string> Columns(sql::Database& db, const char* table) {
  std::set<std::string> columns;
  sql::Statement info(db, "SELECT name FROM pragma_table_info(?1)");
  info.Bind(1, table);
  while (info.Step()) columns.insert(info.ColumnText(0));
  return columns;
}

}  // namespace

void Create(sql::Database& db) {
  db.Execute(kVersion1);
  db.Execute(kVersion2);
  db.Execute(("PRAGMA application_id = " +
              std::to_string(static_cast<int32_t>(library_defaults::kApplicationId)))
                 .c_str());
  SetVersion(db, kVersion, kReadableBy);
}

void Migrate(sql::Database& db, int from) {
  // Each step takes the file from one version to the next; a new version adds one here.
  void (*const steps[])(sql::Database&) = {nullptr, Version1To2};
  static_assert(std::size(steps) == kVersion);
  for (int version = from; version < kVersion; ++version) steps[version](db);
  SetVersion(db, kVersion, kReadableBy);
}

int FileVersion(sql::Database& db) { return static_cast<int>(db.QueryInt("PRAGMA user_version")); }

int ReadableBy(sql::Database& db) {
  if (Columns(db, "meta").empty()) return FileVersion(db);
  sql::Statement meta(db, "SELECT value FROM meta WHERE key = 'last_compatible_version'");
  return meta.Step() ? static_cast<int>(meta.ColumnInt(0)) : FileVersion(db);
}

bool HasReadableSchema(sql::Database& db) {
  struct Needed {
    const char* table;
    std::set<std::string> columns;
  };
  const Needed needed[] = {
      {"history",
       {"key", "kind", "action", "id", "nick", "title", "price", "commission_rate", "click_url"}},
      {"saved_shop", {"nick", "shop_id", "title", "location", "level", "note", "saved_at"}},
      {"saved_item",
       {"item_id", "nick", "title", "price", "commission_rate", "commission", "click_url", "note",
        "saved_at"}},
  };
  for (const Needed& n : needed) {
    std::set<std::string> have = Columns(db, n.table);
    for (const std::string& column : n.columns) {
      if (!have.count(column)) return false;
    }
  }
  // From version 2 on, the search index and the saved entries' words.
  if (FileVersion(db) >= 2) {
    if (!Columns(db, "saved_shop").count("words") || !Columns(db, "saved_item").count("words")) {
      return false;
    }
    sql::Statement index(
        db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'history_search'");
    if (!index.Step() || index.ColumnInt(0) != 1) return false;
  }
  return true;
}

std::string HistoryWords(std::string_view title, std::string_view nick, std::string_view id) {
  // Line breaks between the values, so that no pair of characters spans two of them.
  std::string text;
  text.append(title).append("\n").append(nick).append("\n").append(id);
  return SearchWords(text);
}

std::string SavedWords(std::string_view title, std::string_view nick, std::string_view id,
                       std::string_view note) {
  std::string text;
  text.append(title).append("\n").append(nick).append("\n").append(id).append("\n").append(note);
  return SearchWords(text);
}

}  // namespace vendrix::library::schema
