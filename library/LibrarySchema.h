// The tables of the library file, its schema version, and the one-step migrations from each
// older version. The version lives in the file's header (`PRAGMA user_version`); beside the
// data, the meta table keeps the oldest version that can still read the file
// (`last_compatible_version`), so that an older Vendrix knows whether it may read a newer
// file. Every function runs inside the caller's transaction, on the caller's thread.
#pragma once

#include <string>
#include <string_view>

namespace vendrix::sql {
class Database;
}

namespace vendrix::library::schema {

// What this Vendrix writes. 1: history, saved shops and items. 2: the search index of the
// history and the search words of saved entries.
inline constexpr int kVersion = 2;
// The oldest version that can read what this one writes: version 1 reads the tables it
// knows, which version 2 left as they were.
inline constexpr int kReadableBy = 1;

// Creates the current schema in an empty database and marks it with the application id, the
// version and kReadableBy.
void Create(sql::Database& db);

// Brings a file of version `from` (1 <= from < kVersion) up to kVersion, one version at a
// time, and records the new version. Throws sql::Error when a step fails.
void Migrate(sql::Database& db, int from);

// The file's schema version and the oldest version that can read it (the version itself
// when the meta table does not say).
int FileVersion(sql::Database& db);
int ReadableBy(sql::Database& db);

// Whether the tables and columns this Vendrix reads are all in the file.
bool HasReadableSchema(sql::Database& db);

// What the history's search index holds for an entry, and saved entries' search words.
std::string HistoryWords(std::string_view title, std::string_view nick, std::string_view id);
std::string SavedWords(std::string_view title, std::string_view nick, std::string_view id,
                       std::string_view note);

}  // namespace vendrix::library::schema
