// The exact request address of every component, with a frozen clock.
#include <gtest/gtest.h>

#include "api/MD5.h"
#include "api/TaobaoCats.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

constexpr const char* kGateway = "http://gw.test/router/rest";
// 2013-05-06 13:52:03, as it goes on the wire.
constexpr const char* kStamp = "%32%30%31%33%2D%30%35%2D%30%36%20%31%33%3A%35%32%3A%30%33";
constexpr const char* kFixedStamp = "%32%30%31%30%2D%30%31%2D%32%36%20%31%32%3A%32%39%3A%30%31";

std::tm FrozenTime() {
  std::tm t{};
  t.tm_year = 113;
  t.tm_mon = 4;
  t.tm_mday = 6;
  t.tm_hour = 13;
  t.tm_min = 52;
  t.tm_sec = 3;
  return t;
}

// The address BuildUrl makes of the given records once the component's defaults are in.
template <typename Component>
std::string AddressOf(typename Component::ConditionsType cond,
                      typename Component::InfoType back = {},
                      typename Component::NameType name = {},
                      typename Component::XmlType xml = {}) {
  struct Probe : Component {
    std::string Build(const typename Component::ConditionsType& c,
                      const typename Component::InfoType& b,
                      const typename Component::NameType& n,
                      const typename Component::XmlType& x) {
      this->cond_ = c;
      this->back_ = b;
      this->name_ = n;
      this->xml_ = x;
      this->ApplyDefaults();
      return this->BuildUrl();
    }
  };
  if (name.http.empty()) name.http = kGateway;
  Probe probe;
  probe.SetClock(FrozenTime);
  return probe.Build(cond, back, name, xml);
}

std::string Signed(const std::string& query, const std::string& signing) {
  return std::string(kGateway) + "?" + query + "sign=" + MD5(signing);
}

TEST(ComponentUrlTest, CategoriesAlwaysSendCidsAndParentCid) {
  TaobaoCatsConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  EXPECT_EQ(AddressOf<TTaobaoCats>(cond),
            Signed(std::string("app_key=K&cids=&fields=cid,name,status,is_parent,parent_cid,"
                               "sort_order&format=xml&method=taobao.itemcats.get&parent_cid=0&"
                               "sign_method=md5&timestamp=") + kStamp + "&v=2.0&",
                   "SECapp_keyKcidsfieldscid,name,status,is_parent,parent_cid,sort_order"
                   "formatxmlmethodtaobao.itemcats.getparent_cid0sign_methodmd5"
                   "timestamp2013-05-06 13:52:03v2.0SEC"));

  cond.cids = "14,16";
  std::string with_cids = AddressOf<TTaobaoCats>(cond);
  EXPECT_NE(with_cids.find("&cids=14,16&"), std::string::npos);
  EXPECT_NE(with_cids.find("&parent_cid=&"), std::string::npos) << "no \"0\" when ids are given";
}

TEST(ComponentUrlTest, UsersSendNicksAsEncodedUtf8SignedRaw) {
  TaobaoUsersConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  cond.nicks = "a,b,c,";
  EXPECT_EQ(AddressOf<TTaobaoUsers>(cond),
            Signed(std::string("app_key=K&fields=sex,nick,location.city,location.state,user_id,"
                               "created,last_visit,buyer_credit,seller_credit&format=xml&"
                               "method=taobao.users.get&nicks=%61%2C%62%2C%63%2C&"
                               "sign_method=md5&timestamp=") + kStamp + "&v=2.0&",
                   "SECapp_keyKfieldssex,nick,location.city,location.state,user_id,created,"
                   "last_visit,buyer_credit,seller_creditformatxmlmethodtaobao.users.get"
                   "nicksa,b,c,sign_methodmd5timestamp2013-05-06 13:52:03v2.0SEC"));

  // Group names come from the XML record; element names, "err" included, from the back record.
  TaobaoUsersInfo back;
  back.sex = back.nick = back.user_id = back.last_visit = "err";
  TaobaoUsersXML xml;
  xml.location = "loc";
  std::string address = AddressOf<TTaobaoUsers>(cond, back, {}, xml);
  EXPECT_NE(address.find("fields=err,err,loc.city,loc.state,err,created,err,buyer_credit,"
                         "seller_credit&"),
            std::string::npos)
      << address;
}

TEST(ComponentUrlTest, ShopFieldsKeepEmptySlotsAndChineseNickIsUtf8) {
  TaobaoShopConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  cond.nick = Utf8ToGbk("中");
  EXPECT_EQ(AddressOf<TTaobaoShop>(cond),
            Signed(std::string("app_key=K&fields=sid,cid,nick,,title,,created,pic_path,modified"
                               "&format=xml&method=taobao.shop.get&nick=%E4%B8%AD&"
                               "sign_method=md5&timestamp=") + kStamp + "&v=2.0&",
                   "SECapp_keyKfieldssid,cid,nick,,title,,created,pic_path,modified"
                   "formatxmlmethodtaobao.shop.getnick\xE4\xB8\xAD"
                   "sign_methodmd5timestamp2013-05-06 13:52:03v2.0SEC"));

  TaobaoShopInfo back;
  back.desc = "desc";
  back.bulletin = "bulletin";
  std::string named = AddressOf<TTaobaoShop>(cond, back);
  EXPECT_NE(named.find("fields=sid,cid,nick,desc,title,bulletin,created,pic_path,modified&"),
            std::string::npos);
}

TEST(ComponentUrlTest, AffiliateShopConversionSendsSidsPlain) {
  TaobaokeShopConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  cond.nick = "quillfern01";
  cond.sids = "101,102";
  EXPECT_EQ(AddressOf<TTaobaokeShop>(cond),
            Signed(std::string("app_key=K&fields=user_id,shop_title,click_url,commission_rate&"
                               "format=xml&method=taobao.taobaoke.shops.convert&"
                               "nick=%71%75%69%6C%6C%66%65%72%6E%30%31&sids=101,102&"
                               "sign_method=md5&timestamp=") + kStamp + "&v=2.0&",
                   "SECapp_keyKfieldsuser_id,shop_title,click_url,commission_rateformatxml"
                   "methodtaobao.taobaoke.shops.convertnickquillfern01sids101,102"
                   "sign_methodmd5timestamp2013-05-06 13:52:03v2.0SEC"));
}

TEST(ComponentUrlTest, ItemSearchOmitsEmptyOptionalsAndDefaultsPaging) {
  TaobaoSearchConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  cond.nicks = "ab";
  EXPECT_EQ(AddressOf<TTaobaoSearch>(cond),
            Signed(std::string("app_key=K&fields=iid,location.city,location.state,title,nick,"
                               "price,volume,type,score,delist_time,pic_url,post_fee&"
                               "format=xml&method=taobao.items.search&nicks=%61%62&page_no=1&"
                               "page_size=200&sign_method=md5&timestamp=") +
                       kStamp + "&v=2.0&",
                   "SECapp_keyKfieldsiid,location.city,location.state,title,nick,price,volume,"
                   "type,score,delist_time,pic_url,post_feeformatxmlmethodtaobao.items.search"
                   "nicksabpage_no1page_size200sign_methodmd5"
                   "timestamp2013-05-06 13:52:03v2.0SEC"));

  cond.q = Utf8ToGbk("裙");
  cond.cid = "16";
  cond.page_size = "60";
  std::string address = AddressOf<TTaobaoSearch>(cond);
  EXPECT_NE(address.find("?app_key=K&cid=16&fields="), std::string::npos);
  EXPECT_NE(address.find("&page_size=60&q=%E8%A3%99&sign_method"), std::string::npos);
}

TEST(ComponentUrlTest, AffiliateItemsSendOnlySetFiltersAndTheFixedTimestamp) {
  TaobaokeItemConditions cond;
  cond.app_key = "K";
  cond.app_sec = "SEC";
  cond.nick = "n";
  cond.cid = "14";
  const std::string fields =
      "iid,title,nick,pic_url,price,click_url,commission,commission_rate,commission_num,"
      "commission_volume";
  EXPECT_EQ(AddressOf<TTaobaokeItem>(cond),
            Signed("app_key=K&cid=14&fields=" + fields +
                       "&format=xml&method=taobao.taobaoke.items.get&nick=%6E&sign_method=md5&"
                       "timestamp=" + kFixedStamp + "&v=2.0&",
                   "SECapp_keyKcid14fields" + fields +
                       "formatxmlmethodtaobao.taobaoke.items.getnickn"
                       "sign_methodmd5timestamp2010-01-26 12:29:01v2.0SEC"));

  // Every filter set: each in its slot; a renamed parameter keeps the slot of its field.
  cond.area = Utf8ToGbk("杭州");
  cond.start_credit = "1heart";
  cond.end_credit = "5goldencrown";
  cond.page_no = "2";
  cond.keyword = "\n";
  cond.sort = "price_desc";
  TaobaokeItemName name;
  name.cid = "zz_cid";
  std::string address = AddressOf<TTaobaokeItem>(cond, {}, name);
  std::string expected_order =
      "?app_key=K&area=%E6%9D%AD%E5%B7%9E&zz_cid=14&end_credit=5goldencrown&fields=" + fields +
      "&format=xml&keyword=%A&method=taobao.taobaoke.items.get&nick=%6E&page_no=2&"
      "sign_method=md5&sort=price_desc&start_credit=1heart&timestamp=" + kFixedStamp + "&v=2.0&";
  EXPECT_NE(address.find(expected_order), std::string::npos) << address;
}

TEST(ComponentUrlTest, ItemConversionSendsIidsWithPlainCommas) {
  TaobaokeConvertConditions cond;
  cond.app_key = "";
  cond.app_sec = "SEC";  // the secret alone is enough
  cond.nick = "n";
  cond.iids = "11,22";
  const std::string fields =
      "iid,title,nick,pic_url,price,click_url,commission,commission_rate,commission_num,"
      "commission_volume";
  EXPECT_EQ(AddressOf<TTaobaokeConvert>(cond),
            Signed("app_key=&fields=" + fields +
                       "&format=xml&iids=11,22&method=taobao.taobaoke.items.convert&nick=%6E&"
                       "sign_method=md5&timestamp=" + kStamp + "&v=2.0&",
                   "SECapp_keyfields" + fields +
                       "formatxmliids11,22methodtaobao.taobaoke.items.convertnickn"
                       "sign_methodmd5timestamp2013-05-06 13:52:03v2.0SEC"));
}

TEST(ComponentUrlTest, TheSecretIsNeverInAnyAddress) {
  const std::string secret = "TopSecret123";
  TaobaoUsersConditions uc{.nicks = "a,", .app_key = "K", .app_sec = secret};
  TaobaokeItemConditions ic{.cid = "1", .nick = "n", .app_key = "K", .app_sec = secret};
  std::string a = AddressOf<TTaobaoUsers>(uc);
  std::string b = AddressOf<TTaobaokeItem>(ic);
  EXPECT_EQ(a.find(secret), std::string::npos);
  EXPECT_EQ(b.find(secret), std::string::npos);
  EXPECT_EQ(a.find("app_sec"), std::string::npos);
}

}  // namespace
}  // namespace vendrix
