// TXMLData's Read operations on small inline configuration documents.
#include <gtest/gtest.h>

#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

class XMLDataReadTest : public ::testing::Test {
 protected:
  void Load(const std::string& document) { data_.Document().LoadFromText(document); }
  TXMLData data_;
};

TEST_F(XMLDataReadTest, NothingChangesWithoutALoadedDocument) {
  TaobaokeItemConditions cond;
  cond.method = "caller";
  TaobaokeItemInfo back;
  back.title = "err";
  TaobaokeItemName name;
  TaobaokeItemXML xml;
  xml.taobaoke_items = "mine";
  data_.ReadTaobaokeItem(cond, back, name, xml);
  EXPECT_EQ(cond.method, "caller");
  EXPECT_EQ(back.title, "err");
  EXPECT_EQ(xml.taobaoke_items, "mine");
}

TEST_F(XMLDataReadTest, PresentSubsectionsOverwriteEveryListedField) {
  Load("<config><TaobaokeItem><cond><method>taobao.taobaoke.items.get</method>"
       "<s_num>10</s_num></cond><back><title>title</title></back>"
       "<name><cid>category</cid><time>ts</time><guarantee>g</guarantee><http>http://gw/x</http>"
       "<s_credit>low</s_credit></name><xmlname><taobaoke_items>list</taobaoke_items></xmlname>"
       "</TaobaokeItem></config>");
  TaobaokeItemConditions cond;
  cond.v = "3.0";
  cond.nick = "affiliate";
  cond.app_key = "key";
  TaobaokeItemInfo back;
  back.iid = back.title = back.nick = "err";
  TaobaokeItemName name;
  TaobaokeItemXML xml;
  data_.ReadTaobaokeItem(cond, back, name, xml);

  EXPECT_EQ(cond.method, "taobao.taobaoke.items.get");
  EXPECT_EQ(cond.start_commissionNum, "10");
  EXPECT_EQ(cond.v, "") << "a listed element missing from a present sub-section empties";
  EXPECT_EQ(cond.nick, "affiliate") << "values the caller owns are never filled";
  EXPECT_EQ(cond.app_key, "key");
  EXPECT_EQ(back.title, "title");
  EXPECT_EQ(back.iid, "") << "the preset \"err\" is overwritten too";
  EXPECT_EQ(name.cid, "category");
  EXPECT_EQ(name.timestamp, "ts");
  EXPECT_EQ(name.is_guarantee, "g");
  EXPECT_EQ(name.start_credit, "low");
  EXPECT_EQ(name.http, "http://gw/x");
  EXPECT_EQ(xml.taobaoke_items, "list");
  EXPECT_EQ(xml.total_results, "") << "xmlname is read without a presence test";
}

TEST_F(XMLDataReadTest, AbsentSectionsAndSubsectionsLeaveRecordsAlone) {
  Load("<config><TaobaoUsers><name><nicks>n</nicks></name></TaobaoUsers></config>");
  TaobaoUsersConditions cond;
  cond.method = "kept";
  TaobaoUsersInfo back;
  back.sex = back.nick = back.user_id = back.last_visit = "err";
  TaobaoUsersName name;
  name.v = "before";
  TaobaoUsersXML xml;
  xml.users = "kept";
  data_.ReadTaobaoUsers(cond, back, name, xml);
  EXPECT_EQ(cond.method, "kept");
  EXPECT_EQ(back.sex, "err") << "the start-up presets survive an absent \"back\"";
  EXPECT_EQ(name.nicks, "n");
  EXPECT_EQ(name.v, "");
  EXPECT_EQ(xml.users, "kept") << "the users' xmlname is read only when present";

  // No section at all.
  TaobaoShopConditions shop_cond;
  shop_cond.format = "json";
  TaobaoShopInfo shop_back;
  TaobaoShopName shop_name;
  TaobaoShopXML shop_xml;
  shop_xml.shop = "kept";
  data_.ReadTaobaoShop(shop_cond, shop_back, shop_name, shop_xml);
  EXPECT_EQ(shop_cond.format, "json");
  EXPECT_EQ(shop_xml.shop, "") << "the shop's XML path is read without a presence test";
}

TEST_F(XMLDataReadTest, UserCreditBlocksUseTheDocumentsSpellings) {
  Load("<config><TaobaoUsers><back><nick>nick</nick><buyer_credit><lever>lv</lever>"
       "<scord>sc</scord><good_num>g</good_num><total_num>t</total_num></buyer_credit></back>"
       "<xmlname><users>people</users></xmlname></TaobaoUsers></config>");
  TaobaoUsersConditions cond;
  TaobaoUsersInfo back;
  back.seller_credit.level = "preset";
  TaobaoUsersName name;
  TaobaoUsersXML xml;
  data_.ReadTaobaoUsers(cond, back, name, xml);
  EXPECT_EQ(back.nick, "nick");
  EXPECT_EQ(back.buyer_credit.level, "lv");
  EXPECT_EQ(back.buyer_credit.score, "sc");
  EXPECT_EQ(back.buyer_credit.total_num, "t");
  EXPECT_EQ(back.seller_credit.level, "") << "a missing seller_credit reads as empty";
  EXPECT_EQ(xml.users, "people");
  EXPECT_EQ(xml.location, "");
}

TEST_F(XMLDataReadTest, CrossSectionXmlPaths) {
  Load("<config>"
       "<TaobaoCats><xmlname><item_cat>cat_in_wrong_place</item_cat><item_cats>cats</item_cats>"
       "</xmlname></TaobaoCats>"
       "<taobaoke_shops><xmlname><taobaoke_shops>shops</taobaoke_shops></xmlname></taobaoke_shops>"
       "<TaobaokeShop><xmlname><taobaoke_shop>ignored</taobaoke_shop></xmlname></TaobaokeShop>"
       "<TaobaokeItem><xmlname><taobaoke_items>items2</taobaoke_items>"
       "<total_results>total_a</total_results></xmlname></TaobaokeItem>"
       "<total_results><xmlname><total_results>total_b</total_results></xmlname></total_results>"
       "</config>");
  TaobaoCatsConditions cats_cond;
  TaobaoCatsInfo cats_back;
  TaobaoCatsName cats_name;
  TaobaoCatsXML cats_xml;
  data_.ReadTaobaoCats(cats_cond, cats_back, cats_name, cats_xml);
  EXPECT_EQ(cats_xml.item_cats, "cats");
  EXPECT_EQ(cats_xml.item_cat, "") << "one category's name comes from \"TaobaoCat\"";
  EXPECT_FALSE(data_.Document().Root().FindChild("TaobaoCat").IsNull())
      << "the missing path now exists, empty, in the in-memory document";

  TaobaokeShopConditions shop_cond;
  TaobaokeShopInfo shop_back;
  TaobaokeShopName shop_name;
  TaobaokeShopXML shop_xml;
  data_.ReadTaobaokeShop(shop_cond, shop_back, shop_name, shop_xml);
  EXPECT_EQ(shop_xml.taobaoke_shops, "shops");
  EXPECT_EQ(shop_xml.taobaoke_shop, "");

  TaobaokeConvertConditions convert_cond;
  TaobaokeConvertInfo convert_back;
  TaobaokeConvertName convert_name;
  TaobaokeConvertXML convert_xml;
  data_.ReadTaobaokeConvert(convert_cond, convert_back, convert_name, convert_xml);
  EXPECT_EQ(convert_xml.taobaoke_items, "items2") << "shared with the affiliate item search";
  EXPECT_EQ(convert_xml.total_results, "total_b");

  TaobaokeItemConditions item_cond;
  TaobaokeItemInfo item_back;
  TaobaokeItemName item_name;
  TaobaokeItemXML item_xml;
  data_.ReadTaobaokeItem(item_cond, item_back, item_name, item_xml);
  EXPECT_EQ(item_xml.taobaoke_items, "items2");
  EXPECT_EQ(item_xml.total_results, "total_a");
}

TEST_F(XMLDataReadTest, FailurePartWayKeepsWhatWasWrittenBeforeIt) {
  Load("<config><TaobaoSearch><cond><method>m</method></cond><back><iid>i</iid><_type>t</_type>"
       "</back><xmlname><location>loc</location><item_search>is</item_search>"
       "<items><x/></items><total_results>tr</total_results></xmlname>"
       "<name><q>query</q></name></TaobaoSearch></config>");
  TaobaoSearchConditions cond;
  cond.nicks = "seller";
  cond.page_size = "60";
  TaobaoSearchInfo back;
  TaobaoSearchName name;
  TaobaoSearchXML xml;
  xml.items = "before";
  xml.total_results = "before";
  data_.ReadTaobaoSearch(cond, back, name, xml);
  EXPECT_EQ(cond.method, "m");
  EXPECT_EQ(cond.nicks, "seller");
  EXPECT_EQ(cond.page_size, "60");
  EXPECT_EQ(back.type, "t") << "\"_type\" fills type";
  EXPECT_EQ(name.q, "query");
  EXPECT_EQ(xml.location, "loc");
  EXPECT_EQ(xml.item_search, "is");
  EXPECT_EQ(xml.items, "before") << "the failing element and all after it are untouched";
  EXPECT_EQ(xml.total_results, "before");
}

TEST_F(XMLDataReadTest, ValuesComeBackAsGbk) {
  Load("<config><TaobaoShop><back><title>标题</title></back></TaobaoShop></config>");
  TaobaoShopConditions cond;
  TaobaoShopInfo back;
  TaobaoShopName name;
  TaobaoShopXML xml;
  data_.ReadTaobaoShop(cond, back, name, xml);
  EXPECT_EQ(back.title, Utf8ToGbk("标题"));
}

}  // namespace
}  // namespace vendrix
