// The shop finder's commands end to end against the sandbox process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

#include "sandbox/ConfigDocument.h"
#include "tests/support/FakeGateway.h"
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
    return RunProcess(VENDRIX_CLI, args, test::SandboxEnvironment(base_));
  }
  static std::vector<std::vector<std::string>> Rows(const std::string& tsv) {
    return test::TsvRows(tsv);
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
  EXPECT_TRUE(csv.out.starts_with("\xEF\xBB\xBFnick,location,level\r\n"));

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

// The commands against a scripted platform whose replies go wrong in the ways a user meets.
class CliScriptedTest : public ::testing::Test {
 protected:
  struct Platform {
    int config_status = 200;
    std::string item_cond;  // the configuration's conditions of the affiliate item search
    std::vector<std::string> nicks = {"s0", "s1", "s2"};  // the sellers, 40 a page
    int failing_page = 0;     // this page of affiliate items is answered with `page_error`
    std::string page_error;
    int failing_batch = 0;    // this user lookup batch (from 1) is refused
    bool shop_found = true;
    bool items_found = true;
    bool items_empty = false;  // the item search finds nothing
    int items = 1;             // items in the item search's reply, iids 1, 2, ...
    bool conversions_fail = false;
    std::string click = "http://click/1";
  };

  static std::string Document(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>" + inner + "</r>";
  }
  void Serve(const Platform& p) {
    gateway_.Serve([p, batches = std::make_shared<int>(0)](const test::GatewayRequest& r) {
      const std::string error =
          "<?xml version=\"1.0\"?><error_response><code>15</code><msg>Remote service error"
          "</msg></error_response>";
      if (r.path == "/taoke/api.php") {
        return Document("<api><app_key>k</app_key><app_sec>s</app_sec></api><TaobaokeItem><cond>" +
                        p.item_cond + "</cond></TaobaokeItem>");
      }
      std::string method = r.params.count("method") ? r.params.at("method") : "";
      if (method == "taobao.taobaoke.items.get") {
        size_t page = std::stoul(r.params.at("page_no"));
        if (static_cast<int>(page) == p.failing_page) return p.page_error;
        size_t first = (page - 1) * 40;
        if (first >= p.nicks.size()) return error;
        std::string items;
        for (size_t i = first; i < p.nicks.size() && i < first + 40; ++i) {
          items += "<i><nick>" + p.nicks[i] + "</nick></i>";
        }
        return Document("<taobaoke_items>" + items +
                        "</taobaoke_items><total_results>1</total_results>");
      }
      if (method == "taobao.users.get") {
        if (++*batches == p.failing_batch) return error;
        std::string users;
        for (size_t i = 0; i < r.params.at("nicks").size(); ++i) {
          if (r.params.at("nicks")[i] == ',') {
            users +=
                "<u><location><city>杭\t州</city><state>浙江</state></location>"
                "<seller_credit><level>6</level></seller_credit></u>";
          }
        }
        return Document("<users>" + users + "</users>");
      }
      if (method == "taobao.shop.get") {
        return p.shop_found ? Document("<shop><sid>7</sid><title>t</title></shop>") : error;
      }
      if (method == "taobao.items.search") {
        if (!p.items_found) return error;
        if (p.items_empty) return Document("<total_results>0</total_results>");
        std::string items;
        for (int i = 1; i <= p.items; ++i) {
          items += "<i><iid>" + std::to_string(i) + "</iid><title>x</title></i>";
        }
        return Document("<item_search><items>" + items +
                        "</items></item_search><total_results>1</total_results>");
      }
      if (method == "taobao.taobaoke.items.convert") {
        if (p.conversions_fail) return error;
        return Document("<taobaoke_items><i><iid>1</iid><click_url>" + p.click +
                        "</click_url></i></taobaoke_items><total_results>1</total_results>");
      }
      if (method == "taobao.taobaoke.shops.convert") {
        return Document("<taobaoke_shops><i><click_url>" + p.click +
                        "</click_url></i></taobaoke_shops>");
      }
      return error;
    });
  }
  test::ProcessResult Cli(const std::vector<std::string>& args,
                          std::map<std::string, std::string> env = {}) {
    env["VENDRIX_VENDOR_BASE"] = gateway_.Base() + "/";
    env["VENDRIX_GATEWAY"] = gateway_.Url();
    return RunProcess(VENDRIX_CLI, args, env);
  }

  test::FakeGateway gateway_;
};

TEST_F(CliScriptedTest, OutcomesSayWhatHappened) {
  std::vector<std::string> many;
  for (int i = 0; i < 41; ++i) many.push_back("s" + std::to_string(i));
  struct Case {
    const char* name;
    Platform platform;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int exit_code;
    std::string out;       // the whole of stdout, or a part of it after "..."
    std::string err_part;  // a part of stderr
  };
  const Case cases[] = {
      {"tabs and line breaks become blanks",
       {.nicks = {"a\tb", "c\nd"}},
       {"search", "--count", "2"},
       {},
       0,
       "a b\t浙江杭 州\t6\nc d\t浙江杭 州\t6\n",
       ""},
      {"a later user batch fails",
       {.nicks = many, .failing_batch = 2},
       {"search", "--count", "41"},
       {},
       0,
       "...s39\t",
       "40 of 41 sellers could be looked up; the user lookup failed for the rest: platform "
       "error 15: Remote service error\n"},
      {"search: the first page is refused",
       {.failing_page = 1,
        .page_error = "<error_response><code>7</code><msg>App Call Limited</msg><sub_msg>"
                      "This ban will last for 12 more seconds</sub_msg></error_response>"},
       {"search"},
       {},
       1,
       "",
       "没有找到相关卖家\nvendrix-cli: page 1 of the affiliate item search failed: platform "
       "error 7: App Call Limited (This ban will last for 12 more seconds)\n"},
      {"search: a later page answers 502",
       {.nicks = many,
        .failing_page = 2,
        .page_error = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 3\r\n\r\nbad"},
       {"search", "--count", "41"},
       {},
       0,
       "...s39\t",
       "vendrix-cli: page 2 of the affiliate item search failed: HTTP/1.1 502 Bad Gateway; the "
       "list holds the 40 sellers found before it\n"},
      {"search: the first user lookup fails",
       {.failing_batch = 1},
       {"search"},
       {},
       1,
       "",
       "user lookup of sellers 1-3 failed: platform error 15: Remote service error"},
      {"categories: the call fails, the built-in table stands in",
       {},
       {"categories"},
       {},
       0,
       "...0\t所有类目\n",
       "the category call failed: platform error 15: Remote service error; these are the "
       "built-in categories\n"},
      {"shop: the item search fails",
       {.items_found = false},
       {"shop", "s0"},
       {},
       1,
       "...<style>",
       "the item search of 's0' failed: platform error 15: Remote service error; the page"},
      {"shop: the shop lookup fails",
       {.shop_found = false},
       {"shop", "s0"},
       {},
       1,
       "...<style>",
       "the shop lookup of 's0' failed"},
      {"shop: the conversion of its items fails",
       {.conversions_fail = true},
       {"shop", "s0"},
       {},
       0,
       "...<div class=\"commission\" id=\"commission-0\">佣金未知</div>",
       "1 of 1 commission conversions failed (platform error 15: Remote service error); the "
       "page shows 佣金未知 for their items\n"},
      {"items: the seller has none",
       {.items_empty = true},
       {"items", "s0"},
       {},
       1,
       "",
       "found no items of seller 's0'"},
      {"items: the conversion fails",
       {.conversions_fail = true},
       {"items", "s0"},
       {},
       1,
       "iid\ttitle\tprice\tcommission_rate\tcommission\tclick_url\n1\tx\t\t\t\t\n",
       "1 of 1 conversions failed (platform error 15: Remote service error); their items are "
       "listed without affiliate fields"},
      {"items: the reply holds more items than asked for",
       {.items = 3},
       {"items", "s0", "--count", "2"},
       {},
       0,
       "iid\ttitle\tprice\tcommission_rate\tcommission\tclick_url\n"
       "1\tx\t\t\t\thttp://click/1\n2\tx\t\t\t\t\n",
       ""},
      {"convert shop: the shop lookup fails, its nick cleaned",
       {.shop_found = false},
       {"convert", "shop", "s0\x1b]0;x\x07"},
       {},
       1,
       "",
       "the shop lookup of 's0 ]0;x ' failed"},
      {"convert: an address that is no web address",
       {.click = "--renderer-cmd-prefix=xcalc"},
       {"convert", "item", "1", "--open"},
       {},
       1,
       "",
       "did not convert item '1'"},
      {"convert: a file address",
       {.click = "file:///etc/passwd"},
       {"convert", "shop", "s0"},
       {},
       1,
       "",
       "did not convert"},
      {"convert --open starts the browser",
       {},
       {"convert", "--open", "item", "1"},
       {{"BROWSER", "true"}},
       0,
       "http://click/1\n",
       ""},
      {"convert --open without a browser",
       {},
       {"convert", "item", "1", "--open"},
       {{"BROWSER", "/no/such/browser"}},
       1,
       "http://click/1\n",
       "no web browser could be started"},
  };
  for (const Case& c : cases) {
    Serve(c.platform);
    auto result = Cli(c.args, c.env);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.name << "\n" << result.err;
    if (c.out.starts_with("...")) {
      EXPECT_NE(result.out.find(c.out.substr(3)), std::string::npos) << c.name << "\n"
                                                                     << result.out;
    } else {
      EXPECT_EQ(result.out, c.out) << c.name;
    }
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << c.name << "\n" << result.err;
  }
}

// A command line that is wrong exits 2 with a usage message before anything is sent.
TEST_F(CliScriptedTest, InvalidValuesAreRefusedBeforeAnythingIsSent) {
  Serve({});
  const std::vector<std::vector<std::string>> cases = {
      {"search", "--count", "abc"},
      {"search", "--count", "-5"},
      {"search", "--count", "0"},
      {"search", "--count", "5.5"},
      {"search", "--count", ""},
      {"search", "--count", "３"},
      {"search", "--count", "121"},
      {"search", "--count", "+5"},
      {"search", "--category", "abc"},
      {"search", "--category", ""},
      {"search", "--region", "😀"},
      {"search", "--commission-rate", "5"},
      {"search", "--commission-rate", "-"},
      {"search", "--commission-rate", "12.5-5"},
      {"search", "--commission-rate", "5.125-"},
      {"search", "--commission-rate", "5.-"},
      {"search", "--commission-rate", "100.01-"},
      {"search", "--commission-rate", "5-2592"},
      {"search", "--price", "10-20-30"},
      {"search", "--price", "1e3-"},
      {"search", "--sort", "PRICE_DESC"},
      {"search", "--sort", ""},
      {"search", "--sort"},
      {"items"},
      {"items", "a", "--count", "201"},
      {"shop", "😀"},
      {"convert", "shop", "a😀"},
      {"convert", "item", "😀"},
      {"call", "taobao.users.get", "nicks=😀,"},
  };
  for (const auto& args : cases) {
    auto result = Cli(args);
    EXPECT_EQ(result.exit_code, 2) << args[0] << " " << args.back();
    EXPECT_NE(result.err.find("vendrix-cli: "), std::string::npos) << args.back();
  }
  EXPECT_EQ(gateway_.RequestCount(), 0u);
  // A category id the loaded table lacks can only be known after start-up.
  EXPECT_EQ(Cli({"search", "--category", "999"}).exit_code, 2);
  EXPECT_EQ(Cli({"search", "--count", "00005"}).exit_code, 0);
  EXPECT_EQ(Cli({"search", "--commission-rate", "0-100"}).exit_code, 0);

  // So can a commission bound that crosses the side of the vendor's configured range the user
  // leaves out: refused, nothing searched, the configured bound named.
  Serve({.item_cond = "<s_rate>500</s_rate><e_rate>2000</e_rate>"});
  const struct {
    const char* rate;
    int exit_code;
    const char* says;  // in the message of a refusal
  } bounds[] = {
      {"30-", 2, "above the configured upper bound of 20%"},
      {"-4.99", 2, "below the configured lower bound of 5%"},
      {"20-", 0, ""},
      {"-5", 0, ""},
      {"30-40", 0, ""},  // both sides the user's own: the configured pair is replaced
      {"1-", 0, ""},
  };
  for (const auto& b : bounds) {
    auto searches = [&] {
      int count = 0;
      for (const auto& request : gateway_.Requests()) {
        count += request.params.count("method") &&
                 request.params.at("method") == "taobao.taobaoke.items.get";
      }
      return count;
    };
    int before = searches();
    auto result = Cli({"search", "--commission-rate", b.rate});
    EXPECT_EQ(result.exit_code, b.exit_code) << b.rate << "\n" << result.err;
    EXPECT_EQ(searches() > before, b.exit_code == 0) << b.rate;
    EXPECT_NE(result.err.find(b.says), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace vendrix
