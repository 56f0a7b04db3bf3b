// The shop finder against a loopback fake platform whose pages each test scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "app/ShopFinder.h"
#include "platform/CodePage.h"
#include "tests/support/FakeGateway.h"

namespace vendrix {
namespace {

using test::FakeGateway;
using test::GatewayRequest;

std::string Document(const std::string& root, const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><" + root + ">" + inner + "</" + root + ">";
}

// A page of affiliate items whose sellers are `nicks`, in that order.
std::string ItemsPage(const std::vector<std::string>& nicks) {
  std::string items;
  for (const std::string& nick : nicks) items += "<taobaoke_item><nick>" + nick + "</nick></taobaoke_item>";
  return Document("taobaoke_items_get_response",
                  (nicks.empty() ? "" : "<taobaoke_items list=\"true\">" + items + "</taobaoke_items>") +
                      "<total_results>" + std::to_string(nicks.size()) + "</total_results>");
}

std::vector<std::string> Sellers(int first, int count) {
  std::vector<std::string> nicks;
  for (int i = first; i < first + count; ++i) nicks.push_back("s" + std::to_string(i));
  return nicks;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
    parts.push_back(list.substr(start, comma - start));
  }
  return parts;
}

class ShopFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gateway_.Serve([this](const GatewayRequest& r) -> std::string {
      if (r.path == "/taoke/api.php") return config_;
      const std::string& method = r.params.count("method") ? r.params.at("method") : "";
      if (method == "taobao.itemcats.get") return cats_;
      if (method == "taobao.taobaoke.items.get") return page_(std::stoi(r.params.at("page_no")));
      if (method == "taobao.users.get") return users_(Split(r.params.at("nicks")));
      if (method == "taobao.shop.get") return shop_(r.params.at("nick"));
      if (method == "taobao.items.search") {
        return Document("items_search_response",
                        "<item_search><items><item><iid>1</iid><title>t</title></item></items>"
                        "</item_search><total_results>1</total_results>");
      }
      if (method == "taobao.taobaoke.items.convert") {
        std::string click = click_(r.params.at("iids"));
        return Document("r",
                        "<total_results>1</total_results><taobaoke_items>" +
                            (click.empty() ? "" : "<i><click_url>" + click + "</click_url></i>") +
                            "</taobaoke_items>");
      }
      if (method == "taobao.taobaoke.shops.convert") {
        std::string click = click_(r.params.at("sids"));
        return Document("r",
                        "<taobaoke_shops>" +
                            (click.empty() ? "" : "<s><click_url>" + click + "</click_url></s>") +
                            "</taobaoke_shops>");
      }
      return Error();
    });
  }

  static std::string Error() {
    return Document("error_response", "<code>41</code><msg>Invalid Arguments</msg>");
  }
  // Users in the order asked, each from 浙江杭州 with the level `levels` gives.
  static std::string UsersReply(const std::vector<std::string>& nicks,
                                const std::function<std::string(const std::string&)>& level) {
    std::string users;
    for (const std::string& nick : nicks) {
      users += "<user><location><city>杭州</city><state>浙江</state></location><seller_credit>"
               "<level>" + level(nick) + "</level></seller_credit></user>";
    }
    return Document("users_get_response", "<users>" + users + "</users>");
  }

  Settings TestSettings() const {
    Settings s;
    s.VendorBase = gateway_.Base() + "/";
    s.Gateway = gateway_.Url();
    s.ShopLogo = "http://logo.test/shop-logo";
    s.RankPics = "http://pics.test/newrank/";
    return s;
  }

  std::unique_ptr<ShopFinder> Started() {
    auto finder = std::make_unique<ShopFinder>(TestSettings());
    finder->StartUp();
    return finder;
  }

  std::vector<GatewayRequest> Calls(const std::string& method) const {
    std::vector<GatewayRequest> calls;
    for (const GatewayRequest& r : gateway_.Requests()) {
      if (r.params.count("method") && r.params.at("method") == method) calls.push_back(r);
    }
    return calls;
  }
  std::vector<int> PagesAsked() const {
    std::vector<int> pages;
    for (const auto& r : Calls("taobao.taobaoke.items.get")) pages.push_back(std::stoi(r.params.at("page_no")));
    return pages;
  }
  std::vector<size_t> BatchSizes() const {
    std::vector<size_t> sizes;
    for (const auto& r : Calls("taobao.users.get")) sizes.push_back(Split(r.params.at("nicks")).size());
    return sizes;
  }
  static std::vector<std::string> Nicks(const SearchOutcome& outcome) {
    std::vector<std::string> nicks;
    for (const SellerRow& row : outcome.rows) nicks.push_back(row.nick);
    return nicks;
  }
  SearchOutcome Search(ShopFinder& finder, int count) {
    SearchChoices choices;
    choices.count = count;
    return finder.RunSearch(choices);
  }

  FakeGateway gateway_;
  std::string config_ = Document("config", "<api><app_key>key</app_key><app_sec>sec</app_sec>"
                                           "<nick>淘客</nick></api>");
  std::string cats_ = Error();
  // The click address the platform gives an item or shop id; empty: it converts nothing.
  std::function<std::string(const std::string&)> click_ = [](const std::string& id) {
    return "http://click/" + id;
  };
  std::function<std::string(int)> page_ = [](int page) { return ItemsPage(Sellers((page - 1) * 40, 40)); };
  std::function<std::string(const std::vector<std::string>&)> users_ =
      [](const std::vector<std::string>& nicks) {
        return UsersReply(nicks, [](const std::string&) { return "6"; });
      };
  std::function<std::string(const std::string&)> shop_ = [](const std::string& nick) {
    return Document("shop_get_response", "<shop><sid>sid-" + nick +
                                             "</sid><title>shop</title><pic_path>/l.jpg</pic_path>"
                                             "</shop>");
  };
};

TEST_F(ShopFinderTest, CountOneEndsAfterTheFirstPage) {
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 1);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(Nicks(outcome), std::vector<std::string>{"s0"});
  EXPECT_EQ(PagesAsked(), std::vector<int>{1});
  EXPECT_EQ(BatchSizes(), std::vector<size_t>{1});
  EXPECT_EQ(Calls("taobao.users.get")[0].params.at("nicks"), "s0,") << "every nick ends with \",\"";
  EXPECT_EQ(outcome.count, 1);
}

TEST_F(ShopFinderTest, CountReachedInsidePageTwo) {
  page_ = [](int page) {
    std::vector<std::string> nicks;
    if (page == 1) {
      for (int i = 0; i < 40; ++i) nicks.push_back("s" + std::to_string(i % 25));  // 25 sellers
    } else if (page == 2) {
      for (int i = 0; i < 40; ++i) {
        nicks.push_back(i % 2 == 0 && i / 2 < 18 ? "s" + std::to_string(25 + i / 2) : "s3");
      }
    }
    return ItemsPage(nicks);
  };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 40);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(Nicks(outcome), Sellers(0, 40));
  EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 2})) << "page 3 is never asked for";
  EXPECT_EQ(BatchSizes(), std::vector<size_t>{40});
  EXPECT_EQ(outcome.count, 40);
}

TEST_F(ShopFinderTest, ASellerMetAgainKeepsItsFirstPlace) {
  page_ = [](int page) {
    return ItemsPage(page == 1 ? std::vector<std::string>{"a", "b", "a", "c"}
                               : std::vector<std::string>{"c", "a", "d", "b", "e"});
  };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 5);
  EXPECT_EQ(Nicks(outcome), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(ShopFinderTest, AFailingLaterPageKeepsTheSellersFound) {
  page_ = [](int page) {
    if (page == 1) return ItemsPage(Sellers(0, 20));
    if (page == 2) return ItemsPage(Sellers(15, 10));
    return Error();
  };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 30);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.rows.size(), 25u);
  EXPECT_EQ(outcome.count, 25) << "the count box shows how many were found";
  EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 2, 3}));
  ASSERT_TRUE(outcome.page_failure) << "the page that ended the list is kept with its reason";
  EXPECT_EQ(outcome.page_failure->page, 3);
  EXPECT_EQ(DescribeFailure(outcome.page_failure->call), "platform error 41: Invalid Arguments");
}

TEST_F(ShopFinderTest, AFailingFirstPageFindsNothing) {
  page_ = [](int) { return std::string("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n"); };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 40);
  EXPECT_FALSE(outcome.found);
  EXPECT_EQ(outcome.count, 40) << "the count box is left alone";
  EXPECT_TRUE(Calls("taobao.users.get").empty());
  ASSERT_TRUE(outcome.page_failure);
  EXPECT_EQ(outcome.page_failure->page, 1);
  EXPECT_EQ(DescribeFailure(outcome.page_failure->call), "HTTP/1.1 502 Bad Gateway");
  EXPECT_FALSE(outcome.lookup_failure);

  // A page that brings nothing is no failure: there is simply nobody.
  page_ = [](int) { return ItemsPage({}); };
  outcome = Search(*finder, 40);
  EXPECT_FALSE(outcome.found);
  EXPECT_FALSE(outcome.page_failure);
}

TEST_F(ShopFinderTest, PagingEndsAtAPageWithoutEntriesAndIsBounded) {
  page_ = [](int page) { return ItemsPage(page == 1 ? Sellers(0, 10) : std::vector<std::string>{}); };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 40);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.rows.size(), 10u);
  EXPECT_EQ(PagesAsked(), (std::vector<int>{1, 2}));

  // A platform that answers every page with the same sellers.
  page_ = [](int) { return ItemsPage(Sellers(0, 5)); };
  outcome = Search(*finder, 40);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.rows.size(), 5u);
  EXPECT_EQ(PagesAsked().size(), 2u + finder_defaults::kMaxPages);
}

TEST_F(ShopFinderTest, UsersAreLookedUpInBatchesOfForty) {
  auto finder = Started();
  ASSERT_TRUE(Search(*finder, 120).found);
  EXPECT_EQ(BatchSizes(), (std::vector<size_t>{40, 40, 40}));
  ASSERT_TRUE(Search(*finder, 41).found);
  EXPECT_EQ(BatchSizes(), (std::vector<size_t>{40, 40, 40, 40, 1}));
}

TEST_F(ShopFinderTest, AFailingLaterBatchKeepsTheEarlierRows) {
  int batch = 0;
  users_ = [&](const std::vector<std::string>& nicks) {
    return ++batch == 2 ? Error() : UsersReply(nicks, [](const std::string&) { return "3"; });
  };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 80);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.rows.size(), 40u);
  EXPECT_EQ(outcome.count, 80) << "the count box keeps its value";
  ASSERT_TRUE(outcome.lookup_failure);
  EXPECT_EQ(outcome.lookup_failure->first_row, 40);
  EXPECT_EQ(outcome.lookup_failure->last_row, 79);
  EXPECT_EQ(outcome.lookup_failure->call.code, 41);

  batch = 1;  // now the first batch of the next search fails
  outcome = Search(*finder, 10);
  EXPECT_FALSE(outcome.found);
  ASSERT_TRUE(outcome.lookup_failure);
  EXPECT_EQ(outcome.lookup_failure->first_row, 0);
}

// The look-ups overlap the paging. Over the same replies, the search sends each method's calls
// in the order, and ends with the rows and the outcome, of the paging followed by the look-ups
// (CollectSellers, then LookUpSellers); only how the two methods' calls interleave may differ.
TEST_F(ShopFinderTest, OverlappedLookUpsSendTheSameCallsAndGiveTheSameRows) {
  auto fails_with = [](const std::string& nick) {
    return [nick](const std::vector<std::string>& nicks) {
      bool fail = std::find(nicks.begin(), nicks.end(), nick) != nicks.end();
      return fail ? Error() : UsersReply(nicks, [](const std::string& n) {
        return std::to_string(1 + n.size() % 20);
      });
    };
  };
  auto pages_until = [](int last_good, int per_page) {
    return [=](int page) {
      return page <= last_good ? ItemsPage(Sellers((page - 1) * per_page, per_page)) : Error();
    };
  };
  struct Case {
    const char* name;
    int count;
    std::function<std::string(int)> page;
    std::function<std::string(const std::vector<std::string>&)> users;
    int rows;  // rows shown; -1: the search finds nothing
  };
  const Case cases[] = {
      {"three full batches", 120, pages_until(9, 40), fails_with("none"), 120},
      {"a page fails after 80", 120, pages_until(2, 40), fails_with("none"), 80},
      {"41 sellers: a batch and one", 41, pages_until(9, 40), fails_with("none"), 41},
      {"the first batch fails", 120, pages_until(9, 40), fails_with("s0"), -1},
      {"the second batch fails", 120, pages_until(9, 40), fails_with("s40"), 40},
      {"the last, partial batch fails", 100, pages_until(9, 40), fails_with("s80"), 80},
      {"a page without entries after 55", 120,
       [](int page) {
         return ItemsPage(page == 1   ? Sellers(0, 40)
                          : page == 2 ? Sellers(40, 15)
                                      : std::vector<std::string>{});
       },
       fails_with("none"), 55},
      {"the first page fails", 40, pages_until(0, 40), fails_with("none"), -1},
  };
  // The search as first built: all the paging, then the look-ups.
  auto sequential = [](ShopFinder& finder, int count) {
    SearchOutcome outcome;
    outcome.count = count;
    SearchChoices choices;
    choices.count = count;
    if (!finder.CollectSellers(choices, count)) return outcome;
    outcome.count = count;
    if (!finder.LookUpSellers(count)) return outcome;
    outcome.rows = finder.FillList(count);
    outcome.found = true;
    return outcome;
  };
  auto rows = [](const SearchOutcome& outcome) {
    std::vector<std::string> text;
    for (const SellerRow& r : outcome.rows) {
      text.push_back(r.nick + "|" + r.location + "|" + std::to_string(r.level) + "|" +
                     std::to_string(r.picture));
    }
    return text;
  };
  std::mutex mutex;
  std::condition_variable changed;
  bool looked_up = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    struct Run {
      SearchOutcome outcome;
      std::map<std::string, std::vector<std::string>> calls;  // per method, in the order sent
      int lookups_before_last_page = 0;
    } runs[2];
    for (bool overlap : {false, true}) {
      looked_up = false;
      users_ = [&](const std::vector<std::string>& nicks) {
        {
          std::lock_guard lock(mutex);
          looked_up = true;
        }
        changed.notify_all();
        return c.users(nicks);
      };
      // With 120 wanted, the first batch is known after page 1 and page 3 is asked for only
      // once page 2 is answered. Page 2 waits (a bounded time) for the first look-up to
      // arrive, so that the overlap checked below does not depend on how the threads run.
      page_ = [&, gate = overlap && c.count == finder_defaults::kMaxCount](int page) {
        if (gate && page == 2) {
          std::unique_lock lock(mutex);
          changed.wait_for(lock, std::chrono::seconds(5), [&] { return looked_up; });
        }
        return c.page(page);
      };
      auto finder = Started();
      size_t before = gateway_.RequestCount();
      Run& run = runs[overlap];
      run.outcome = overlap ? Search(*finder, c.count) : sequential(*finder, c.count);
      std::vector<GatewayRequest> requests = gateway_.Requests();
      int lookups = 0;
      for (size_t i = before; i < requests.size(); ++i) {
        std::map<std::string, std::string> params = requests[i].params;
        // The look-ups' timestamps come from the clock, and their signatures with them.
        params.erase("timestamp");
        params.erase("sign");
        std::string call;
        for (const auto& [name, value] : params) call += name + "=" + value + "&";
        const std::string& method = requests[i].params.at("method");
        run.calls[method].push_back(call);
        if (method == "taobao.users.get") ++lookups;
        if (method == "taobao.taobaoke.items.get") run.lookups_before_last_page = lookups;
      }
    }
    EXPECT_EQ(runs[1].calls, runs[0].calls);
    EXPECT_EQ(runs[1].outcome.found, runs[0].outcome.found);
    EXPECT_EQ(runs[1].outcome.count, runs[0].outcome.count);
    EXPECT_EQ(rows(runs[1].outcome), rows(runs[0].outcome));
    EXPECT_EQ(runs[0].outcome.found, c.rows >= 0);
    EXPECT_EQ(runs[0].outcome.rows.size(), static_cast<size_t>(std::max(c.rows, 0)));
    if (c.count == finder_defaults::kMaxCount) {
      EXPECT_GE(runs[1].lookups_before_last_page, 1) << "no look-up went out during the paging";
    }
  }
}

TEST_F(ShopFinderTest, LocationsLevelsAndBadges) {
  users_ = [](const std::vector<std::string>& nicks) {
    std::string users;
    const char* levels[] = {"6", "abc", "25", "0", "20", "-1", ""};
    for (size_t i = 0; i < nicks.size() && i < 7; ++i) {
      bool same = i == 1;  // city and state both 上海
      users += std::string("<user><location><city>") + (same ? "上海" : "杭州") +
               "</city><state>" + (same ? "上海" : "浙江") + "</state></location>"
               "<seller_credit><level>" + levels[i] + "</level></seller_credit></user>";
    }
    return Document("users_get_response", "<users>" + users + "</users>");  // 7 of 10 users
  };
  auto finder = Started();
  SearchOutcome outcome = Search(*finder, 10);
  ASSERT_TRUE(outcome.found);
  ASSERT_EQ(outcome.rows.size(), 10u) << "a row without a valid level still shows, unpictured";
  EXPECT_EQ(GbkToUtf8(outcome.rows[0].location), "浙江杭州");
  EXPECT_EQ(GbkToUtf8(outcome.rows[1].location), "上海");
  EXPECT_EQ(outcome.rows[0].picture, 5) << "level 6 (1diamond) is picture 5";
  EXPECT_EQ(finder->Sellers()[0].credit_pic_url, "http://pics.test/newrank/s_blue_1.gif");
  for (size_t i : {1u, 2u, 3u, 5u, 6u, 8u}) {
    EXPECT_EQ(outcome.rows[i].picture, -1) << i;
    EXPECT_EQ(outcome.rows[i].level, 0) << i;
    EXPECT_EQ(finder->Sellers()[i].credit_pic_url, "") << i;
  }
  EXPECT_EQ(outcome.rows[4].picture, 19);
  EXPECT_EQ(outcome.rows[8].location, "") << "fewer users than nicks: the rest stay empty";

  // Users that carry their nicks are matched by nick: here the reply runs backwards, s1 is
  // missing, and s3's user has no nick, which counts as missing too.
  users_ = [](const std::vector<std::string>& nicks) {
    std::string users;
    for (size_t i = nicks.size(); i-- > 0;) {
      if (i == 1) continue;
      std::string nick = i == 3 ? "" : "<nick>" + nicks[i] + "</nick>";
      users += "<user>" + nick + "<location><city>c" + std::to_string(i) +
               "</city><state>p</state></location><seller_credit><level>" +
               std::to_string(i + 1) + "</level></seller_credit></user>";
    }
    return Document("users_get_response", "<users>" + users + "</users>");
  };
  outcome = Search(*finder, 4);
  ASSERT_EQ(outcome.rows.size(), 4u);
  std::string rows;
  for (const SellerRow& row : outcome.rows) {
    rows += row.nick + ":" + row.location + ":" + std::to_string(row.level) + " ";
  }
  EXPECT_EQ(rows, "s0:pc0:1 s1::0 s2:pc2:3 s3::0 ");
}

// The user's bound replaces the configured one on the side given; the other side, and every
// search without filters, keeps what the configuration set.
TEST_F(ShopFinderTest, FiltersGoInTheirSlotsOverTheConfiguredBounds) {
  config_ = Document("config", "<api><app_key>key</app_key><app_sec>sec</app_sec></api>"
                               "<TaobaokeItem><cond><s_rate>100</s_rate><e_rate>2000</e_rate>"
                               "</cond></TaobaokeItem>");
  auto finder = Started();
  auto sent = [&](const SearchFilters& filters) {
    SearchChoices choices;
    choices.count = 1;
    choices.filters = filters;
    finder->RunSearch(choices);
    std::map<std::string, std::string> params = Calls("taobao.taobaoke.items.get").back().params;
    std::string slots;
    for (const char* slot : {"keyword", "start_commissionRate", "end_commissionRate",
                             "start_price", "end_price", "sort"}) {
      slots += std::string(slot) + "=" + (params.count(slot) ? params.at(slot) : "-") + " ";
    }
    return slots;
  };
  const std::string configured =
      "keyword=- start_commissionRate=100 end_commissionRate=2000 start_price=- end_price=- "
      "sort=- ";
  EXPECT_EQ(sent({}), configured);
  EXPECT_EQ(sent({.keyword = Utf8ToGbk("包邮"), .commission_low = "500", .price_high = "99.5",
                  .sort = "price_asc"}),
            "keyword=包邮 start_commissionRate=500 end_commissionRate=2000 start_price=- "
            "end_price=99.5 sort=price_asc ");
  EXPECT_EQ(sent({.commission_high = "1250", .price_low = "10"}),
            "keyword=- start_commissionRate=100 end_commissionRate=1250 start_price=10 "
            "end_price=- sort=- ");
  EXPECT_EQ(sent({}), configured) << "a search without filters sends what it always sent";

  std::string low, high;
  EXPECT_TRUE(ParseCommissionRange("5-12.5", low, high));
  EXPECT_EQ(low + "/" + high, "500/1250");
  EXPECT_TRUE(ParseCommissionRange("-0.05", low, high));
  EXPECT_EQ(low + "/" + high, "/5");
  EXPECT_EQ(CommissionRangeText("500", "1250"), "5-12.5");
}

TEST_F(ShopFinderTest, RegionAndCreditValuesSent) {
  auto finder = Started();
  const std::vector<Region>& regions = Regions();
  auto area_sent = [&](int region) {
    SearchChoices choices;
    choices.count = 1;
    choices.region = region;
    choices.region_text = regions[static_cast<size_t>(region)].item;
    finder->RunSearch(choices);
    auto params = Calls("taobao.taobaoke.items.get").back().params;
    return params.count("area") ? params.at("area") : std::string("<none>");
  };
  EXPECT_EQ(area_sent(0), "<none>");
  EXPECT_EQ(area_sent(1), "江苏,浙江,上海");
  EXPECT_EQ(area_sent(4), "美国,英国,法国,瑞士,澳洲,新西兰,加拿大,奥地利,韩国,日本,德国,意大利,"
                          "西班牙,俄罗斯,泰国,印度,荷兰,新加坡,其它国家");
  EXPECT_EQ(area_sent(8), "杭州");

  SearchChoices swapped;
  swapped.count = 1;
  swapped.low_credit = 14;  // 5crown
  swapped.high_credit = 6;  // 2diamond
  ShopFinder::OrderCreditRange(swapped.low_credit, swapped.high_credit);
  finder->RunSearch(swapped);
  auto params = Calls("taobao.taobaoke.items.get").back().params;
  EXPECT_EQ(params.at("start_credit"), "2diamond");
  EXPECT_EQ(params.at("end_credit"), "5crown");
  EXPECT_EQ(params.at("nick"), "淘客");
  EXPECT_EQ(params.at("cid"), "0");
  EXPECT_EQ(params.count("page_size"), 0u) << "the platform's page size applies";
  EXPECT_EQ(params.at("fields"), "err,err,nick,err,err,err,err,err,err,err");
  EXPECT_EQ(Calls("taobao.users.get").back().params.at("fields"),
            "err,nick,location.city,location.state,err,created,err,buyer_credit,seller_credit");
}

TEST_F(ShopFinderTest, CountTextIsClampedAndNonNumbersCountAsOne) {
  EXPECT_EQ(ShopFinder::ClampCount("40"), 40);
  EXPECT_EQ(ShopFinder::ClampCount("0"), 1);
  EXPECT_EQ(ShopFinder::ClampCount("-5"), 1);
  EXPECT_EQ(ShopFinder::ClampCount("121"), 120);
  EXPECT_EQ(ShopFinder::ClampCount("99999999999"), 120);
  EXPECT_EQ(ShopFinder::ClampCount("abc"), 1);
  EXPECT_EQ(ShopFinder::ClampCount(" 7 "), 7);
  EXPECT_EQ(ShopFinder::ClampCount("00005"), 5) << "leading zeros do not make it large";
  EXPECT_EQ(ShopFinder::ClampCount("000000000120"), 120);
  EXPECT_EQ(ShopFinder::ClampCount("0000"), 1);
}

TEST_F(ShopFinderTest, UnreachableConfigurationSkipsStartUpAndEverySearchFails) {
  Settings settings = TestSettings();
  settings.VendorBase = "http://127.0.0.1:1/";
  ShopFinder finder(settings);
  EXPECT_FALSE(finder.StartUp());
  EXPECT_EQ(finder.Cats()[0].name, "") << "no categories at all";
  EXPECT_EQ(finder.DefaultNick(), "quillfern01");
  EXPECT_EQ(finder.KeItemCond.nick, "") << "the nick is not copied";
  EXPECT_FALSE(Search(finder, 40).found);
  EXPECT_EQ(gateway_.RequestCount(), 0u) << "the search is refused before any traffic";
}

// Start-up runs again, as after the own account was saved: with the document gone and a pair
// of the user's own, nothing of the first run's document is left.
TEST_F(ShopFinderTest, StartUpRunsAgainAfresh) {
  config_ = Document("config", "<api><app_key>key</app_key><app_sec>sec</app_sec>"
                               "<nick>docnick</nick></api><TaobaokeItem><cond><s_rate>100</s_rate>"
                               "</cond></TaobaokeItem>");
  auto finder = Started();
  ASSERT_TRUE(finder->StartedUp());
  config_ = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
  ::setenv("VENDRIX_APP_KEY", "ownkey", 1);
  ::setenv("VENDRIX_APP_SECRET", "ownsecret", 1);
  bool again = finder->StartUp();
  ::unsetenv("VENDRIX_APP_KEY");
  ::unsetenv("VENDRIX_APP_SECRET");
  EXPECT_TRUE(again);
  EXPECT_FALSE(finder->ConfigLoaded());
  EXPECT_EQ(finder->Credentials().key_source, CredentialSource::kEnvironment);
  EXPECT_EQ(finder->DefaultNick(), "quillfern01") << "the gone document's nick does not linger";
  SearchChoices choices;
  choices.count = 1;
  finder->RunSearch(choices);
  std::map<std::string, std::string> sent = Calls("taobao.taobaoke.items.get").back().params;
  EXPECT_EQ(sent.at("app_key"), "ownkey");
  EXPECT_EQ(sent.at("nick"), "quillfern01");
  EXPECT_EQ(sent.count("start_commissionRate"), 0u) << "nor do its bounds";
}

TEST_F(ShopFinderTest, ConfigurationWithoutCredentialsFallsBackToTheBuiltInCategories) {
  config_ = Document("config", "<api/>");
  auto finder = Started();
  EXPECT_TRUE(finder->ConfigLoaded());
  EXPECT_EQ(finder->DefaultNick(), "quillfern01") << "an empty nick keeps the default";
  EXPECT_EQ(GbkToUtf8(finder->Cats()[14].name), "MP3/MP4/iPod/录音笔");
  EXPECT_EQ(finder->Cats()[54].cid, "50014811");
  EXPECT_EQ(finder->Cats()[55].name, "");
  EXPECT_FALSE(Search(*finder, 40).found);
  EXPECT_TRUE(Calls("taobao.itemcats.get").empty()) << "refused for lack of credentials";
  EXPECT_TRUE(Calls("taobao.taobaoke.items.get").empty());
}

TEST_F(ShopFinderTest, CategoryReplyLosesExcludedNamesAndStopsAtSixtyFour) {
  std::string list = "<item_cat><cid>1</cid><name>腾讯QQ专区</name></item_cat>"
                     "<item_cat><cid>2</cid><name>女装</name></item_cat>"
                     "<item_cat><cid>3</cid><name>网络游戏点卡</name></item_cat>"
                     "<item_cat><cid>4</cid><name>男装</name></item_cat>";
  cats_ = Document("itemcats_get_response", "<item_cats>" + list + "</item_cats>");
  auto finder = Started();
  EXPECT_EQ(GbkToUtf8(finder->Cats()[0].name), "所有类目");
  EXPECT_EQ(finder->Cats()[0].cid, "0");
  EXPECT_EQ(GbkToUtf8(finder->Cats()[1].name), "女装");
  EXPECT_EQ(GbkToUtf8(finder->Cats()[2].name), "男装");
  EXPECT_EQ(finder->Cats()[3].name, "");

  list.clear();
  for (int i = 0; i < 70; ++i) {
    list += "<item_cat><cid>" + std::to_string(100 + i) + "</cid><name>c" + std::to_string(i) +
            "</name></item_cat>";
  }
  cats_ = Document("itemcats_get_response", "<item_cats>" + list + "</item_cats>");
  finder = Started();
  EXPECT_EQ(finder->Cats()[63].name, "c62") << "63 categories after the first entry";
}

TEST_F(ShopFinderTest, ShopPageLoadsTheShopOnceAndTheItemsEveryTime) {
  int shop_calls = 0;
  shop_ = [&](const std::string& nick) {
    if (++shop_calls == 1) return Error();  // the first lookup fails: tried again next time
    // Seller s1's shop has no picture path, and so no logo.
    std::string path = nick == "s1" ? "" : "<pic_path>/a/b.jpg</pic_path>";
    return Document("shop_get_response",
                    "<shop><sid>sid-" + nick + "</sid><title>t</title>" + path + "</shop>");
  };
  auto finder = Started();
  ASSERT_TRUE(Search(*finder, 3).found);
  EXPECT_FALSE(finder->LoadShopItems(0));
  EXPECT_TRUE(Calls("taobao.items.search").empty());
  EXPECT_TRUE(finder->LoadShopItems(0));
  EXPECT_TRUE(finder->LoadShopItems(0));
  EXPECT_EQ(shop_calls, 2);
  ASSERT_EQ(Calls("taobao.items.search").size(), 2u);
  EXPECT_EQ(Calls("taobao.items.search")[0].params.at("page_size"), "60");
  EXPECT_EQ(Calls("taobao.items.search")[0].params.at("nicks"), "s0");
  const Info& row = finder->Sellers()[0];
  EXPECT_EQ(row.sid, "sid-s0");
  EXPECT_EQ(row.logo_url, "http://logo.test/shop-logo/a/b.jpg");
  ASSERT_TRUE(finder->LoadShop(1));
  EXPECT_EQ(finder->Sellers()[1].logo_url, "") << "not the bare logo host";
  EXPECT_NE(finder->BuildShopPage(0).find("http://pics.test/newrank/s_blue_1.gif"),
            std::string::npos);
}

TEST_F(ShopFinderTest, LinksConvertExactlyTheItemOrTheSelectedRowsShop) {
  auto finder = Started();
  ASSERT_TRUE(Search(*finder, 3).found);
  std::vector<std::string> opened;
  auto open = [&](const std::string& address) {
    opened.push_back(address);
    return true;
  };

  EXPECT_TRUE(finder->OpenItemLink("5000000123", open));
  auto convert = Calls("taobao.taobaoke.items.convert").back().params;
  EXPECT_EQ(convert.at("iids"), "5000000123");
  EXPECT_EQ(convert.at("nick"), "淘客");

  EXPECT_FALSE(finder->OpenShopLink(1, open)) << "no shop lookup yet: no shop id to convert";
  EXPECT_TRUE(Calls("taobao.taobaoke.shops.convert").empty());
  ASSERT_TRUE(finder->LoadShop(1));
  EXPECT_TRUE(finder->OpenShopLink(1, open));
  EXPECT_EQ(Calls("taobao.taobaoke.shops.convert").back().params.at("sids"), "sid-s1");
  EXPECT_EQ(opened, (std::vector<std::string>{"http://click/5000000123", "http://click/sid-s1"}));
  EXPECT_FALSE(finder->OpenShopLink(500, open)) << "no such row";

  // A reply that names its items opens the one asked for, whatever its place, or nothing.
  gateway_.ServeBody(Document("r", "<total_results>2</total_results><taobaoke_items>"
                                   "<i><iid>7</iid><click_url>http://click/7</click_url></i>"
                                   "<i><iid>8</iid><click_url>http://click/8</click_url></i>"
                                   "</taobaoke_items>"));
  opened.clear();
  EXPECT_TRUE(finder->OpenItemLink("8", open));
  EXPECT_FALSE(finder->OpenItemLink("9", open));
  EXPECT_EQ(opened, (std::vector<std::string>{"http://click/8"}));
}

// A page's items go out 50 ids a call, the calls all at once on connections of their own; each
// reply, in its own order and without the items it does not convert, is matched by id.
TEST_F(ShopFinderTest, PageItemsConvertFiftyIdsACallAllAtOnce) {
  auto finder = Started();
  std::vector<std::string> iids;
  for (int i = 0; i < 120; ++i) iids.push_back(std::to_string(9000 + i));
  iids.push_back("9003");  // shown twice, asked once
  PageCommissions page(iids);

  std::mutex mutex;
  std::condition_variable all_in;
  int in_flight = 0;
  int most_in_flight = 0;
  gateway_.Serve([&](const GatewayRequest& r) -> std::string {
    if (r.path == "/taoke/api.php") return config_;
    std::vector<std::string> asked = Split(r.params.at("iids") + ",");
    {
      // Each call waits (a while at most) until all three are under way together.
      std::unique_lock lock(mutex);
      most_in_flight = std::max(most_in_flight, ++in_flight);
      all_in.notify_all();
      all_in.wait_for(lock, std::chrono::seconds(5), [&] { return most_in_flight == 3; });
      --in_flight;
    }
    if (asked[0] == "9100") return Error();  // the third call is refused
    std::string items;
    for (size_t k = asked.size(); k-- > 0;) {
      if (std::stoi(asked[k]) % 10 == 7) continue;  // not converted
      items += "<i><iid>" + asked[k] + "</iid><commission_rate>" + asked[k] +
               "</commission_rate><commission>1.00</commission><click_url>http://click/" +
               asked[k] + "</click_url></i>";
    }
    return Document("r", "<total_results>" + std::to_string(asked.size()) +
                             "</total_results><taobaoke_items>" + items + "</taobaoke_items>");
  });
  int connections = gateway_.ConnectionCount();
  std::vector<CommissionBatch> batches = ConvertPageItems(*finder, page);

  std::vector<std::string> sent;
  for (const GatewayRequest& r : Calls("taobao.taobaoke.items.convert")) {
    sent.push_back(r.params.at("iids"));
    EXPECT_LE(Split(r.params.at("iids") + ",").size(), 50u);
    EXPECT_EQ(r.params.at("nick"), "淘客");
  }
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(most_in_flight, 3) << "the calls went one after the other";
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_TRUE(batches[0].ok && batches[1].ok && !batches[2].ok);
  EXPECT_EQ(batches[2].failure.kind, CallFailure::kPlatform);
  EXPECT_EQ(gateway_.ConnectionCount() - connections, 3) << "a connection each";

  EXPECT_TRUE(page.Settled());
  EXPECT_EQ(page.At(0).click_url, "http://click/9000");
  EXPECT_EQ(page.At(99).commission_rate, "9099") << "matched by id, not by the reply's order";
  EXPECT_EQ(page.At(7).state, ItemCommission::kNone);
  EXPECT_EQ(page.At(100).state, ItemCommission::kFailed);
  EXPECT_EQ(page.At(120).click_url, "http://click/9003") << "an id shown twice";
}

// Only an http(s) address this very conversion wrote is ever handed on: not an earlier
// shop's row left in the table, not an option for the browser, not a local file.
TEST_F(ShopFinderTest, OnlyAWebAddressThisConversionWroteIsOpened) {
  auto finder = Started();
  ASSERT_TRUE(Search(*finder, 3).found);
  ASSERT_TRUE(finder->LoadShop(0));
  ASSERT_TRUE(finder->LoadShop(1));
  std::vector<std::string> opened;
  auto open = [&](const std::string& address) {
    opened.push_back(address);
    return true;
  };
  ASSERT_TRUE(finder->OpenShopLink(0, open));
  click_ = [](const std::string&) { return ""; };
  EXPECT_FALSE(finder->OpenShopLink(1, open))
      << "shop 1 not converted: shop 0's row stays unopened";
  EXPECT_FALSE(finder->OpenItemLink("7", open));
  for (const char* bad : {"--renderer-cmd-prefix=xcalc", "file:///etc/passwd", "javascript:x",
                          "http://", "http://a b", "http://a\nb", "ftp://x/"}) {
    click_ = [&](const std::string&) { return std::string(bad); };
    EXPECT_FALSE(finder->OpenItemLink("7", open)) << bad;
    EXPECT_FALSE(finder->OpenShopLink(1, open)) << bad;
  }
  click_ = [](const std::string&) { return "HTTPS://click/x"; };
  EXPECT_TRUE(finder->OpenItemLink("7", open));
  EXPECT_EQ(opened, (std::vector<std::string>{"http://click/sid-s0", "HTTPS://click/x"}));
}

}  // namespace
}  // namespace vendrix
