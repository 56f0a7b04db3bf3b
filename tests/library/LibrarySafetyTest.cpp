// The user's data is never lost or damaged: a file that is not a Vendrix library, a damaged
// one and one of a newer version are left byte for byte as they were, with nothing left
// beside them, whatever is asked of them; a process killed at any moment while writing leaves
// a sound file holding every change it finished.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <functional>
#include <random>

#include "library/Library.h"
#include "library/LibraryWriter.h"
#include "library/Sqlite.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/support/Process.h"

namespace vendrix::library {
namespace {

using test::FileBytes;
using test::FilesIn;
using test::TempFolder;
using Code = LibraryStatus::Code;

using test::MakeLibrary;
using test::MakeNewer;
using test::Overwrite;

// The library of `path` with `entries` entries and the page of the history that `sql` picks
// overwritten with `size` bytes.
void DamagePage(const std::string& p, int entries, const char* sql, size_t size) {
  MakeLibrary(p, entries);
  const int64_t page = sql::Database(p, sql::Database::Mode::kReadWrite).QueryInt(sql);
  Overwrite(p, static_cast<size_t>(page - 1) * 4096, size);
}

struct Case {
  const char* name;
  std::function<void(const std::string& path)> make;
  Code open_write;        // what opening it for writing gives
  Code open_read;         // and for reading
  Code writer;            // what the window's writer reports
  bool readable = false;  // opened for reading, its history reads
  bool in_use = false;    // a newer Vendrix has it open meanwhile, its log beside it
};

std::string Name(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class UnusableFileTest : public ::testing::TestWithParam<Case> {};

TEST_P(UnusableFileTest, IsLeftExactlyAsItWas) {
  const Case& c = GetParam();
  TempFolder folder;
  const std::string path = folder.Library();
  std::filesystem::create_directories(folder.Path() + "/vendrix");
  c.make(path);
  // A newer Vendrix still using the file: what it committed lies in its log.
  std::unique_ptr<sql::Database> newer;
  if (c.in_use) {
    newer = std::make_unique<sql::Database>(path, sql::Database::Mode::kReadWrite);
    newer->Execute(
        "INSERT INTO saved_shop(nick, shop_id, title, location, level, note, saved_at)"
        " VALUES('x', '1', '', '', 0, '', 0)");
  }
  const std::string before = FileBytes(path);
  const std::set<std::string> files_before = FilesIn(folder.Path() + "/vendrix");

  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(path, Library::Access::kWrite, status);
  EXPECT_EQ(status.code, c.open_write) << status.message;
  // What the messages say is shown by the command line's tests.
  if (library) {
    HistoryEntry entry{.id = "1", .title = "新的"};
    EXPECT_EQ(library->Record(entry).code, Code::kDamaged);
    library.reset();
  }

  library = Library::Open(path, Library::Access::kRead, status);
  EXPECT_EQ(status.code, c.open_read) << status.message;
  if (library) {
    std::vector<HistoryEntry> entries;
    LibraryStatus read = library->ReadHistory({.search = "女装", .limit = 1000000}, entries);
    if (c.readable) {
      EXPECT_TRUE(read.Ok()) << read.message;
      EXPECT_EQ(entries.size(), 20u);
      HistoryEntry entry{.id = "1"};
      EXPECT_EQ(library->Record(entry).code, Code::kNewer) << "read, never written";
      // A copy can be taken all the same, even while the newer version writes its log.
      EXPECT_TRUE(library->Backup(folder.Path() + "/copy.db").Ok());
    } else {
      EXPECT_EQ(read.code, Code::kDamaged) << read.message;
    }
    library.reset();
  }

  std::vector<LibraryStatus> problems;
  LibraryStatus saved;
  {
    LibraryWriter writer(path, [&](const LibraryStatus& s) { problems.push_back(s); });
    writer.Record({.id = "2", .title = "点击"});
    writer.SaveShop({.nick = "y"}, "note", [&](const LibraryStatus& s) { saved = s; });
    writer.Record({.id = "3", .title = "点击"});
  }
  ASSERT_EQ(problems.size(), 1u) << "the window hears of it once";
  EXPECT_EQ(problems[0].code, c.writer) << problems[0].message;
  EXPECT_EQ(saved.code, c.writer);

  EXPECT_TRUE(FileBytes(path) == before) << "the file was changed";
  EXPECT_EQ(FilesIn(folder.Path() + "/vendrix"), files_before) << "something was left beside it";
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableFileTest,
    ::testing::Values(
        Case{"TextFile", [](auto& p) { test::WriteFile(p, "名字\t电话\n张三\t123\n"); },
             Code::kNotALibrary, Code::kNotALibrary, Code::kNotALibrary},
        Case{"EmptyFile", [](auto& p) { test::WriteFile(p, ""); }, Code::kNotALibrary,
             Code::kNotALibrary, Code::kNotALibrary},
        Case{"AnotherProgramsDatabase", test::MakeForeign, Code::kNotALibrary,
             Code::kNotALibrary, Code::kNotALibrary},
        Case{"DatabaseWithoutAnApplicationId",
             [](auto& p) {
               sql::Database(p, sql::Database::Mode::kCreate).Execute("CREATE TABLE notes(x);");
             },
             Code::kNotALibrary, Code::kNotALibrary, Code::kNotALibrary},
        Case{"LibraryCutShort",
             [](auto& p) {
               MakeLibrary(p, 400);
               std::filesystem::resize_file(p, std::filesystem::file_size(p) / 2);
             },
             Code::kDamaged, Code::kDamaged, Code::kDamaged},
        Case{"LibraryWithItsSchemaDamaged",
             [](auto& p) {
               MakeLibrary(p, 20);
               Overwrite(p, 100, 1000);
             },
             Code::kDamaged, Code::kDamaged, Code::kDamaged},
        Case{"LibraryWithItsHistoryDamaged",
             [](auto& p) {
               DamagePage(p, 400, "SELECT rootpage FROM sqlite_schema WHERE name = 'history'", 12);
             },
             Code::kDamaged, Code::kOk, Code::kDamaged},
        // Damage where recording an entry never looks: an old page of the history.
        Case{"LibraryWithAnOldHistoryPageDamaged",
             [](auto& p) {
               DamagePage(p, 3000,
                          "SELECT pageno FROM dbstat WHERE name = 'history' AND "
                          "pagetype = 'leaf' ORDER BY pageno LIMIT 1 OFFSET 20",
                          592);
             },
             Code::kDamaged, Code::kOk, Code::kDamaged},
        Case{"NewerLibraryThisVersionCanRead", [](auto& p) { MakeNewer(p, 3, 2); },
             Code::kNewer, Code::kOk, Code::kNewer, true},
        Case{"NewerLibraryThisVersionCannotRead", [](auto& p) { MakeNewer(p, 4, 3); },
             Code::kNewer, Code::kNewer, Code::kNewer},
        Case{"NewerLibraryInUseByTheNewerVersion", [](auto& p) { MakeNewer(p, 3, 2); },
             Code::kNewer, Code::kOk, Code::kNewer, true, true}),
    Name);

// Another process copying its log into the file (a checkpoint) writes the first page, with the
// larger page count, before the pages past the file's end: meanwhile the file looks cut short,
// but it is sound, and opening it for reading or writing must work and lose nothing.
TEST(CheckpointTest, ALibraryWhoseLogIsBeingCopiedInIsNotTakenForCutShort) {
  TempFolder folder;
  const std::string path = folder.Library();
  MakeLibrary(path, 20);
  sql::Database other(path, sql::Database::Mode::kReadWrite);
  other.Execute("PRAGMA wal_autocheckpoint = 0");
  other.Execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
      "INSERT INTO history(key, kind, action, id, nick, title, price, commission_rate, "
      "click_url) SELECT 1000000 + i, 0, 2, 'log-' || i, '', hex(randomblob(100)), '', '', '' "
      "FROM n");
  const int64_t pages = other.QueryInt("PRAGMA page_count");
  ASSERT_GT(static_cast<uint64_t>(pages) * 4096, std::filesystem::file_size(path));
  {
    // The first page as the checkpoint has written it: the new count, the rest still in the log.
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(28);
    const char count[4] = {static_cast<char>(pages >> 24), static_cast<char>(pages >> 16),
                           static_cast<char>(pages >> 8), static_cast<char>(pages)};
    file.write(count, 4);
  }
  for (Library::Access access : {Library::Access::kRead, Library::Access::kWrite}) {
    LibraryStatus status;
    std::unique_ptr<Library> library = Library::Open(path, access, status);
    ASSERT_TRUE(library) << status.message;
    std::vector<HistoryEntry> entries;
    ASSERT_TRUE(library->ReadHistory({.limit = 10000}, entries).Ok());
    EXPECT_EQ(entries.size(), 2020u);
    if (access == Library::Access::kWrite) {
      HistoryEntry entry{.id = "after", .title = "新的"};
      EXPECT_TRUE(library->Record(entry).Ok());
    }
  }
  other.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  EXPECT_EQ(other.QueryInt("SELECT count(*) FROM history"), 2021);
  EXPECT_TRUE(test::Sound(path));
}

// A reader holding its moment keeps SQLite from starting the log again, which grows meanwhile;
// once its changes are in the file, the log is cut back instead of staying that large.
TEST(CheckpointTest, TheLogShrinksAgainAfterItGrew) {
  TempFolder folder;
  const std::string path = folder.Library();
  std::unique_ptr<Library> library = test::MustOpen(path);
  ASSERT_TRUE(library);
  auto record = [&](int count) {
    std::vector<HistoryEntry> batch;
    for (int i = 0; i < count; ++i) {
      batch.push_back({.id = std::to_string(i), .title = std::string(2000, 'x')});
    }
    ASSERT_TRUE(library->Record(batch).Ok());
  };
  {
    sql::Database reader(path, sql::Database::Mode::kReadOnly);
    sql::Transaction moment(reader, sql::Transaction::Kind::kRead);
    reader.QueryInt("SELECT count(*) FROM history");
    for (int i = 0; i < 20; ++i) record(500);
    ASSERT_GT(std::filesystem::file_size(path + "-wal"), 16u << 20);
  }
  for (int i = 0; i < 6; ++i) record(200);
  EXPECT_LE(std::filesystem::file_size(path + "-wal"),
            static_cast<uintmax_t>(library_defaults::kLogSizeLimitBytes) + (2u << 20));
}

// The window holds the library twice (its writer and its reader); opening the second must not
// drop the first one's hold on the file. Another process that comes and goes meanwhile must
// find the library in use and leave its log alone, and each side sees what the other wrote.
TEST(CheckpointTest, TwoOpeningsInOneProcessKeepTheLibraryInUseForOthers) {
  TempFolder folder;
  const std::string path = folder.Library();
  std::unique_ptr<Library> writer = test::MustOpen(path);
  ASSERT_TRUE(writer);
  HistoryEntry first{.id = "window-1"};
  ASSERT_TRUE(writer->Record(first).Ok());
  std::unique_ptr<Library> reader = test::MustOpen(path, Library::Access::kRead);
  ASSERT_TRUE(reader);

  auto other = vendrix::test::RunProcess(LIBRARY_TEST_WRITER, {path, "cli", "1"});
  ASSERT_EQ(other.exit_code, 0) << other.err;
  EXPECT_TRUE(std::filesystem::exists(path + "-wal")) << "the other process took the log away";
  HistoryEntry second{.id = "window-2"};
  ASSERT_TRUE(writer->Record(second).Ok());
  writer.reset();
  reader.reset();

  sql::Database fresh(path, sql::Database::Mode::kReadOnly);
  EXPECT_EQ(fresh.QueryInt("SELECT count(*) FROM history WHERE id IN "
                           "('window-1', 'cli-0', 'window-2')"),
            3);
}

// A process writing in a loop, killed at random moments: after each kill the file is sound,
// its search index too, and holds every change the process had finished.
TEST(KillTest, AProcessKilledWhileWritingLosesNoFinishedChange) {
  TempFolder folder;
  const std::string path = folder.Library();
  std::mt19937 random(20261209);
  std::vector<std::string> finished;
  for (int round = 0; round < 12; ++round) {
    const std::string tag = "r" + std::to_string(round);
    vendrix::test::ChildProcess writer(LIBRARY_TEST_WRITER, {path, tag, "0"});
    // The first rounds end early, while the file is being made or opened.
    int wait_ms = round < 2 ? std::uniform_int_distribution<int>(0, 15)(random)
                            : std::uniform_int_distribution<int>(30, 400)(random);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    std::vector<std::string> lines;
    while (std::chrono::steady_clock::now() < until) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      std::string line = writer.ReadLine(std::max(left, std::chrono::milliseconds(1)));
      if (!line.empty()) lines.push_back(line);
    }
    writer.Stop(SIGKILL);
    // What it printed before the kill was finished; what was in the pipe was, too.
    for (std::string line; !(line = writer.ReadLine(std::chrono::milliseconds(50))).empty();) {
      lines.push_back(line);
    }
    finished.insert(finished.end(), lines.begin(), lines.end());
    if (!std::filesystem::exists(path)) continue;  // killed before the file had its name

    ASSERT_TRUE(test::Sound(path)) << "round " << round;
    sql::Database(path, sql::Database::Mode::kReadWrite)
        .Execute("INSERT INTO history_search(history_search) VALUES('integrity-check')");
    std::unique_ptr<Library> library = test::MustOpen(path, Library::Access::kRead);
    ASSERT_TRUE(library);
    std::vector<HistoryEntry> entries;
    ASSERT_TRUE(library->ReadHistory({.limit = 1000000}, entries).Ok());
    const std::vector<std::string> all = test::Ids(entries);
    const std::set<std::string> ids(all.begin(), all.end());
    std::vector<SavedShop> shops;
    ASSERT_TRUE(library->ReadSavedShops({}, shops).Ok());
    std::set<std::string> saved;
    for (const SavedShop& s : shops) saved.insert(s.nick);
    std::set<std::string> done(finished.begin(), finished.end());
    for (const std::string& id : finished) {
      EXPECT_TRUE(ids.count(id)) << "entry " << id << " was finished but is gone";
      size_t dash = id.find('-');
      long i = std::stol(id.substr(dash + 1));
      // Change i + 15 removes shop i: once change i + 14 is finished, it may have begun.
      std::string before_removal = id.substr(0, dash + 1) + std::to_string(i + 14);
      if (i % 3 == 0 && !(i % 15 == 0 && done.count(before_removal))) {
        EXPECT_TRUE(saved.count(id)) << "shop " << id << " was saved but is gone";
      }
    }
    // The entries of a search are there too: the index holds what the table holds.
    std::vector<HistoryEntry> found;
    ASSERT_TRUE(library->ReadHistory({.search = "连衣裙", .limit = 1000000}, found).Ok());
    EXPECT_EQ(found.size(), entries.size());
  }
  EXPECT_GT(finished.size(), 50u) << "the writer hardly wrote: the test proves little";
}

}  // namespace
}  // namespace vendrix::library
