// Each component's walk over replies served from a loopback gateway.
#include <gtest/gtest.h>

#include "api/TaobaoCats.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "platform/CodePage.h"
#include "tests/support/FakeGateway.h"

namespace vendrix {
namespace {

using test::FakeGateway;

constexpr const char* kHostComment = "<!--top010025222001.cm3-->";

std::string Reply(const std::string& root, const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\" ?><" + root + ">" + inner + "</" + root + ">" +
         kHostComment;
}

std::string Repeat(int count, const std::function<std::string(int)>& make) {
  std::string out;
  for (int i = 0; i < count; ++i) out += make(i);
  return out;
}

class WalkTest : public ::testing::Test {
 protected:
  // Conditions with credentials and the gateway in place.
  template <typename Component>
  std::pair<typename Component::ConditionsType, typename Component::NameType> Records() {
    typename Component::ConditionsType cond;
    cond.app_key = "12345678";
    cond.app_sec = "secret";
    typename Component::NameType name;
    name.http = gateway_.Url();
    return {cond, name};
  }

  FakeGateway gateway_;
};

TEST_F(WalkTest, CategoriesFillRowsInReplyOrderUpTo101) {
  TTaobaoCats cats;
  auto [cond, name] = Records<TTaobaoCats>();
  const ATaobaoCatsInfo* table = nullptr;

  gateway_.ServeBody(Reply("itemcats_get_response",
                           "<item_cats list=\"true\"><item_cat><cid>14</cid><name>数码相机</name>"
                           "<is_parent>true</is_parent></item_cat>"
                           "<other><cid>16</cid><name>女装</name><sort_order>2</sort_order></other>"
                           "</item_cats>"));
  ASSERT_TRUE(cats.Execute(cond, {}, name, {}, table));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ((*table)[0].cid, "14");
  EXPECT_EQ((*table)[0].name, Utf8ToGbk("数码相机"));
  EXPECT_EQ((*table)[0].sort_order, "") << "a missing element reads empty";
  EXPECT_EQ((*table)[1].name, Utf8ToGbk("女装")) << "items are taken by position";
  EXPECT_EQ((*table)[2].name, "");
  EXPECT_EQ(gateway_.Requests()[0].params.at("parent_cid"), "0");

  gateway_.ServeBody(Reply("itemcats_get_response",
                           "<item_cats>" + Repeat(150, [](int i) {
                             return "<item_cat><cid>" + std::to_string(i) + "</cid><name>c" +
                                    std::to_string(i) + "</name></item_cat>";
                           }) + "</item_cats>"));
  ASSERT_TRUE(cats.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(table->back().cid, "100");
  EXPECT_EQ(cats.RowsWritten(), 101u);

  gateway_.ServeBody(Reply("itemcats_get_response", "<item_cats/>"));
  ASSERT_TRUE(cats.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].cid, "") << "an empty list clears the table";
}

TEST_F(WalkTest, RefusedAndBrokenRepliesFailWithoutTouchingTheTable) {
  TTaobaoUsers users;
  auto [cond, name] = Records<TTaobaoUsers>();
  cond.nicks = "a,";
  const ATaobaoUsersInfo* table = nullptr;
  gateway_.ServeBody(Reply("users_get_response", "<users><user><nick>a</nick></user></users>"));
  ASSERT_TRUE(users.Execute(cond, {}, name, {}, table));
  const ATaobaoUsersInfo* first = table;

  for (const std::string& body :
       {Reply("error_response", "<code>25</code><msg>Invalid Signature</msg>"),
        Reply("users_get_response", "<total_results>0</total_results>"), std::string("<oops"),
        std::string("")}) {
    gateway_.ServeBody(body);
    table = nullptr;
    EXPECT_FALSE(users.Execute(cond, {}, name, {}, table)) << body;
    EXPECT_EQ(table, nullptr) << "the out-parameter is left alone";
    EXPECT_EQ((*first)[0].nick, "a") << "the table is untouched: " << body;
  }

  // Refused before any traffic: no credentials, or no nicks.
  size_t before = gateway_.RequestCount();
  auto no_credentials = cond;
  no_credentials.app_key = no_credentials.app_sec = "";
  EXPECT_FALSE(users.Execute(no_credentials, {}, name, {}, table));
  auto no_nicks = cond;
  no_nicks.nicks = "";
  EXPECT_FALSE(users.Execute(no_nicks, {}, name, {}, table));
  EXPECT_EQ(gateway_.RequestCount(), before);
}

TEST_F(WalkTest, UsersReadLocationAndBothCreditBlocksWithTheBuyerNames) {
  TTaobaoUsers users;
  auto [cond, name] = Records<TTaobaoUsers>();
  cond.nicks = Utf8ToGbk("卖家甲,卖家乙,");
  TaobaoUsersInfo back;
  back.sex = back.nick = back.user_id = back.last_visit = "err";
  back.buyer_credit.level = "grade";
  back.seller_credit.level = "ignored";  // the seller block is read with the buyer names
  gateway_.ServeBody(Reply(
      "users_get_response",
      "<users list=\"true\"><user><nick>x</nick><location><city>杭州</city><state>浙江</state>"
      "</location><buyer_credit><grade>3</grade><score>40</score></buyer_credit>"
      "<seller_credit><grade>6</grade><level>1</level><good_num>99</good_num></seller_credit>"
      "</user><user><location><city>上海</city><state>上海</state></location></user></users>"));
  const ATaobaoUsersInfo* table = nullptr;
  ASSERT_TRUE(users.Execute(cond, back, name, {}, table));
  const TaobaoUsersInfo& row = (*table)[0];
  EXPECT_EQ(row.nick, "") << "\"err\" names an element the reply does not have";
  EXPECT_EQ(row.city, Utf8ToGbk("杭州"));
  EXPECT_EQ(row.state, Utf8ToGbk("浙江"));
  EXPECT_EQ(row.buyer_credit.level, "3");
  EXPECT_EQ(row.buyer_credit.score, "40");
  EXPECT_EQ(row.seller_credit.level, "6");
  EXPECT_EQ(row.seller_credit.good_num, "99");
  EXPECT_EQ((*table)[1].city, Utf8ToGbk("上海"));
  EXPECT_EQ((*table)[1].seller_credit.level, "") << "a missing block reads empty";
  EXPECT_EQ((*table)[2].city, "") << "fewer users than nicks: the rest stay empty";

  auto request = gateway_.Requests().back();
  EXPECT_EQ(request.params.at("nicks"), "卖家甲,卖家乙,") << "sent as UTF-8";
  EXPECT_EQ(request.params.at("fields"),
            "err,err,location.city,location.state,err,created,err,buyer_credit,seller_credit");

  // More users than the table has rows: 41 are kept.
  gateway_.ServeBody(Reply("users_get_response",
                           "<users>" + Repeat(50, [](int i) {
                             return "<user><nick>u" + std::to_string(i) + "</nick></user>";
                           }) + "</users>"));
  ASSERT_TRUE(users.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(table->back().nick, "u40");
}

TEST_F(WalkTest, AnElementHoldingMoreThanTextFailsPartWay) {
  TTaobaokeItem items;
  auto [cond, name] = Records<TTaobaokeItem>();
  cond.nick = "n";
  cond.cid = "14";
  gateway_.ServeBody(Reply("taobaoke_items_get_response",
                           "<taobaoke_items>" + Repeat(30, [](int i) {
                             return "<taobaoke_item><nick>s" + std::to_string(i) +
                                    "</nick></taobaoke_item>";
                           }) + "</taobaoke_items><total_results>30</total_results>"));
  const ATaobaokeItemInfo* table = nullptr;
  ASSERT_TRUE(items.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[29].nick, "s29");
  EXPECT_EQ((*table)[29].total_results, "30");

  gateway_.ServeBody(Reply("taobaoke_items_get_response",
                           "<total_results>3</total_results><taobaoke_items>"
                           "<i><nick>a</nick></i><i><nick>b</nick></i>"
                           "<i><nick>c<b>bold</b></nick></i></taobaoke_items>"));
  const ATaobaokeItemInfo* kept = table;
  table = nullptr;
  EXPECT_FALSE(items.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(table, nullptr);
  // The table was cleared and holds the rows read before the failure.
  EXPECT_EQ((*kept)[0].nick, "a");
  EXPECT_EQ((*kept)[1].nick, "b");
  EXPECT_EQ((*kept)[2].nick, "");
  EXPECT_EQ((*kept)[29].nick, "");

  gateway_.ServeBody(Reply("taobaoke_items_get_response", "<total_results>0</total_results>"));
  ASSERT_TRUE(items.Execute(cond, {}, name, {}, table)) << "an empty result is a success";
  EXPECT_EQ((*table)[0].nick, "");
}

TEST_F(WalkTest, AffiliateItemTitlesLoseTheirHighlightTags) {
  TTaobaokeItem items;
  auto [cond, name] = Records<TTaobaokeItem>();
  cond.nick = "n";
  cond.keyword = Utf8ToGbk("连衣裙");
  gateway_.ServeBody(Reply(
      "taobaoke_items_get_response",
      "<taobaoke_items list=\"true\"><taobaoke_item><iid>123456789012</iid><nick>s</nick>"
      "<title>&lt;span class=H&gt;连衣裙&lt;/span&gt;夏季 &lt;span class=H&gt;新款&lt;/span&gt;"
      "</title><click_url>http://s.click/t?e=1</click_url></taobaoke_item></taobaoke_items>"
      "<total_results>1</total_results>"));
  const ATaobaokeItemInfo* table = nullptr;
  ASSERT_TRUE(items.Execute(cond, {}, name, {}, table));
  EXPECT_EQ(GbkToUtf8((*table)[0].title), "连衣裙夏季 新款");
  EXPECT_EQ((*table)[0].iid, "123456789012") << "ids beyond 32 bits stay text";
  EXPECT_EQ(gateway_.Requests().back().params.at("timestamp"), "2010-01-26 12:29:01");
}

TEST_F(WalkTest, ShopRecordReadsOnlyNamedDescriptionAndKeepsEarlierValues) {
  TTaobaoShop shop;
  auto [cond, name] = Records<TTaobaoShop>();
  cond.nick = "seller";
  gateway_.ServeBody(Reply("shop_get_response",
                           "<shop><sid>101</sid><title>好店</title><desc>about</desc>"
                           "<bulletin>news</bulletin></shop>"));
  const TaobaoShopInfo* record = nullptr;
  ASSERT_TRUE(shop.Execute(cond, {}, name, {}, record));
  EXPECT_EQ(record->sid, "101");
  EXPECT_EQ(record->title, Utf8ToGbk("好店"));
  EXPECT_EQ(record->pic_path, "");
  EXPECT_EQ(record->desc, "") << "no element name, not read";

  TaobaoShopInfo back;
  back.desc = "desc";
  ASSERT_TRUE(shop.Execute(cond, back, name, {}, record));
  EXPECT_EQ(record->desc, "about");
  EXPECT_EQ(record->bulletin, "");

  gateway_.ServeBody(Reply("shop_get_response", "<shop><sid>102</sid></shop>"));
  ASSERT_TRUE(shop.Execute(cond, {}, name, {}, record));
  EXPECT_EQ(record->sid, "102");
  EXPECT_EQ(record->desc, "about") << "the record is not cleared between calls";
}

TEST_F(WalkTest, AffiliateShopTableKeepsOldRows) {
  TTaobaokeShop convert;
  auto [cond, name] = Records<TTaobaokeShop>();
  cond.nick = "n";
  cond.sids = "101";
  gateway_.ServeBody(Reply("taobaoke_shops_convert_response",
                           "<taobaoke_shops><taobaoke_shop><click_url>u1</click_url>"
                           "<shop_title>t1</shop_title></taobaoke_shop><taobaoke_shop>"
                           "<click_url>u2</click_url></taobaoke_shop></taobaoke_shops>"));
  const ATaobaokeShopInfo* table = nullptr;
  ASSERT_TRUE(convert.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[1].click_url, "u2");

  gateway_.ServeBody(Reply("taobaoke_shops_convert_response",
                           "<taobaoke_shops><s><click_url>v1</click_url></s></taobaoke_shops>"));
  ASSERT_TRUE(convert.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].click_url, "v1");
  EXPECT_EQ((*table)[0].commission_rate, "");
  EXPECT_EQ((*table)[1].click_url, "u2") << "a row this reply did not write keeps its value";

  gateway_.ServeBody(Reply("taobaoke_shops_convert_response", "<taobaoke_shops/>"));
  ASSERT_TRUE(convert.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].click_url, "v1");
}

TEST_F(WalkTest, ItemSearchRowsHoldItemsAndCategoriesByPosition) {
  TTaobaoSearch search;
  auto [cond, name] = Records<TTaobaoSearch>();
  cond.nicks = "seller";
  cond.page_size = "60";
  auto items_reply = [](int items, int categories, const std::string& tag) {
    return Reply("items_search_response",
                 "<item_search><items list=\"true\">" + Repeat(items, [&](int i) {
                   return "<item><iid>" + tag + std::to_string(i) +
                          "</iid><title>&lt;span class=H&gt;t&lt;/span&gt;" +
                          std::to_string(i) +
                          "</title><location><city>杭州</city><state>浙江</state></location>"
                          "<pic_url>http://img/p" + std::to_string(i) + ".jpg</pic_url></item>";
                 }) + "</items><item_categories>" + Repeat(categories, [](int j) {
                   return "<item_category><category_id>" + std::to_string(50 + j) +
                          "</category_id><count>" + std::to_string(j + 1) +
                          "</count></item_category>";
                 }) + "</item_categories></item_search><total_results>" +
                     std::to_string(items) + "</total_results>");
  };

  gateway_.ServeBody(items_reply(60, 3, "a"));
  PTaobaoSearchInfo first;
  ASSERT_TRUE(search.Execute(cond, {}, name, {}, first));
  ASSERT_EQ(first->size(), 201u);
  EXPECT_EQ((*first)[59].iid, "a59");
  EXPECT_EQ((*first)[0].title, "t0");
  EXPECT_EQ((*first)[0].city, Utf8ToGbk("杭州"));
  EXPECT_EQ((*first)[2].category_id, "52");
  EXPECT_EQ((*first)[3].category_id, "");
  EXPECT_EQ((*first)[59].total, "60");
  EXPECT_EQ((*first)[60].iid, "");
  EXPECT_EQ((*first)[60].total, "") << "empty rows carry no total";
  EXPECT_EQ(gateway_.Requests().back().params.at("page_size"), "60");

  gateway_.ServeBody(items_reply(2, 5, "b"));
  PTaobaoSearchInfo second;
  ASSERT_TRUE(search.Execute(cond, {}, name, {}, second));
  EXPECT_EQ((*second)[1].iid, "b1");
  EXPECT_EQ((*second)[4].iid, "") << "a category-only row";
  EXPECT_EQ((*second)[4].count, "5");
  EXPECT_EQ((*second)[4].total, "");
  EXPECT_EQ((*first)[0].iid, "a0") << "the earlier array is never written again";

  gateway_.ServeBody(items_reply(250, 0, "c"));
  PTaobaoSearchInfo many;
  ASSERT_TRUE(search.Execute(cond, {}, name, {}, many));
  EXPECT_EQ(many->back().iid, "c200");

  gateway_.ServeBody(Reply("error_response", "<code>41</code>"));
  PTaobaoSearchInfo failed = first;
  EXPECT_FALSE(search.Execute(cond, {}, name, {}, failed));
  EXPECT_EQ(failed, nullptr) << "a failed call hands out nothing";

  auto nothing = cond;
  nothing.nicks = "";
  EXPECT_FALSE(search.Execute(nothing, {}, name, {}, failed));
}

TEST_F(WalkTest, ItemConversionLoadsThroughTheDocumentAndDoesNotStripTitles) {
  TTaobaokeConvert convert;
  auto [cond, name] = Records<TTaobaokeConvert>();
  cond.nick = Utf8ToGbk("淘客");
  cond.iids = "11,22";
  gateway_.ServeBody(Reply("taobaoke_items_convert_response",
                           "<taobaoke_items><taobaoke_item><iid>11</iid><title>&lt;b&gt;x</title>"
                           "<click_url>http://s.click/1</click_url></taobaoke_item><taobaoke_item>"
                           "<iid>22</iid><click_url>http://s.click/2</click_url></taobaoke_item>"
                           "</taobaoke_items><total_results>2</total_results>"));
  const ATaobaokeConvertInfo* table = nullptr;
  ASSERT_TRUE(convert.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].click_url, "http://s.click/1");
  EXPECT_EQ((*table)[1].click_url, "http://s.click/2");
  EXPECT_EQ((*table)[0].title, "<b>x");
  auto request = gateway_.Requests().back();
  EXPECT_EQ(request.params.at("iids"), "11,22");
  EXPECT_EQ(request.params.at("nick"), "淘客");
  EXPECT_EQ(convert.Http().ReadTimeout(), 15000);

  gateway_.ServeBody(Reply("taobaoke_items_convert_response", "<total_results>0</total_results>"));
  ASSERT_TRUE(convert.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].click_url, "");
  EXPECT_EQ((*table)[1].click_url, "") << "a later reply with fewer items clears the rest";
}

TEST_F(WalkTest, EveryGatewayWaitIsBounded) {
  // None of the components may wait for ever on a gateway that stops answering.
  TTaobaoCats cats;
  TTaobaoUsers users;
  TTaobaoShop shop;
  TTaobaokeShop shops;
  TTaobaoSearch search;
  TTaobaokeItem items;
  TTaobaokeConvert convert;
  for (TApiComponent* c : std::initializer_list<TApiComponent*>{&cats, &users, &shop, &shops,
                                                                &search, &items, &convert}) {
    EXPECT_EQ(c->Http().ReadTimeout(), 15000);
  }
}

TEST_F(WalkTest, EachCallReParsesItsOwnReply) {
  TTaobaoUsers users;
  auto [cond, name] = Records<TTaobaoUsers>();
  gateway_.Serve([](const test::GatewayRequest& request) {
    return Reply("users_get_response",
                 "<users><user><nick>" + request.params.at("nicks") + "</nick></user></users>");
  });
  const ATaobaoUsersInfo* table = nullptr;
  cond.nicks = "first,";
  ASSERT_TRUE(users.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].nick, "first,");
  cond.nicks = "second,";
  ASSERT_TRUE(users.Execute(cond, {}, name, {}, table));
  EXPECT_EQ((*table)[0].nick, "second,");
  EXPECT_EQ(gateway_.ConnectionCount(), 1) << "one connection serves the component's calls";
}

}  // namespace
}  // namespace vendrix
