// The affiliate's library: the history of every affiliate address Vendrix handed to the user,
// and the shops and items they saved, in one SQLite file shared by the window and any number
// of command-line runs at once. Text is UTF-8 throughout.
// Threads: a Library is one connection, used by one thread at a time; open one per thread
// (the window's page fetcher and its LibraryWriter each their own). Any number of Library
// objects, in any processes, may use the file at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrix {
namespace sql {
class Database;
}

namespace library {

struct SearchPiece;

namespace library_defaults {
inline constexpr const char* kFileName = "vendrix.db";  // in $XDG_DATA_HOME/vendrix
// "VDRX": the mark in the file's header that says it is a Vendrix library.
inline constexpr uint32_t kApplicationId = 0x56445258;
// How long a change waits for another process's change before giving up. Changes take
// milliseconds; only a migration or clearing a large history takes longer.
inline constexpr int kBusyTimeoutMs = 20000;
// What the write-ahead log is cut back to once its changes are in the file: it grows while
// readers keep SQLite from starting it again (every 1,000 pages, 4 MiB, at most otherwise).
inline constexpr int64_t kLogSizeLimitBytes = 4 * 1024 * 1024;
inline constexpr int kHistoryLimit = 100;  // the history command's default
// A search made only of words found by their start (one character, letters, digits) first
// looks through this many of the newest entries itself, then asks the index for older ones.
inline constexpr int64_t kSearchScanRows = 5000;
// For such a search of several words, how much more checking one entry's row costs than
// taking one entry from the index: with it, the newest entries' counts of each word choose
// between asking the index for all the words (it gathers every entry of each) and asking it
// for the rarest word alone, checking the others in the rows it gives.
inline constexpr double kSearchRowCost = 10;
// Entries recorded within one millisecond keep their order in the key up to this many; more
// (only a machine could record them) go on into the next millisecond.
inline constexpr int64_t kKeysPerMillisecond = 16;
}  // namespace library_defaults

// What went wrong with the library, for a message naming the file and the reason.
struct LibraryStatus {
  enum Code {
    kOk,
    kNotALibrary,  // another program's file (or not a database at all): never written
    kDamaged,      // a Vendrix library whose content is damaged: never written
    kNewer,        // written by a newer Vendrix: read where its schema allows, never written
    kFailed,       // anything else: the folder cannot be made, the disk is full, a lock held
                   // for longer than the busy time-out
  };
  Code code = kOk;
  // "the library <path> is ..." / "... failed: <reason>": a whole sentence without the
  // program's name.
  std::string message;
  // kNewer: the file's schema version and the newest this Vendrix knows.
  int file_version = 0;
  int known_version = 0;

  bool Ok() const { return code == kOk; }
};

enum class EntryKind { kItem, kShop };
enum class HistoryAction { kOpened, kCopied, kPrinted };

// "item"/"shop", "opened"/"copied"/"printed", as the command line prints them.
const char* KindName(EntryKind kind);
const char* ActionName(HistoryAction action);

// One affiliate address handed to the user.
struct HistoryEntry {
  // Where the entry sits in the history, newest highest: set by the library when it records
  // the entry; the cursor for the next page (HistoryQuery::before).
  int64_t key = 0;
  int64_t time_ms = 0;  // when it was handed over, milliseconds since 1970-01-01 UTC
  EntryKind kind = EntryKind::kItem;
  std::string id;    // the item id or the shop id
  std::string nick;  // the seller's
  std::string title;
  std::string price;            // as the reply gave it; empty when unknown
  std::string commission_rate;  // hundredths of a percent, as the reply gave it; or empty
  std::string click_url;
  HistoryAction action = HistoryAction::kPrinted;
};

// Which history entries a query wants, newest first.
struct HistoryQuery {
  std::optional<EntryKind> kind;
  // Entries whose title, nick or id hold every piece of this text (see SearchText.h); blank
  // or empty: every entry.
  std::string search;
  std::optional<int64_t> since_ms;  // only entries at or after this time
  std::optional<int64_t> before;    // only entries below this key: the last key of a page
  size_t limit = library_defaults::kHistoryLimit;
};

struct SavedShop {
  std::string nick;  // what the shop is saved under
  std::string shop_id;
  std::string title;
  std::string location;
  int level = 0;  // credit level 1-20; 0 when unknown
  std::string note;
  int64_t saved_ms = 0;  // set by the library when saved
};

struct SavedItem {
  std::string item_id;  // what the item is saved under
  std::string nick;     // the seller's
  std::string title;
  std::string price;
  std::string commission_rate;  // hundredths of a percent
  std::string commission;
  std::string click_url;
  std::string note;
  int64_t saved_ms = 0;  // set by the library when saved
};

// Where a page of saved entries ended: the next page starts after it.
struct SavedCursor {
  int64_t saved_ms = 0;
  std::string key;  // the nick or the item id
};

// Which saved shops or items a query wants, most recently saved first.
struct SavedQuery {
  // Entries whose title, nick, id or note hold every piece of this text; blank: all.
  std::string search;
  std::optional<SavedCursor> after;
  size_t limit = SIZE_MAX;
};

// The library file: $XDG_DATA_HOME/vendrix/vendrix.db, or ~/.local/share/vendrix/vendrix.db
// when XDG_DATA_HOME is unset, empty or not an absolute path.
std::string DefaultLibraryPath();

// Whether recording the history is on: off when VENDRIX_HISTORY is "off" (or "0", "no",
// "false"), in any letter case.
bool HistoryRecordingOn();

class Library {
 public:
  enum class Access {
    kRead,   // only reads: a file of a newer version is read where its schema allows
    kWrite,  // reads and writes
  };

  // Opens the library at `path`, creating the file (and its folder) when missing, and
  // bringing a file of an older version up to this one in one transaction. Before anything
  // is written, the file is checked: its header (an SQLite database, Vendrix's application
  // id, not cut short), its schema version and its schema, and for kWrite the whole file
  // (SQLite's quick check: it reads all of it, about a second for a million entries). A file
  // that is not a Vendrix
  // library, is damaged, or is of a newer version than this Vendrix writes (or, for kRead,
  // can read) is left exactly as it was, nothing created beside it. Nullptr, with `status`
  // saying why, when it cannot be used.
  static std::unique_ptr<Library> Open(const std::string& path, Access access,
                                       LibraryStatus& status);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const std::string& Path() const { return path_; }
  // The schema version of the file (newer than kSchemaVersion for a newer file read).
  int FileVersion() const { return file_version_; }

  // Runs SQLite's quick check of the whole file (it reads all of it: seconds for a large
  // library). Not ok (kDamaged) when it finds damage.
  LibraryStatus Check();

  // Records `entries` in one transaction, each with the time it holds (now when 0); sets
  // each entry's key. On failure nothing is recorded.
  LibraryStatus Record(std::vector<HistoryEntry>& entries);
  LibraryStatus Record(HistoryEntry& entry);

  // The entries `query` wants, newest first (ties: the last recorded first); at most
  // query.limit. For a page after a page, set query.before to the last key shown.
  LibraryStatus ReadHistory(const HistoryQuery& query, std::vector<HistoryEntry>& entries);

  // Removes every entry (before_ms empty) or those before `before_ms`; `removed` says how
  // many.
  LibraryStatus ClearHistory(std::optional<int64_t> before_ms, int64_t& removed);
  // Removes the entry of `key` (HistoryEntry::key); `removed` false when there was none.
  LibraryStatus RemoveHistoryEntry(int64_t key, bool& removed);

  // Saves a shop or an item, replacing what was saved under its nick or id, now as its save
  // time. A note of nullopt keeps the note saved before (none for a new one). On success the
  // entry holds what was saved, its note and save time included.
  LibraryStatus SaveShop(SavedShop& shop, const std::optional<std::string>& note);
  LibraryStatus SaveItem(SavedItem& item, const std::optional<std::string>& note);
  // Replaces the note of the shop saved under `key` (its nick) or of the item saved under it
  // (its id), keeping the rest, its save time included; `found` false when nothing is saved
  // under it.
  LibraryStatus SetNote(EntryKind kind, const std::string& key, const std::string& note,
                        bool& found);
  // Removes what is saved under `nick` or `item_id`; `removed` false when nothing was.
  LibraryStatus RemoveShop(const std::string& nick, bool& removed);
  LibraryStatus RemoveItem(const std::string& item_id, bool& removed);

  // The saved shops or items `query` wants, the latest saved first (ties by nick or id).
  LibraryStatus ReadSavedShops(const SavedQuery& query, std::vector<SavedShop>& shops);
  LibraryStatus ReadSavedItems(const SavedQuery& query, std::vector<SavedItem>& items);
  // Every saved shop's nick, to mark saved sellers in a list.
  LibraryStatus SavedShopNicks(std::vector<std::string>& nicks);

  // Writes a consistent copy of the library (what every finished change left, the
  // write-ahead log included) to `destination` while others go on using it: SQLite's online
  // backup into a new file beside the destination, checked, then renamed over it. A
  // destination that exists and is not a Vendrix library, or has a log of SQLite's beside it
  // (-wal, -shm, -journal: in use, or its writer stopped), is left alone (kFailed).
  LibraryStatus Backup(const std::string& destination);

 private:
  Library(std::string path, std::unique_ptr<sql::Database> db, int file_version, bool writable);
  // Runs `body`, the one place where what it throws becomes a status; `what` names the
  // operation before " the library <path>". Refuses a change to a file opened for reading.
  template <typename Body>
  LibraryStatus Guard(const char* what, bool writes, Body body);
  // The index query for the entries older than those a search of words found by their start
  // looked through itself (from `first_key` down to `last_key`, `matched` of them matching):
  // all of `pieces`, or only the rarest among those entries (`holding`: how many held each),
  // whichever the index answers sooner for `wanted` more entries.
  std::string OlderEntriesQuery(const std::vector<SearchPiece>& pieces,
                                const std::vector<int64_t>& holding, int64_t matched,
                                int64_t wanted, int64_t first_key, int64_t last_key,
                                int64_t since);

  std::string path_;
  std::unique_ptr<sql::Database> db_;
  int file_version_ = 0;
  bool writable_ = false;
};

// The ISO 8601 form of a time, UTC with milliseconds: "2026-12-09T08:30:00.123Z".
std::string IsoTime(int64_t time_ms);
// Midnight UTC at the start of a "YYYY-MM-DD" day; nullopt for anything else.
std::optional<int64_t> ParseDay(const std::string& text);
// The current time in milliseconds since 1970-01-01 UTC.
int64_t NowMs();

}  // namespace library
}  // namespace vendrix
