// The sandbox as the platform: it checks requests independently of the client and refuses
// what the platform refuses, and its marketplace and replies hold what the client relies on.
#include "sandbox/Sandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <set>

#include "api/ApiFrame.h"
#include "api/MD5.h"
#include "api/TaobaoCats.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "config/XMLData.h"
#include "platform/CodePage.h"
#include "platform/CookieStore.h"
#include "platform/IdHTTP.h"
#include "platform/XmlDocument.h"
#include "sandbox/ConfigDocument.h"
#include "sandbox/Pictures.h"

namespace vendrix::sandbox {
namespace {

using Params = std::map<std::string, std::string>;

// A request address signed the way the platform checks it: every parameter in ascending order.
std::string SignedUrl(const std::string& base, const Params& params,
                      const std::string& secret = sandbox_credentials::kAppSecret) {
  SignedRequest request(secret, "app_key", params.count("app_key") ? params.at("app_key") : "");
  for (const auto& [name, value] : params) {
    if (name != "app_key") request.Add(name, value, ValueForm::kEncoded);
  }
  return request.Address(base + "router/rest", "sign");
}

// The timestamp of Beijing time `offset` seconds from now.
std::string BeijingStamp(int64_t offset = 0) {
  std::time_t when = std::time(nullptr) + api_defaults::kPlatformUtcOffset + offset;
  std::tm time{};
  gmtime_r(&when, &time);
  return FormatTimestamp(time);
}

Params Call(const std::string& method, Params extra) {
  Params params = {{"app_key", sandbox_credentials::kAppKey},
                   {"method", method},
                   {"v", "2.0"},
                   {"format", "xml"},
                   {"sign_method", "md5"},
                   {"timestamp", BeijingStamp()}};
  for (auto& [name, value] : extra) params[name] = value;
  return params;
}

class SandboxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = new Sandbox(SandboxOptions{.seed = 7});
    sandbox_->Start();
  }
  static void TearDownTestSuite() {
    delete sandbox_;
    sandbox_ = nullptr;
  }

  // The reply document of `url`; the code of an error reply in `code` (0 for a result).
  XmlNode Fetch(const std::string& url, int& code) {
    doc_.LoadFromText(http_.Get(url));
    XmlNode root = doc_.Root();
    code = root.Name() == "error_response" ? std::stoi(root.Child("code").Text()) : 0;
    return root;
  }
  int ErrorOf(const Params& params, const std::string& secret = sandbox_credentials::kAppSecret) {
    int code = -1;
    Fetch(SignedUrl(sandbox_->Base(), params, secret), code);
    return code;
  }

  static Sandbox* sandbox_;
  TIdHTTP http_;
  XmlDocument doc_;
};
Sandbox* SandboxTest::sandbox_ = nullptr;

TEST(SandboxSignatureTest, PublishedExample) {
  Params params = {{"app_key", "test"},       {"fields", "nick"},
                   {"format", "xml"},         {"method", "taobao.user.seller.get"},
                   {"session", "test"},       {"sign_method", "md5"},
                   {"timestamp", "2013-05-06 13:52:03"}, {"v", "2.0"},
                   {"sign", "ignored"}};
  EXPECT_EQ(PlatformSignature(params, "test"), "72CB4D809B375A54502C09360D879C64");
}

TEST(SandboxQueryTest, DecodesOneAndTwoDigitEscapes) {
  Params params = DecodeQuery("a=%61%A%62&b=&c&%6E=x&d=%E4%B8%AD&e=a,b.c");
  EXPECT_EQ(params["a"], "a\nb");
  EXPECT_EQ(params["b"], "");
  EXPECT_EQ(params.count("c"), 1u);
  EXPECT_EQ(params["n"], "x");
  EXPECT_EQ(params["d"], "中");
  EXPECT_EQ(params["e"], "a,b.c");
}

TEST_F(SandboxTest, RefusesWhatThePlatformRefuses) {
  Params good = Call("taobao.itemcats.get", {{"fields", "cid,name"}, {"parent_cid", "0"}});
  EXPECT_EQ(ErrorOf(good), 0);
  EXPECT_EQ(ErrorOf(good, "wrong secret"), 25);

  // A value changed after signing.
  std::string url = SignedUrl(sandbox_->Base(), good);
  std::string tampered = url;
  tampered.replace(tampered.find("parent_cid=%30"), 14, "parent_cid=%31");
  int code = 0;
  Fetch(tampered, code);
  EXPECT_EQ(code, 25);
  Fetch(url.substr(0, url.find("&sign=")), code);
  EXPECT_EQ(code, 25) << "no signature at all";

  Params unknown_key = good;
  unknown_key["app_key"] = "99999999";
  EXPECT_EQ(ErrorOf(unknown_key), 29);
  EXPECT_EQ(ErrorOf(Call("taobao.no.such", {{"fields", "x"}})), 22);
  EXPECT_EQ(ErrorOf(Call("taobao.users.get", {{"fields", "nick"}})), 40) << "no nicks";
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.get", {{"fields", "nick"}, {"cid", "16"}})), 40)
      << "no affiliate nick";
  Params no_timestamp = good;
  no_timestamp.erase("timestamp");
  EXPECT_EQ(ErrorOf(no_timestamp), 40);
  // The timestamp is Beijing time, ten minutes either way; the machine's own time in another
  // zone (here eight hours behind, as on a machine set to UTC) is refused, and so is
  // anything that is not a timestamp. Only the affiliate item search's fixed value passes,
  // and only on that method.
  struct Stamp {
    std::string method;
    std::string timestamp;
    int code;
  };
  const Params affiliate = {{"fields", "nick"}, {"cid", "16"}, {"nick", "a"}};
  const Stamp stamps[] = {
      {"taobao.itemcats.get", BeijingStamp(-540), 0},
      {"taobao.itemcats.get", BeijingStamp(540), 0},
      {"taobao.itemcats.get", BeijingStamp(-660), 31},
      {"taobao.itemcats.get", BeijingStamp(660), 31},
      {"taobao.itemcats.get", BeijingStamp(-8 * 3600), 31},
      {"taobao.itemcats.get", "2010-01-26 12:29:01", 31},
      {"taobao.taobaoke.items.get", "2010-01-26 12:29:01", 0},
      {"taobao.taobaoke.items.get", "2010-01-26 12:29:02", 31},
      {"taobao.taobaoke.items.get", BeijingStamp(), 0},
      {"taobao.itemcats.get", BeijingStamp().substr(0, 16), 31},
      {"taobao.itemcats.get", "1700000000", 31},
      {"taobao.itemcats.get", "2025-02-30 10:00:00", 31},
  };
  for (const Stamp& stamp : stamps) {
    Params params = stamp.method == "taobao.itemcats.get" ? good : Call(stamp.method, affiliate);
    params["timestamp"] = stamp.timestamp;
    EXPECT_EQ(ErrorOf(params), stamp.code) << stamp.method << " at " << stamp.timestamp;
  }
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.get", {{"fields", "nick"}, {"cid", "16"},
                                                       {"nick", "a"}, {"page_size", "401"}})),
            41);
  EXPECT_EQ(ErrorOf(Call("taobao.items.search", {{"fields", "iid"}, {"cid", "16"},
                                                 {"page_size", "201"}})),
            41);
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.get", {{"fields", "nick"}, {"cid", "16"},
                                                       {"nick", "a"},
                                                       {"start_credit", "6heart"}})),
            41);
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.get",
                         {{"fields", "nick"}, {"cid", "16"}, {"nick", "a"}, {"sort", "random"}})),
            41);
  std::string fifty, fifty_one;
  for (int i = 0; i < 51; ++i) (i < 50 ? fifty : fifty_one) += std::to_string(i + 1) + ",";
  fifty_one = fifty + fifty_one;
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.convert",
                         {{"fields", "click_url"}, {"nick", "a"}, {"iids", fifty}})),
            0);
  EXPECT_EQ(ErrorOf(Call("taobao.taobaoke.items.convert",
                         {{"fields", "click_url"}, {"nick", "a"}, {"iids", fifty_one}})),
            41)
      << "at most 50 ids a call";
}

TEST_F(SandboxTest, MarketplaceIsLargeVariedAndTheSameForASeed) {
  const Marketplace& market = sandbox_->Market();
  EXPECT_GE(market.Sellers().size(), 2000u);
  EXPECT_GE(market.Items().size(), 50000u);
  std::set<int> levels;
  std::set<std::string> places;
  int ascii = 0, with_logo = 0, over_sixty = 0;
  for (const Seller& s : market.Sellers()) {
    levels.insert(s.level);
    places.insert(s.state);
    places.insert(s.city);
    ascii += static_cast<unsigned char>(s.nick[0]) < 0x80;
    with_logo += !s.pic_path.empty();
    over_sixty += s.items.size() > 60;
  }
  EXPECT_EQ(levels.size(), 20u);
  for (const char* region : {"北京", "杭州", "东莞", "中山", "惠州", "澳门", "台湾", "西藏",
                             "美国", "其它国家", "内蒙古", "江苏"}) {
    EXPECT_TRUE(places.count(region)) << region;
  }
  EXPECT_GT(ascii, 100);
  EXPECT_LT(with_logo, static_cast<int>(market.Sellers().size())) << "some shops have no logo";
  EXPECT_GT(over_sixty, 10) << "some shops list more than a page shows";
  int low = 0;
  for (const Seller& s : market.Sellers()) low += s.level <= 5;
  EXPECT_GT(low, static_cast<int>(market.Sellers().size()) / 3) << "weighted to low levels";

  Marketplace again = Marketplace::Generate(7);
  ASSERT_EQ(again.Items().size(), market.Items().size());
  EXPECT_EQ(again.Items()[1234].title, market.Items()[1234].title);
  EXPECT_EQ(again.Sellers()[99].nick, market.Sellers()[99].nick);
  Marketplace other = Marketplace::Generate(8);
  EXPECT_NE(other.Sellers()[99].nick, market.Sellers()[99].nick);
}

TEST_F(SandboxTest, AffiliateItemFiltersHoldForEveryItemAndPagesKeepTheirSize) {
  const Marketplace& market = sandbox_->Market();
  struct Case {
    Params filter;
    int low, high;
    std::set<std::string> area;
  };
  const Case cases[] = {
      {{{"cid", "16"}, {"start_credit", "1diamond"}, {"end_credit", "2crown"}}, 6, 12, {}},
      {{{"cid", "0"}, {"area", "江苏,浙江,上海"}}, 1, 20, {"江苏", "浙江", "上海"}},
      {{{"cid", "0"}, {"area", "杭州"}, {"start_credit", "5heart"}, {"end_credit", "5heart"}},
       5, 5, {"杭州"}},
  };
  for (const Case& c : cases) {
    Params params = Call("taobao.taobaoke.items.get", c.filter);
    params["fields"] = "iid,nick";
    params["nick"] = "aff";
    size_t seen = 0;
    for (int page = 1; page <= 3; ++page) {
      params["page_no"] = std::to_string(page);
      params["page_size"] = "100";
      int code = 0;
      XmlNode root = Fetch(SignedUrl(sandbox_->Base(), params), code);
      ASSERT_EQ(code, 0);
      XmlNode list = root.FindChild("taobaoke_items");
      if (list.IsNull()) break;
      ASSERT_LE(list.ChildCount(), 100u);
      for (size_t i = 0; i < list.ChildCount(); ++i) {
        const Seller* s = market.SellerByNick(list.ChildAt(i).Child("nick").Text());
        ASSERT_NE(s, nullptr);
        EXPECT_GE(s->level, c.low);
        EXPECT_LE(s->level, c.high);
        if (!c.area.empty()) {
          EXPECT_TRUE(c.area.count(s->state) || c.area.count(s->city));
        }
        EXPECT_EQ(list.ChildAt(i).FindChild("title").IsNull(), true) << "only asked fields";
        ++seen;
      }
    }
    EXPECT_GT(seen, 0u);
  }

  // Without a page size the platform sends 40.
  Params plain = Call("taobao.taobaoke.items.get", {{"cid", "0"}, {"nick", "aff"}});
  plain["fields"] = "nick";
  int code = 0;
  EXPECT_EQ(Fetch(SignedUrl(sandbox_->Base(), plain), code).Child("taobaoke_items").ChildCount(),
            40u);
  // Beyond the last page: the total, and no list.
  plain["page_no"] = "9999";
  XmlNode empty = Fetch(SignedUrl(sandbox_->Base(), plain), code);
  EXPECT_TRUE(empty.FindChild("taobaoke_items").IsNull());
  EXPECT_NE(empty.Child("total_results").Text(), "0");
}

TEST_F(SandboxTest, KeywordMatchesAreHighlighted) {
  Params params = Call("taobao.taobaoke.items.get",
                       {{"keyword", "正品"}, {"nick", "aff"}, {"fields", "title"}});
  int code = 0;
  XmlNode root = Fetch(SignedUrl(sandbox_->Base(), params), code);
  XmlNode list = root.Child("taobaoke_items");
  ASSERT_GT(list.ChildCount(), 0u);
  EXPECT_NE(list.ChildAt(0).Child("title").Text().find("<span class=H>正品</span>"),
            std::string::npos);
}

// Every component against the sandbox, with the records TXMLData fills from its configuration.
void RunAllComponents(Sandbox& sandbox,
                      const std::string& expected_key = sandbox_credentials::kAppKey) {
  TXMLData data;
  std::string key, secret;
  ASSERT_TRUE(data.LoadApi(sandbox.Base() + "taoke/api.php", key, secret));
  EXPECT_EQ(key, expected_key);
  std::string nick;
  data.ReadNick(nick);
  EXPECT_EQ(GbkToUtf8(nick), sandbox_credentials::kAffiliateNick);
  std::string gateway = sandbox.Base() + "router/rest";

  TaobaoCatsConditions cc{.app_key = key, .app_sec = secret};
  TaobaoCatsInfo cb;
  TaobaoCatsName cn{.http = gateway};
  TaobaoCatsXML cx;
  data.ReadTaobaoCats(cc, cb, cn, cx);
  TTaobaoCats cats;
  const ATaobaoCatsInfo* categories = nullptr;
  ASSERT_TRUE(cats.Execute(cc, cb, cn, cx, categories));
  EXPECT_EQ(GbkToUtf8((*categories)[0].name), "数码相机/摄像机/摄影器材");

  TaobaokeItemConditions ic{.cid = "16", .nick = nick, .app_key = key, .app_sec = secret,
                            .start_credit = "1heart", .end_credit = "5goldencrown"};
  TaobaokeItemInfo ib;
  TaobaokeItemName in{.http = gateway};
  TaobaokeItemXML ix;
  data.ReadTaobaokeItem(ic, ib, in, ix);
  TTaobaokeItem items;
  const ATaobaokeItemInfo* found = nullptr;
  ASSERT_TRUE(items.Execute(ic, ib, in, ix, found));
  std::string seller = (*found)[0].nick;
  ASSERT_FALSE(seller.empty());
  EXPECT_EQ((*found)[40].nick, "") << "40 a page by default";

  TaobaoUsersConditions uc{.nicks = seller + ",", .app_key = key, .app_sec = secret};
  TaobaoUsersInfo ub;
  TaobaoUsersName un{.http = gateway};
  TaobaoUsersXML ux;
  data.ReadTaobaoUsers(uc, ub, un, ux);
  TTaobaoUsers users;
  const ATaobaoUsersInfo* people = nullptr;
  ASSERT_TRUE(users.Execute(uc, ub, un, ux, people));
  const Seller* expected = sandbox.Market().SellerByNick(GbkToUtf8(seller));
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(GbkToUtf8((*people)[0].city), expected->city);
  EXPECT_EQ((*people)[0].seller_credit.level, std::to_string(expected->level));

  TaobaoShopConditions sc{.nick = seller, .app_key = key, .app_sec = secret};
  TaobaoShopInfo sb;
  TaobaoShopName sn{.http = gateway};
  TaobaoShopXML sx;
  data.ReadTaobaoShop(sc, sb, sn, sx);
  TTaobaoShop shop;
  const TaobaoShopInfo* record = nullptr;
  ASSERT_TRUE(shop.Execute(sc, sb, sn, sx, record));
  EXPECT_EQ(record->sid, expected->sid);
  EXPECT_EQ(GbkToUtf8(record->title), expected->shop_title);

  TaobaoSearchConditions qc{.nicks = seller, .app_key = key, .app_sec = secret,
                            .page_size = "60"};
  TaobaoSearchInfo qb;
  TaobaoSearchName qn{.http = gateway};
  TaobaoSearchXML qx;
  data.ReadTaobaoSearch(qc, qb, qn, qx);
  TTaobaoSearch search;
  PTaobaoSearchInfo shop_items;
  ASSERT_TRUE(search.Execute(qc, qb, qn, qx, shop_items));
  EXPECT_EQ((*shop_items)[0].iid, sandbox.Market().Items()[expected->items[0]].iid);
  EXPECT_NE((*shop_items)[0].pic_url.find("/bao/"), std::string::npos);

  TaobaokeShopConditions kc{.nick = nick, .sids = record->sid, .app_key = key,
                            .app_sec = secret};
  TaobaokeShopInfo kb;
  TaobaokeShopName kn{.http = gateway};
  TaobaokeShopXML kx;
  data.ReadTaobaokeShop(kc, kb, kn, kx);
  TTaobaokeShop shops;
  const ATaobaokeShopInfo* click = nullptr;
  ASSERT_TRUE(shops.Execute(kc, kb, kn, kx, click));
  EXPECT_NE((*click)[0].click_url.find("click?kind=shop&sid=" + record->sid), std::string::npos);

  TaobaokeConvertConditions vc{.iids = (*shop_items)[0].iid, .nick = nick, .app_key = key,
                               .app_sec = secret};
  TaobaokeConvertInfo vb;
  TaobaokeConvertName vn{.http = gateway};
  TaobaokeConvertXML vx;
  data.ReadTaobaokeConvert(vc, vb, vn, vx);
  TTaobaokeConvert convert;
  const ATaobaokeConvertInfo* converted = nullptr;
  ASSERT_TRUE(convert.Execute(vc, vb, vn, vx, converted));
  EXPECT_NE((*converted)[0].click_url.find("iid=" + (*shop_items)[0].iid), std::string::npos);
}

TEST_F(SandboxTest, EveryComponentWorksAgainstIt) { RunAllComponents(*sandbox_); }

TEST(SandboxRenamedTest, RenamedNamesAndGbkRepliesWorkEndToEnd) {
  Sandbox sandbox(SandboxOptions{.seed = 3, .gbk = true, .renamed = true});
  sandbox.Start();
  RunAllComponents(sandbox);

  // The gateway really speaks the renamed names: the platform's own are refused.
  TIdHTTP http;
  XmlDocument doc;
  Params params = Call("taobao.users.get", {{"fields", "nick"}, {"nicks", "a,"}});
  doc.LoadFromText(http.Get(SignedUrl(sandbox.Base(), params)));
  EXPECT_EQ(doc.Root().Child("code").Text(), "40");
}

// The pair and the clock it is told: the configuration hands out that pair and the gateway
// accepts only it, every reply is dated by that clock, and a client whose clock is off by more
// than ten minutes from it is refused with code 31, the reply telling by how much.
TEST(SandboxOptionsTest, ServesItsOwnPairAndKeepsItsOwnTime) {
  Sandbox sandbox(SandboxOptions{.seed = 3, .app_key = "30000002", .app_secret = "other secret",
                                 .clock_offset = 840});
  sandbox.Start();
  TaobaoCatsConditions cond{.app_key = "30000002", .app_sec = "other secret"};
  TaobaoCatsName name{.http = sandbox.Base() + "router/rest"};
  TTaobaoCats cats;
  const ATaobaoCatsInfo* table = nullptr;
  ASSERT_FALSE(cats.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(cats.LastFailure().code, 31) << DescribeFailure(cats.LastFailure());
  ASSERT_TRUE(cats.LastFailure().clock_offset.has_value());
  EXPECT_NEAR(static_cast<double>(*cats.LastFailure().clock_offset), -840, 5);

  int64_t server_time = 0;
  ASSERT_TRUE(ParseCookieDate(cats.Http().ResponseDate(), server_time))
      << cats.Http().ResponseDate();
  EXPECT_NEAR(static_cast<double>(server_time - std::time(nullptr)), 840, 5);

  cats.SetClock([] {
    std::time_t when = std::time(nullptr) + api_defaults::kPlatformUtcOffset + 840;
    std::tm time{};
    gmtime_r(&when, &time);
    return time;
  });
  EXPECT_TRUE(cats.Execute(cond, {}, name, {}, table)) << DescribeFailure(cats.LastFailure());
  cond.app_sec = sandbox_credentials::kAppSecret;
  EXPECT_FALSE(cats.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(cats.LastFailure().code, 25);
  cond.app_key = sandbox_credentials::kAppKey;
  EXPECT_FALSE(cats.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(cats.LastFailure().code, 29);

  Sandbox right_on_time(SandboxOptions{.seed = 3, .app_key = "30000002",
                                       .app_secret = "other secret"});
  right_on_time.Start();
  RunAllComponents(right_on_time, "30000002");
}

TEST(SandboxFaultTest, EachFaultAtAboutItsRateAndTheServerKeepsServing) {
  SandboxOptions options{.seed = 11};
  std::string problem;
  ASSERT_TRUE(FaultRates::Parse("drop=0.1,error=0.05,garbage=0.05,sign=0.05,slow=0.01",
                                options.faults, problem));
  Sandbox sandbox(options);
  sandbox.Start();
  TTaobaoCats cats;
  cats.Http().SetReadTimeout(300);  // a slow reply is simply given up on
  TaobaoCatsConditions cond{.app_key = sandbox_credentials::kAppKey,
                            .app_sec = sandbox_credentials::kAppSecret};
  TaobaoCatsName name{.http = sandbox.Base() + "router/rest"};
  const int calls = 1000;
  int succeeded = 0;
  for (int i = 0; i < calls; ++i) {
    const ATaobaoCatsInfo* table = nullptr;
    succeeded += cats.Execute(cond, {}, name, {}, table);
  }
  Sandbox::Counts counts = sandbox.Faults();
  EXPECT_EQ(counts.gateway, calls);
  auto near = [&](int count, double rate) {
    EXPECT_NEAR(count, rate * calls, 4 * std::sqrt(rate * calls)) << "rate " << rate;
  };
  near(counts.drop, 0.1);
  near(counts.error, 0.05);
  near(counts.garbage, 0.05);
  near(counts.sign, 0.05);
  near(counts.slow, 0.01);
  EXPECT_EQ(succeeded, calls - counts.drop - counts.error - counts.garbage - counts.sign -
                           counts.slow);

  std::string bad;
  FaultRates rates;
  EXPECT_FALSE(FaultRates::Parse("drop=2", rates, bad));
  EXPECT_FALSE(FaultRates::Parse("explode=0.1", rates, bad));
  EXPECT_FALSE(FaultRates::Parse("drop=0.7,error=0.7", rates, bad));
}

TEST(SandboxLatencyTest, DelaysEveryGatewayReply) {
  Sandbox sandbox(SandboxOptions{.seed = 1, .latency_ms = 150});
  sandbox.Start();
  TIdHTTP http;
  Params params = Call("taobao.itemcats.get", {{"fields", "cid"}, {"parent_cid", "0"}});
  auto start = std::chrono::steady_clock::now();
  http.Get(SignedUrl(sandbox.Base(), params));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
}

TEST_F(SandboxTest, ServesPicturesClicksAndTheConfiguration) {
  for (std::string badge :
       {"b_red_1.gif", "b_red_5.gif", "s_blue_3.gif", "s_cap_4.gif", "s_crown_5.gif"}) {
    std::string png = http_.Get(sandbox_->Base() + "newrank/" + badge);
    ASSERT_TRUE(png.starts_with("\x89PNG")) << badge;
  }
  EXPECT_THROW(http_.Get(sandbox_->Base() + "newrank/b_red_6.gif"), EIdHTTPProtocolException);
  std::string item = http_.Get(sandbox_->Base() + "bao/uploaded/i1/T1x.jpg_160x160.jpg");
  EXPECT_EQ(item.substr(16, 8), std::string("\0\0\0\xA0\0\0\0\xA0", 8)) << "160 x 160";
  EXPECT_TRUE(http_.Get(sandbox_->Base() + "shop-logo/ab/cd/T1.jpg").starts_with("\x89PNG"));
  EXPECT_TRUE(http_.Get(sandbox_->Base() + "taoke/shop.gif").starts_with("\x89PNG"));

  const Item& first = sandbox_->Market().Items()[0];
  std::string page = http_.Get(sandbox_->Base() + "click?kind=item&iid=" + first.iid +
                               "&nick=%E6%B7%98%E5%AE%A2");
  EXPECT_NE(page.find(first.iid), std::string::npos);
  EXPECT_NE(page.find("淘客"), std::string::npos);

  doc_.LoadFromText(http_.Get(sandbox_->Base() + "taoke/api.php"));
  EXPECT_EQ(doc_.Root().Child("api").Child("app_key").Text(), sandbox_credentials::kAppKey);
}

}  // namespace
}  // namespace vendrix::sandbox
