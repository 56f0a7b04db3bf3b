// The shop finder's commands end to end against the sandbox process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "sandbox/ConfigDocument.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

using test::ChildProcess;
using test::RunProcess;

class CliFinderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    log_ = ::testing::TempDir() + "/cli-sandbox-" + std::to_string(getpid()) + ".log";
    std::remove(log_.c_str());
    sandbox_ = new ChildProcess(VENDRIX_SANDBOX, {"--port", "0", "--seed", "42", "--log", log_});
    base_ = sandbox_->ReadLine();
  }
  static void TearDownTestSuite() {
    delete sandbox_;
    sandbox_ = nullptr;
  }
  static test::ProcessResult Cli(const std::vector<std::string>& args) {
    return RunProcess(VENDRIX_CLI, args,
                      {{"VENDRIX_VENDOR_BASE", base_},
                       {"VENDRIX_GATEWAY", base_ + "router/rest"},
                       {"VENDRIX_SHOP_LOGO", base_ + "shop-logo"},
                       {"VENDRIX_RANK_PICS", base_ + "newrank/"}});
  }
  static std::vector<std::vector<std::string>> Rows(const std::string& tsv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(tsv);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> cells;
      std::istringstream fields(line);
      for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
      rows.push_back(cells);
    }
    return rows;
  }

  static ChildProcess* sandbox_;
  static std::string base_;
  static std::string log_;
};
ChildProcess* CliFinderTest::sandbox_ = nullptr;
std::string CliFinderTest::base_;
std::string CliFinderTest::log_;

TEST_F(CliFinderTest, SearchFindsOneHundredTwentyDistinctSellersInTheCreditRange) {
  ASSERT_FALSE(base_.empty());
  auto result = Cli({"search", "--count", "120", "--low", "1diamond", "--high", "5crown"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  auto rows = Rows(result.out);
  ASSERT_EQ(rows.size(), 120u);
  std::set<std::string> nicks;
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    nicks.insert(row[0]);
    int level = std::stoi(row[2]);
    EXPECT_GE(level, 6);
    EXPECT_LE(level, 15);
  }
  EXPECT_EQ(nicks.size(), 120u);
}

TEST_F(CliFinderTest, RegionAndFormats) {
  auto json = Cli({"search", "--region", "杭州", "--count", "3", "--format", "json"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  EXPECT_TRUE(json.out.starts_with("[{\"nick\":"));
  EXPECT_NE(json.out.find("\"location\":\"浙江杭州\""), std::string::npos) << json.out;
  auto csv = Cli({"search", "--count", "2", "--format", "csv", "--low", "20", "--high", "1"});
  ASSERT_EQ(csv.exit_code, 0) << csv.err;
  EXPECT_TRUE(csv.out.starts_with("nick,location,level\n"));

  EXPECT_EQ(Cli({"search", "--region", "火星"}).exit_code, 2);
  EXPECT_EQ(Cli({"search", "--low", "7heart"}).exit_code, 2);
  EXPECT_EQ(Cli({"search", "--format", "xml"}).exit_code, 2);
}

TEST_F(CliFinderTest, NothingFoundPrintsTheWarning) {
  // Tibet has few sellers, and none of the highest level sells cameras there.
  auto result = Cli({"search", "--category", "14", "--region", "西藏", "--low", "20"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "没有找到相关卖家\n");
  EXPECT_EQ(result.out, "");
}

TEST_F(CliFinderTest, CategoriesShopAndConvert) {
  auto categories = Cli({"categories"});
  ASSERT_EQ(categories.exit_code, 0);
  EXPECT_TRUE(categories.out.starts_with("0\t所有类目\n14\t数码相机/摄像机/摄影器材\n"));
  EXPECT_EQ(categories.out.find("腾讯QQ专区"), std::string::npos);

  auto search = Cli({"search", "--count", "1"});
  ASSERT_EQ(search.exit_code, 0);
  std::string nick = Rows(search.out)[0][0];
  auto shop = Cli({"shop", nick});
  ASSERT_EQ(shop.exit_code, 0) << shop.err;
  EXPECT_TRUE(shop.out.starts_with("<style>"));
  EXPECT_NE(shop.out.find("卖家昵称：" + nick), std::string::npos);
  EXPECT_NE(shop.out.find(base_ + "newrank/"), std::string::npos) << "the credit badge";
  size_t link = shop.out.find("href=\"http://iid");
  ASSERT_NE(link, std::string::npos);
  std::string iid = shop.out.substr(link + 16, shop.out.find('/', link + 16) - link - 16);

  auto item = Cli({"convert", "item", iid});
  ASSERT_EQ(item.exit_code, 0) << item.err;
  EXPECT_TRUE(item.out.starts_with(base_ + "click?kind=item&iid=" + iid + "&nick="));
  auto converted_shop = Cli({"convert", "shop", nick});
  ASSERT_EQ(converted_shop.exit_code, 0) << converted_shop.err;
  EXPECT_TRUE(converted_shop.out.starts_with(base_ + "click?kind=shop&sid="));

  EXPECT_EQ(Cli({"convert", "item", "1"}).exit_code, 1) << "an unknown item converts to nothing";
  EXPECT_EQ(Cli({"convert", "thing", "1"}).exit_code, 2);

  // Every kind of call went to the sandbox; the secret was in none of them.
  std::ifstream log(log_);
  std::stringstream requests;
  requests << log.rdbuf();
  for (const char* method : {"taobao.itemcats.get", "taobao.taobaoke.items.get", "taobao.users.get",
                             "taobao.shop.get", "taobao.items.search",
                             "taobao.taobaoke.items.convert", "taobao.taobaoke.shops.convert"}) {
    EXPECT_NE(requests.str().find(method), std::string::npos) << method;
  }
  EXPECT_EQ(requests.str().find(sandbox::sandbox_credentials::kAppSecret), std::string::npos);
}

}  // namespace
}  // namespace vendrix
