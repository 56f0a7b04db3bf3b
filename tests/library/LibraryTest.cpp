// The library against real SQLite files in temporary folders: the history's order and pages,
// saved entries, a file of the first version brought up to date, and the writer thread that
// never keeps the window waiting.
#include <gtest/gtest.h>

#include <thread>

#include "library/Library.h"
#include "library/LibrarySchema.h"
#include "library/LibraryWriter.h"
#include "library/Sqlite.h"
#include "tests/library/LibraryTestSupport.h"

namespace vendrix::library {
namespace {

using test::Ids;
using test::MustOpen;
using test::TempFolder;

HistoryEntry Entry(const std::string& id, int64_t time_ms, EntryKind kind = EntryKind::kItem,
                   const std::string& title = "标题") {
  return {.time_ms = time_ms,
          .kind = kind,
          .id = id,
          .nick = "卖家",
          .title = title,
          .price = kind == EntryKind::kItem ? "12.50" : "",
          .commission_rate = "1250",
          .click_url = "http://s.click.example/t?e=" + id,
          .action = HistoryAction::kCopied};
}

// All pages of `query`, `page` entries each, following each page's last key.
std::vector<std::string> AllPages(Library& library, HistoryQuery query, size_t page) {
  std::vector<std::string> ids;
  query.limit = page;
  for (;;) {
    std::vector<HistoryEntry> entries;
    EXPECT_TRUE(library.ReadHistory(query, entries).Ok());
    for (const HistoryEntry& e : entries) ids.push_back(e.id);
    if (entries.size() < page) return ids;
    query.before = entries.back().key;
  }
}

TEST(LibraryTest, HistoryIsNewestFirstTiesLastRecordedFirst_PagesNeitherSkipNorRepeat) {
  TempFolder folder;
  // The folder and the file are made on first use.
  std::unique_ptr<Library> library = MustOpen(folder.Library());
  ASSERT_TRUE(library);
  const int64_t day = *ParseDay("2026-12-09");
  const int64_t noon = day + 12 * 3600 * 1000;
  std::vector<HistoryEntry> entries = {
      Entry("a", noon),
      Entry("b", noon),
      Entry("c", noon),
      Entry("d", day - 1),  // the evening before
      Entry("e", noon + 5),
      Entry("f", noon + 2, EntryKind::kShop, "女装店"),
      Entry("g", noon + 3, EntryKind::kItem, "韩版女装"),
  };
  ASSERT_TRUE(library->Record(entries).Ok());
  // One entry more at the same moment, in a transaction of its own: it goes first of the tie.
  HistoryEntry h = Entry("h", noon);
  ASSERT_TRUE(library->Record(h).Ok());
  EXPECT_EQ(h.time_ms, noon);

  std::vector<HistoryEntry> read;
  ASSERT_TRUE(library->ReadHistory({}, read).Ok());
  EXPECT_EQ(IsoTime(read[0].time_ms), "2026-12-09T12:00:00.005Z");
  EXPECT_EQ(read[2].kind, EntryKind::kShop);

  struct Case {
    HistoryQuery query;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {{}, {"e", "g", "f", "h", "c", "b", "a", "d"}},
      {{.kind = EntryKind::kShop}, {"f"}},
      {{.kind = EntryKind::kItem, .since_ms = day}, {"e", "g", "h", "c", "b", "a"}},
      {{.search = "女装"}, {"g", "f"}},
      {{.kind = EntryKind::kItem, .search = "女装"}, {"g"}},
  };
  for (const Case& c : cases) {
    // Pages of every size give the same entries in the same order.
    for (size_t page : {1, 2, 3, 100}) {
      EXPECT_EQ(AllPages(*library, c.query, page), c.ids)
          << "search '" << c.query.search << "', pages of " << page;
    }
  }

  // One entry removed is gone from the pages and from the search; the others stay.
  bool removed = false;
  ASSERT_TRUE(library->RemoveHistoryEntry(read[1].key, removed).Ok());
  EXPECT_TRUE(removed);
  EXPECT_EQ(AllPages(*library, {}, 3),
            (std::vector<std::string>{"e", "f", "h", "c", "b", "a", "d"}));
  EXPECT_EQ(AllPages(*library, {.search = "女装"}, 1), (std::vector<std::string>{"f"}));
}

TEST(LibraryTest, SavedEntriesPage_ANoteChangesInPlace_AndAreRemoved) {
  TempFolder folder;
  std::unique_ptr<Library> library = MustOpen(folder.Library());
  ASSERT_TRUE(library);
  SavedShop shop{.nick = "甜甜小铺", .shop_id = "60000003", .title = "旧标题", .level = 7};
  ASSERT_TRUE(library->SaveShop(shop, "主推").Ok());
  SavedShop other{.nick = "quillfern01", .shop_id = "60000020", .title = "Quill"};
  ASSERT_TRUE(library->SaveShop(other, std::nullopt).Ok());
  SavedItem item{.item_id = "5000000385", .title = "连衣裙", .price = "99.00"};
  ASSERT_TRUE(library->SaveItem(item, "夏季").Ok());

  // A page after a page.
  std::vector<SavedShop> shops;
  ASSERT_TRUE(library->ReadSavedShops({.limit = 1}, shops).Ok());
  ASSERT_EQ(shops.size(), 1u);
  std::vector<SavedShop> next;
  ASSERT_TRUE(
      library->ReadSavedShops({.after = SavedCursor{shops[0].saved_ms, shops[0].nick}}, next).Ok());
  ASSERT_EQ(next.size(), 1u);
  EXPECT_NE(next[0].nick, shops[0].nick);

  // A note changed alone keeps the entry's place and save time; the search finds the new one.
  std::vector<SavedItem> items;
  ASSERT_TRUE(library->ReadSavedItems({}, items).Ok());
  bool found = false;
  ASSERT_TRUE(library->SetNote(EntryKind::kItem, "5000000385", "清仓款", found).Ok());
  EXPECT_TRUE(found);
  ASSERT_TRUE(library->SetNote(EntryKind::kShop, "nobody", "x", found).Ok());
  EXPECT_FALSE(found);
  std::vector<SavedItem> noted;
  ASSERT_TRUE(library->ReadSavedItems({.search = "清仓"}, noted).Ok());
  ASSERT_EQ(noted.size(), 1u);
  EXPECT_EQ(noted[0].saved_ms, items[0].saved_ms);
  ASSERT_TRUE(library->ReadSavedItems({.search = "夏季"}, noted).Ok());
  EXPECT_TRUE(noted.empty()) << "the old note is no longer found";

  bool removed = false;
  ASSERT_TRUE(library->RemoveShop("甜甜小铺", removed).Ok());
  EXPECT_TRUE(removed);
  std::vector<std::string> nicks;
  ASSERT_TRUE(library->SavedShopNicks(nicks).Ok());
  EXPECT_EQ(nicks, std::vector<std::string>{"quillfern01"});
}

// A search of words found by their start looks through the newest entries itself and asks the
// index for the older ones: matches on both sides of that line are found, in order, page by
// page.
TEST(LibraryTest, ASearchOfOneCharacterFindsEveryMatchNewAndOld) {
  TempFolder folder;
  std::unique_ptr<Library> library = MustOpen(folder.Library());
  ASSERT_TRUE(library);
  const int64_t start = *ParseDay("2026-01-01");
  const int64_t total = library_defaults::kSearchScanRows + 2000;
  std::vector<HistoryEntry> entries;
  std::vector<std::string> expected;  // newest first
  for (int64_t i = 0; i < total; ++i) {
    // A few of the oldest and of the newest entries, and one just beyond the newest rows
    // looked through, hold the character and the word.
    bool holds = i < 3 || i >= total - 4 || i == total - library_defaults::kSearchScanRows - 1;
    std::string id = std::to_string(7000000000 + i);
    entries.push_back(Entry(id, start + i * 1000, i % 2 ? EntryKind::kItem : EntryKind::kShop,
                            holds ? "明前龙井茶 teapot 商品" : "普通商品"));
    if (holds) expected.insert(expected.begin(), id);
  }
  ASSERT_TRUE(library->Record(entries).Ok());
  // Words alike in number, and a rare word beside one that every entry holds (the index is
  // asked for the rare one alone, the rows it gives are checked for the other).
  for (const char* search : {"茶", "tea", "TEA 茶", "茶 商", "商 t"}) {
    for (size_t page : {1, 3, 50}) {
      EXPECT_EQ(AllPages(*library, {.search = search}, page), expected)
          << "search '" << search << "', pages of " << page;
    }
  }
  std::vector<std::string> items;
  for (const std::string& id : expected) {
    if (std::stoll(id) % 2) items.push_back(id);
  }
  EXPECT_EQ(AllPages(*library, {.kind = EntryKind::kItem, .search = "茶"}, 2), items);
  EXPECT_EQ(AllPages(*library, {.kind = EntryKind::kItem, .search = "品 茶"}, 2), items);
  EXPECT_TRUE(AllPages(*library, {.search = "普 tea"}, 50).empty());
}

// Version 1 as it was released, and two entries and a saved shop written by it.
constexpr const char* kVersion1File = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE history(key INTEGER PRIMARY KEY, kind INTEGER NOT NULL, action INTEGER NOT NULL,
  id TEXT NOT NULL, nick TEXT NOT NULL, title TEXT NOT NULL, price TEXT NOT NULL,
  commission_rate TEXT NOT NULL, click_url TEXT NOT NULL);
CREATE TABLE saved_shop(nick TEXT PRIMARY KEY NOT NULL, shop_id TEXT NOT NULL,
  title TEXT NOT NULL, location TEXT NOT NULL, level INTEGER NOT NULL, note TEXT NOT NULL,
  saved_at INTEGER NOT NULL);
CREATE INDEX saved_shop_by_time ON saved_shop(saved_at, nick);
CREATE TABLE saved_item(item_id TEXT PRIMARY KEY NOT NULL, nick TEXT NOT NULL,
  title TEXT NOT NULL, price TEXT NOT NULL, commission_rate TEXT NOT NULL,
  commission TEXT NOT NULL, click_url TEXT NOT NULL, note TEXT NOT NULL,
  saved_at INTEGER NOT NULL);
CREATE INDEX saved_item_by_time ON saved_item(saved_at, item_id);
INSERT INTO meta VALUES('last_compatible_version', 1);
INSERT INTO history VALUES(28592524800001, 0, 0, '5000000385', '甜甜小铺', '2024新款女装连衣裙',
  '99.00', '1250', 'http://s.click.example/t?e=1');
INSERT INTO history VALUES(28592524880000, 1, 2, '60000003', 'quillfern01', '羽毛笔文具店', '',
  '800', 'http://s.click.example/t?e=2');
INSERT INTO saved_shop VALUES('quillfern01', '60000003', '羽毛笔文具店', '浙江杭州', 9, '开学季主推',
  1787032800000);
PRAGMA application_id = 1447318104;
PRAGMA user_version = 1;
PRAGMA journal_mode = WAL;
)sql";

TEST(LibraryTest, MigratesAFileOfTheFirstVersion) {
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() + "/vendrix");
  {
    sql::Database v1(folder.Library(), sql::Database::Mode::kCreate);
    v1.Execute(kVersion1File);
  }
  std::unique_ptr<Library> library = MustOpen(folder.Library(), Library::Access::kRead);
  ASSERT_TRUE(library);
  EXPECT_EQ(library->FileVersion(), schema::kVersion);
  // What version 1 held is there, and the search finds it.
  std::vector<HistoryEntry> entries;
  ASSERT_TRUE(library->ReadHistory({.search = "女装"}, entries).Ok());
  ASSERT_EQ(Ids(entries), std::vector<std::string>{"5000000385"});
  EXPECT_EQ(IsoTime(entries[0].time_ms), "2026-08-18T06:00:00.000Z");
  std::vector<SavedShop> shops;
  ASSERT_TRUE(library->ReadSavedShops({.search = "开学"}, shops).Ok());
  ASSERT_EQ(shops.size(), 1u);
  EXPECT_EQ(shops[0].level, 9);
  library.reset();

  // The new version is in the file, and version 1 can still read it; a new entry is found
  // alongside the old ones.
  EXPECT_TRUE(test::Sound(folder.Library()));
  EXPECT_EQ(sql::Database(folder.Library(), sql::Database::Mode::kReadWrite)
                .QueryInt("SELECT value FROM meta WHERE key = 'last_compatible_version'"),
            1);
  library = MustOpen(folder.Library());
  HistoryEntry added = Entry("5000000999", 0, EntryKind::kItem, "女装外套");
  ASSERT_TRUE(library->Record(added).Ok());
  ASSERT_TRUE(library->ReadHistory({.search = "女装"}, entries).Ok());
  EXPECT_EQ(Ids(entries), (std::vector<std::string>{"5000000999", "5000000385"}));
}

TEST(LibraryTest, TheWriterNeverWaitsForTheFile_AndLosesNothing) {
  TempFolder folder;
  MustOpen(folder.Library());
  std::vector<LibraryStatus> problems;
  {
    LibraryWriter writer(folder.Library(), [&](const LibraryStatus& s) { problems.push_back(s); });
    // Another process holds the file's write lock for now: recording returns all the same.
    auto holder =
        std::make_unique<sql::Database>(folder.Library(), sql::Database::Mode::kReadWrite);
    holder->Execute("BEGIN IMMEDIATE");
    // Any thread may record.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&writer, t] {
        for (int i = 0; i < 25; ++i) writer.Record(Entry(std::to_string(t * 25 + i), 0));
      });
    }
    for (std::thread& thread : threads) thread.join();
    bool saved = false;
    bool recorded = false;
    writer.Record(Entry("heard", 0), [&](const LibraryStatus& s) { recorded = s.Ok(); });
    writer.SaveShop({.nick = "甜甜小铺", .shop_id = "1"}, "note",
                    [&](const LibraryStatus& s) { saved = s.Ok(); });
    holder->Execute("COMMIT");
    holder.reset();
    writer.Flush();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(recorded) << "an entry's own callback hears once it is recorded";
  }
  EXPECT_TRUE(problems.empty()) << problems.front().message;
  std::unique_ptr<Library> library = MustOpen(folder.Library(), Library::Access::kRead);
  std::vector<HistoryEntry> entries;
  ASSERT_TRUE(library->ReadHistory({.limit = 1000}, entries).Ok());
  std::vector<std::string> ids = Ids(entries);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 101u);
}

}  // namespace
}  // namespace vendrix::library
