// The library from the command line, end to end against an in-process sandbox, each test with
// a library of its own in a temporary XDG_DATA_HOME: what convert records, the history and
// saved commands, a library that cannot be used, writers at once, and a backup while another
// process writes.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "library/Library.h"
#include "library/LibraryWriter.h"
#include "library/Sqlite.h"
#include "sandbox/Sandbox.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

using library::LibraryStatus;
using library::test::FileBytes;
using library::test::FilesIn;
using library::test::Sound;
using library::test::TempFolder;
using test::RunProcess;
using test::TsvRows;

class CliLibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = std::make_unique<sandbox::Sandbox>(sandbox::SandboxOptions{.seed = 5});
    sandbox_->Start();
  }
  static void TearDownTestSuite() { sandbox_.reset(); }

  // vendrix-cli with this test's library, against the sandbox.
  test::ProcessResult Cli(const std::vector<std::string>& args,
                          std::map<std::string, std::string> env = {}) const {
    std::map<std::string, std::string> all = test::SandboxEnvironment(sandbox_->Base());
    all["XDG_DATA_HOME"] = data_.Path();
    for (const auto& [name, value] : env) all[name] = value;
    return RunProcess(VENDRIX_CLI, args, all);
  }
  std::string LibraryPath() const { return data_.Library(); }

  // An item of a seller in the affiliate programme, and such a seller.
  static const sandbox::Item& Item(size_t skip = 0) {
    for (const sandbox::Item& item : Market().Items()) {
      if (Market().Sellers()[item.seller].affiliate && skip-- == 0) return item;
    }
    throw std::runtime_error("no affiliate item");
  }
  static const sandbox::Seller& SellerOf(const sandbox::Item& item) {
    return Market().Sellers()[item.seller];
  }
  static const sandbox::Marketplace& Market() { return sandbox_->Market(); }
  static std::string Location(const sandbox::Seller& s) {
    return s.state == s.city ? s.city : s.state + s.city;
  }

  TempFolder data_;
  static inline std::unique_ptr<sandbox::Sandbox> sandbox_;
};

TEST_F(CliLibraryTest, ConvertRecordsWhatItPrintsOrOpens_OtherCommandsRecordNothing) {
  const sandbox::Item& item = Item();
  const sandbox::Item& other = Item(1);
  const sandbox::Seller& seller = SellerOf(item);
  struct Conversion {
    std::vector<std::string> args;
    // The history row it makes: kind, id, nick, title, price, commission_rate, action.
    std::vector<std::string> row;
  };
  const std::string shop_rate = std::to_string(500 + (seller.level * 37) % 1500);
  const Conversion conversions[] = {
      {{"convert", "item", item.iid},
       {"item", item.iid, seller.nick, item.title, item.price, item.commission_rate, "printed"}},
      {{"convert", "shop", seller.nick},
       {"shop", seller.sid, seller.nick, seller.shop_title, "", shop_rate, "printed"}},
      // A shop's own address names no nick: the history has none.
      {{"convert", "address", "https://shop" + seller.sid + ".taobao.com/"},
       {"shop", seller.sid, "", seller.shop_title, "", shop_rate, "printed"}},
      {{"convert", "item", item.iid, "--open"},
       {"item", item.iid, seller.nick, item.title, item.price, item.commission_rate, "opened"}},
  };
  std::vector<std::vector<std::string>> expected;  // newest first
  for (const Conversion& c : conversions) {
    auto result = Cli(c.args, {{"BROWSER", "true"}});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::vector<std::string> row = c.row;
    row.insert(row.begin() + 6, result.out.substr(0, result.out.size() - 1));  // click_url
    expected.insert(expected.begin(), row);
  }
  // Not recorded: a conversion with recording off, a shop's item list, an item saved.
  EXPECT_EQ(Cli({"convert", "item", other.iid}, {{"VENDRIX_HISTORY", "off"}}).exit_code, 0);
  EXPECT_EQ(Cli({"items", seller.nick, "--count", "3"}).exit_code, 0);
  EXPECT_EQ(Cli({"saved", "add", "item", other.iid}).exit_code, 0);

  auto history = Cli({"history"});
  ASSERT_EQ(history.exit_code, 0) << history.err;
  auto rows = TsvRows(history.out);
  ASSERT_EQ(rows.size(), expected.size() + 1) << history.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "kind", "id", "nick", "title", "price",
                                               "commission_rate", "click_url", "action"}));
  for (size_t i = 0; i < expected.size(); ++i) {
    std::vector<std::string> row = rows[i + 1];
    EXPECT_EQ(row[0].size(), 24u) << "ISO 8601 with milliseconds: " << row[0];
    row.erase(row.begin());
    EXPECT_EQ(row, expected[i]) << "entry " << i;
  }
}

TEST_F(CliLibraryTest, HistoryFiltersPagesAndPrintsEachFormat) {
  {
    auto library = library::test::MustOpen(LibraryPath());
    ASSERT_TRUE(library);
    const int64_t day = *library::ParseDay("2026-12-01");
    std::vector<library::HistoryEntry> entries;
    for (int i = 0; i < 2500; ++i) {
      bool shop = i % 10 == 0;
      entries.push_back({.time_ms = day + (i - 1250) * 60000LL,
                         .kind = shop ? library::EntryKind::kShop : library::EntryKind::kItem,
                         .id = std::to_string(5000000000 + i),
                         .nick = i % 2 ? "甜甜小铺" : "sunny_shop12",
                         .title = i % 7 == 0 ? "=HYPERLINK(\"x\") 女装" : "韩版连衣裙",
                         .click_url = "http://s.click.example/t?e=" + std::to_string(i)});
    }
    ASSERT_TRUE(library->Record(entries).Ok());
  }
  struct Case {
    std::vector<std::string> args;
    size_t rows;           // without the header
    std::string first_id;  // of the first row, when there is one
  };
  const Case cases[] = {
      {{}, 100, "5000002499"},
      {{"--limit", "2100"}, 2100, "5000002499"},  // over more than one page
      {{"--limit", "99999999999999999999"}, 2500, "5000002499"},
      {{"--search", "sunny 女装", "--kind", "item", "--limit", "1000"}, 143, "5000002492"},
      {{"--since", "2026-12-01", "--limit", "5000"}, 1250, "5000002499"},
      {{"--since", "2027-01-01"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"history"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto result = Cli(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto rows = TsvRows(result.out);
    ASSERT_EQ(rows.size(), c.rows + 1) << ::testing::PrintToString(c.args);
    if (c.rows > 0) {
      EXPECT_EQ(rows[1][2], c.first_id) << ::testing::PrintToString(c.args);
    }
  }
  // Nothing found: the header, or an empty JSON array; exit 0.
  EXPECT_EQ(Cli({"history", "--search", "毛衣", "--format", "json"}).out, "[]\n");
  auto csv = Cli({"history", "--limit", "1", "--search", "女装", "--format", "csv"});
  EXPECT_EQ(csv.out.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(csv.out.find(",\"'=HYPERLINK(\"\"x\"\") 女装\","), std::string::npos)
      << "no formula in a spreadsheet: " << csv.out;
  auto json = Cli({"history", "--limit", "2", "--format", "json"});
  EXPECT_TRUE(
      json.out.starts_with("[{\"time\":\"2026-12-01T20:49:00.000Z\",\"kind\":\"item\","
                           "\"id\":\"5000002499\",\"nick\":\"甜甜小铺\""))
      << json.out;

  auto cleared = Cli({"history", "clear", "--before", "2026-12-01"});
  ASSERT_EQ(cleared.exit_code, 0) << cleared.err;
  EXPECT_EQ(cleared.out, "removed 1250 entries\n");
  EXPECT_EQ(TsvRows(Cli({"history", "--limit", "5000"}).out).size(), 1251u);
  EXPECT_EQ(TsvRows(Cli({"history", "--search", "女装", "--limit", "5000"}).out).size(), 180u)
      << "the search index lost the entries cleared";
  EXPECT_EQ(Cli({"history", "clear"}).out, "removed 1250 entries\n");
  EXPECT_EQ(TsvRows(Cli({"history"}).out).size(), 1u);
}

TEST_F(CliLibraryTest, SavedShopsAndItemsAreLookedUpListedAndRemoved) {
  const sandbox::Item& item = Item();
  const sandbox::Seller& seller = SellerOf(item);
  auto shop = Cli({"saved", "add", "shop", seller.nick, "--note", "主推店"});
  ASSERT_EQ(shop.exit_code, 0) << shop.err;
  auto rows = TsvRows(shop.out);
  ASSERT_EQ(rows.size(), 2u) << shop.out;
  EXPECT_EQ(rows[0], (std::vector<std::string>{"kind", "id", "nick", "title", "note", "saved_at",
                                               "location", "level"}));
  rows[1].erase(rows[1].begin() + 5);  // saved_at
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"shop", seller.sid, seller.nick, seller.shop_title, "主推店",
                                      Location(seller), std::to_string(seller.level)}));
  auto saved_item = Cli({"saved", "add", "item", item.iid});
  rows = TsvRows(saved_item.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1], item.iid);
  EXPECT_EQ(rows[1][3], item.title);
  EXPECT_EQ(std::vector<std::string>(rows[1].begin() + 6, rows[1].begin() + 9),
            (std::vector<std::string>{item.price, item.commission_rate, item.commission}));
  EXPECT_TRUE(rows[1][9].starts_with(sandbox_->Base() + "click?kind=item&iid=" + item.iid));
  // Saved again: updated, the note kept; --note replaces it.
  ASSERT_EQ(Cli({"saved", "add", "shop", seller.nick}).exit_code, 0);
  ASSERT_EQ(Cli({"saved", "add", "item", item.iid, "--note", "夏季 爆款"}).exit_code, 0);

  auto list = Cli({"saved", "list"});
  ASSERT_EQ(list.exit_code, 0) << list.err;
  rows = TsvRows(list.out);
  ASSERT_EQ(rows.size(), 3u) << list.out;
  EXPECT_EQ(rows[0].size(), 12u) << "both kinds' columns";
  EXPECT_EQ(rows[1][0], "item") << "the latest saved first";
  EXPECT_EQ(rows[1][4], "夏季 爆款");
  EXPECT_EQ(rows[2][4], "主推店");
  EXPECT_EQ(TsvRows(Cli({"saved", "list", "--search", "爆款"}).out).size(), 2u);
  EXPECT_EQ(Cli({"saved", "list", "--kind", "shop", "--search", "爆款", "--format", "json"}).out,
            "[]\n");

  EXPECT_EQ(Cli({"saved", "remove", "item", item.iid}).exit_code, 0);
  auto again = Cli({"saved", "remove", "item", item.iid});
  EXPECT_EQ(again.err, "vendrix-cli: no item is saved under '" + item.iid + "'\n");

  // What cannot be looked up or converted is not saved.
  auto unknown = Cli({"saved", "add", "shop", "没有这个卖家"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.err.find("the shop lookup of '没有这个卖家' failed"), std::string::npos)
      << unknown.err;
  EXPECT_EQ(Cli({"saved", "add", "item", "1"}).exit_code, 1);
  EXPECT_EQ(TsvRows(Cli({"saved", "list"}).out).size(), 2u);
}

// A file the library cannot use: each command that needs it exits 1 naming the file and the
// reason, conversions print and say nothing was recorded, and the file stays as it was.
TEST_F(CliLibraryTest, AnUnusableLibraryIsNamedAndLeftAsItWas) {
  struct File {
    const char* name;
    std::function<void(const std::string&)> make;
    std::string says;
    bool readable;  // history, saved list and backup work
  };
  using namespace library::test;
  const File files[] = {
      {"foreign", MakeForeign, "is not a Vendrix library (another program's SQLite database)",
       false},
      {"damaged",
       [](const std::string& path) {
         MakeLibrary(path, 20);
         Overwrite(path, 100, 900);
       },
       "is damaged (", false},
      {"newer", [](const std::string& path) { MakeNewer(path, 3, 2); },
       "is of version 3, newer than version 2 that this Vendrix writes", true},
      {"newer, unreadable", [](const std::string& path) { MakeNewer(path, 4, 3); },
       "is of version 4, ", false},
  };
  const sandbox::Item& item = Item();
  const sandbox::Seller& seller = SellerOf(item);
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    TempFolder folder;
    const std::string path = folder.Library();
    std::filesystem::create_directories(folder.Path() + "/vendrix");
    f.make(path);
    const std::string before = FileBytes(path);
    std::map<std::string, std::string> env = {{"XDG_DATA_HOME", folder.Path()}};
    struct Command {
      std::vector<std::string> args;
      bool reads;
    };
    const Command commands[] = {
        {{"history", "--search", "女装"}, true},
        {{"saved", "list"}, true},
        {{"library", "backup", folder.Path() + "/copy.db"}, true},
        {{"history", "clear"}, false},
        {{"saved", "add", "shop", seller.nick}, false},
        {{"saved", "remove", "shop", seller.nick}, false},
    };
    for (const Command& c : commands) {
      auto result = Cli(c.args, env);
      EXPECT_EQ(result.exit_code, c.reads && f.readable ? 0 : 1) << c.args[1] << result.err;
      if (c.reads && f.readable) continue;
      EXPECT_TRUE(result.err.starts_with("vendrix-cli: the library " + path + " " + f.says) &&
                  result.err.ends_with("; it is left as it is\n"))
          << c.args[0] << " " << c.args[1] << "\n"
          << result.err;
    }
    auto converted = Cli({"convert", "item", item.iid}, env);
    EXPECT_EQ(converted.exit_code, 0);
    EXPECT_TRUE(converted.out.starts_with(sandbox_->Base() + "click?kind=item")) << converted.out;
    EXPECT_TRUE(converted.err.starts_with("vendrix-cli: nothing was recorded in the history: the "
                                          "library " +
                                          path + " " + f.says) &&
                converted.err.ends_with("; it is left as it is\n"))
        << converted.err;

    EXPECT_TRUE(FileBytes(path) == before) << "the file was changed";
    EXPECT_EQ(FilesIn(folder.Path() + "/vendrix"), std::set<std::string>{"vendrix.db"});
  }
}

// Command lines converting at once while the window records its clicks: every entry is there.
TEST_F(CliLibraryTest, WritersAtOnceLoseNothing) {
  std::vector<std::string> iids;
  for (size_t i = 0; i < 12; ++i) iids.push_back(Item(i).iid);
  std::vector<std::thread> command_lines;
  std::atomic<int> failures{0};
  for (size_t t = 0; t < 3; ++t) {
    command_lines.emplace_back([&, t] {
      for (size_t i = t; i < iids.size(); i += 3) {
        auto result = Cli({"convert", "item", iids[i]});
        if (result.exit_code != 0 || !result.err.empty()) ++failures;
      }
    });
  }
  std::vector<LibraryStatus> problems;
  {
    library::LibraryWriter window(LibraryPath(),
                                  [&](const LibraryStatus& s) { problems.push_back(s); });
    for (int i = 0; i < 300; ++i) {
      window.Record({.id = "w" + std::to_string(i),
                     .title = "点击",
                     .click_url = "http://x/",
                     .action = library::HistoryAction::kOpened});
      if (i % 50 == 0) window.SaveShop({.nick = "s" + std::to_string(i)}, std::nullopt);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    for (std::thread& t : command_lines) t.join();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_TRUE(problems.empty()) << problems.front().message;
  auto history = Cli({"history", "--limit", "1000"});
  auto rows = TsvRows(history.out);
  std::multiset<std::string> ids;
  for (size_t i = 1; i < rows.size(); ++i) ids.insert(rows[i][2]);
  EXPECT_EQ(ids.size(), 312u);
  for (const std::string& iid : iids) EXPECT_EQ(ids.count(iid), 1u) << iid;
  for (int i = 0; i < 300; ++i) EXPECT_EQ(ids.count("w" + std::to_string(i)), 1u) << i;
  EXPECT_EQ(TsvRows(Cli({"saved", "list"}).out).size(), 7u);
}

// A backup taken while another process writes is one moment of the library: a sound file of
// its own, holding a run of the writer's entries without a gap, and a library again.
TEST_F(CliLibraryTest, BackupWhileAnotherProcessWritesIsConsistent) {
  test::ChildProcess writer(LIBRARY_TEST_WRITER, {LibraryPath(), "w", "0"});
  size_t printed = 0;
  while (printed < 100 && !writer.ReadLine().empty()) ++printed;
  ASSERT_EQ(printed, 100u) << "the writer did not write";
  const std::string copy = data_.Path() + "/backup.db";
  for (int round = 0; round < 3; ++round) {
    auto result = Cli({"library", "backup", copy});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(std::filesystem::exists(copy + "-wal")) << "one file, nothing beside it";
    EXPECT_TRUE(Sound(copy));
    sql::Database db(copy, sql::Database::Mode::kReadOnly);
    int64_t count = db.QueryInt("SELECT count(*) FROM history");
    EXPECT_GE(count, 100);
    // The writer records w-0, w-1, ... in turn: a moment of it holds the first `count`.
    EXPECT_EQ(db.QueryInt("SELECT max(CAST(substr(id, 3) AS INTEGER)) FROM history"), count - 1);
    EXPECT_EQ(db.QueryInt("SELECT count(DISTINCT id) FROM history"), count);
  }
  writer.Stop(SIGKILL);
  auto restored = library::test::MustOpen(copy);
  ASSERT_TRUE(restored);
  std::vector<library::HistoryEntry> entries;
  ASSERT_TRUE(restored->ReadHistory({.search = "连衣裙", .limit = 5}, entries).Ok());
  EXPECT_EQ(entries.size(), 5u);
  restored.reset();

  // A file that is not a library is never overwritten by a backup.
  const std::string notes = data_.Path() + "/notes.txt";
  library::test::WriteFile(notes, "my notes\n");
  auto refused = Cli({"library", "backup", notes});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find(notes + " exists and is not a Vendrix library"), std::string::npos)
      << refused.err;
  EXPECT_EQ(FileBytes(notes), "my notes\n");

  // Nor is a library with its log beside it: the log would be played onto the copy.
  const std::string other = data_.Path() + "/other.db";
  ASSERT_TRUE(library::test::MustOpen(other));
  {
    sql::Database in_use(other, sql::Database::Mode::kReadWrite);
    in_use.Execute("PRAGMA wal_autocheckpoint = 0");
    in_use.Execute(
        "INSERT INTO saved_shop(nick, shop_id, title, location, level, note, saved_at, words)"
        " VALUES('theirs', '1', '', '', 0, '', 0, '')");
    const std::string other_before = FileBytes(other);
    const std::string log_before = FileBytes(other + "-wal");
    auto over_log = Cli({"library", "backup", other});
    EXPECT_EQ(over_log.exit_code, 1);
    EXPECT_EQ(over_log.err, "vendrix-cli: the backup could not be written: " + other +
                                "-wal lies beside it (a program is using " + other +
                                ", or was stopped while using it); it is left as it is\n");
    EXPECT_TRUE(FileBytes(other) == other_before);
    EXPECT_TRUE(FileBytes(other + "-wal") == log_before);
  }
  EXPECT_TRUE(Sound(other));
  sql::Database db(other, sql::Database::Mode::kReadOnly);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM saved_shop WHERE nick = 'theirs'"), 1);
}

}  // namespace
}  // namespace vendrix
