// What a search finds, through a real library: the history's index and the saved entries' words
// must find the same, Chinese of one, two and more characters anywhere, ASCII words by their
// start, letter case and full-width letters ignored.
#include <gtest/gtest.h>

#include <set>

#include "library/Library.h"
#include "tests/library/LibraryTestSupport.h"

namespace vendrix::library {
namespace {

struct Sample {
  const char* id;
  const char* title;
  const char* nick;
};
// Each line is built to be found by some searches and missed by others that look alike.
constexpr Sample kSamples[] = {
    {"1001", "2024新款女装连衣裙 包邮", "甜甜小铺"},
    {"1002", "韩版女士装饰手链", "quillfern01"},     // 女 and 装, not 女装
    {"1003", "【包邮】女装半身裙", "Sunny_Shop88"},  // 】 ends the run 包邮
    {"1004", "衣裙连衣 测试", "阿木木"},             // the pairs of 连衣裙, not in order
    {"1005", "连衣 裙子", "ＱＵＩＬＬ全角"},         // full-width letters
    {"5000000385", "Apple iPhone 手机壳", "digital_store12"},
};

struct Case {
  const char* search;
  std::set<std::string> ids;
};
void PrintTo(const Case& c, std::ostream* out) { *out << "search '" << c.search << "'"; }

class SearchTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder;
    library_ = test::MustOpen(folder_->Library()).release();
    ASSERT_NE(library_, nullptr);
    for (const Sample& s : kSamples) {
      HistoryEntry entry{.id = s.id, .nick = s.nick, .title = s.title, .click_url = "http://x/"};
      ASSERT_TRUE(library_->Record(entry).Ok());
      SavedItem item{.item_id = s.id, .nick = s.nick, .title = s.title};
      ASSERT_TRUE(library_->SaveItem(item, "").Ok());
    }
  }
  static void TearDownTestSuite() {
    delete library_;
    delete folder_;
  }
  static inline test::TempFolder* folder_ = nullptr;
  static inline Library* library_ = nullptr;
};

TEST_P(SearchTest, HistoryAndSavedEntriesFindTheSame) {
  const Case& c = GetParam();
  std::vector<HistoryEntry> entries;
  ASSERT_TRUE(library_->ReadHistory({.search = c.search}, entries).Ok());
  const std::vector<std::string> ids = test::Ids(entries);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), c.ids) << "history";
  std::vector<SavedItem> items;
  ASSERT_TRUE(library_->ReadSavedItems({.search = c.search}, items).Ok());
  std::set<std::string> found;
  for (const SavedItem& i : items) found.insert(i.item_id);
  EXPECT_EQ(found, c.ids) << "saved items";
}

const Case kCases[] = {
    // Two characters, anywhere in a run; not when they stand apart.
    {"女装", {"1001", "1003"}},
    {"款女", {"1001"}},
    // Three: all in a row, not only their pairs somewhere.
    {"连衣裙", {"1001"}},
    // One: at the start, inside or at the end of a run.
    {"裙", {"1001", "1003", "1004", "1005"}},
    {"装", {"1001", "1002", "1003"}},
    {"裤", {}},
    // Every piece, in any of the values; punctuation ends a run.
    {"包邮 女装", {"1001", "1003"}},
    {"包邮女装", {}},
    {"女装 甜甜", {"1001"}},
    {"2024新款", {"1001"}},
    // ASCII words from their start, any letter case, full-width too.
    {"quill", {"1002", "1005"}},
    {"QUILL", {"1002", "1005"}},
    {"fern", {}},
    {"shop88", {"1003"}},
    {"iphone 手机", {"5000000385"}},
    // Ids whole or by their start.
    {"5000000385", {"5000000385"}},
    {"500000", {"5000000385"}},
    {"1001", {"1001"}},
    // Digits inside a nick's word or an id are not the start of a word.
    {"000385", {}},
    {"88", {}},
};

INSTANTIATE_TEST_SUITE_P(Searches, SearchTest, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace vendrix::library
