// TXMLData's Read operations on small inline configuration documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

// Every field of an operation's four records after the read, by "record.field": "cond.v",
// "back.buyer_credit.level", "name.timestamp", "xml.users".
using FieldValues = std::map<std::string, std::string>;

constexpr const char* kCaller = "caller";

// Adds each field of `record` under prefix + its name; a user record brings its credit blocks.
template <typename Record>
void AddFields(std::map<std::string, std::string*>& fields, const std::string& prefix,
               Record& record, std::span<const FieldRef<Record>> refs) {
  for (const auto& ref : refs) fields[prefix + ref.name] = &(record.*ref.member);
  if constexpr (std::is_same_v<Record, TaobaoUsersInfo>) {
    AddFields<UserCredit>(fields, prefix + "buyer_credit.", record.buyer_credit,
                          UserCredit::kFields);
    AddFields<UserCredit>(fields, prefix + "seller_credit.", record.seller_credit,
                          UserCredit::kFields);
  }
}

// Runs `Read` on records whose every field holds kCaller.
template <typename Component, auto Read>
FieldValues ReadIntoCallerRecords(TXMLData& data) {
  typename Component::ConditionsType cond;
  typename Component::InfoType back;
  typename Component::NameType name;
  typename Component::XmlType xml;
  std::map<std::string, std::string*> fields;
  AddFields<decltype(cond)>(fields, "cond.", cond, Component::kConditionFields);
  AddFields<decltype(back)>(fields, "back.", back, decltype(back)::kFields);
  AddFields<decltype(name)>(fields, "name.", name, decltype(name)::kFields);
  AddFields<decltype(xml)>(fields, "xml.", xml, decltype(xml)::kFields);
  for (auto& [field, value] : fields) *value = kCaller;
  (data.*Read)(cond, back, name, xml);
  FieldValues values;
  for (const auto& [field, value] : fields) values[field] = *value;
  return values;
}

// "TaobaoUsers/back/buyer_credit" -> {"TaobaoUsers", "back", "buyer_credit"}.
std::vector<std::string> Steps(const std::string& path) {
  std::vector<std::string> steps;
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find('/', start), path.size());
    steps.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

// An element of the document, built from the paths of its leaves.
struct Element {
  std::string name;
  std::string text;
  std::vector<Element> children;

  // Adds the element at `path` ("TaobaoUsers/back/buyer_credit/lever") holding the path itself.
  void Add(const std::string& path) {
    Element* at = this;
    for (const std::string& step : Steps(path)) {
      auto child = std::find_if(at->children.begin(), at->children.end(),
                                [&](const Element& e) { return e.name == step; });
      at = child != at->children.end() ? &*child : &at->children.emplace_back(Element{step});
    }
    at->text = path;
  }

  std::string Xml() const {
    std::string inner = text;
    for (const auto& child : children) inner += child.Xml();
    return "<" + name + ">" + inner + "</" + name + ">";
  }
};

// The field an element fills: its own name, except these, wherever they occur.
std::string FieldOf(const std::string& element) {
  static const std::map<std::string, std::string> kOtherNames = {
      {"time", "timestamp"},
      {"auto", "auto_send"},
      {"guarantee", "is_guarantee"},
      {"s_num", "start_commissionNum"},
      {"e_num", "end_commissionNum"},
      {"s_rate", "start_commissionRate"},
      {"e_rate", "end_commissionRate"},
      {"s_price", "start_price"},
      {"e_price", "end_price"},
      {"s_credit", "start_credit"},
      {"e_credit", "end_credit"},
      {"lever", "level"},
      {"scord", "score"},
      {"_type", "type"}};
  auto other = kOtherNames.find(element);
  return other == kOtherNames.end() ? element : other->second;
}

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

TEST_F(XMLDataReadTest, EveryElementFillsItsOwnField) {
  struct Operation {
    const char* read;
    FieldValues (*run)(TXMLData&);
    std::string section;
    // The elements of the section's "cond", "back" and "name"; a "/" steps into a child.
    std::vector<std::string> cond, back, name;
    // Full paths from the root of the elements that fill the XML record.
    std::vector<std::string> xml;
  };
  const std::vector<std::string> common_cond = {"v", "method", "format", "sign_method"};
  const std::vector<std::string> affiliate_item_back = {
      "iid",       "nick",       "title",          "price",           "pic_url",
      "click_url", "commission", "commission_num", "commission_rate", "commission_volume"};
  const Operation operations[] = {
      {"ReadTaobaokeItem",
       ReadIntoCallerRecords<TTaobaokeItem, &TXMLData::ReadTaobaokeItem>,
       "TaobaokeItem",
       {"v", "method", "format", "sign_method", "s_num", "e_num", "s_rate", "e_rate"},
       affiliate_item_back,
       {"v", "cid", "auto", "area", "sort", "nick", "time", "http", "sign", "s_num", "e_num",
        "s_rate", "e_rate", "fields", "format", "method", "app_key", "keyword", "s_price",
        "e_price", "page_no", "s_credit", "e_credit", "page_size", "guarantee", "sign_method"},
       {"TaobaokeItem/xmlname/total_results", "TaobaokeItem/xmlname/taobaoke_items"}},
      {"ReadTaobaoUsers",
       ReadIntoCallerRecords<TTaobaoUsers, &TXMLData::ReadTaobaoUsers>,
       "TaobaoUsers",
       common_cond,
       {"sex", "nick", "city", "state", "user_id", "created", "last_visit",
        "buyer_credit/lever", "buyer_credit/scord", "buyer_credit/good_num",
        "buyer_credit/total_num", "seller_credit/lever", "seller_credit/scord",
        "seller_credit/good_num", "seller_credit/total_num"},
       {"v", "time", "http", "sign", "nicks", "fields", "format", "method", "app_key",
        "sign_method"},
       {"TaobaoUsers/xmlname/user", "TaobaoUsers/xmlname/users", "TaobaoUsers/xmlname/location",
        "TaobaoUsers/xmlname/buyer_credit", "TaobaoUsers/xmlname/seller_credit"}},
      {"ReadTaobaoCats",
       ReadIntoCallerRecords<TTaobaoCats, &TXMLData::ReadTaobaoCats>,
       "TaobaoCats",
       common_cond,
       {"cid", "name", "status", "is_parent", "parent_cid", "sort_order"},
       {"v", "time", "http", "sign", "cids", "format", "fields", "method", "app_key",
        "parent_cid", "sign_method"},
       {"TaobaoCat/xmlname/item_cat", "TaobaoCats/xmlname/item_cats"}},
      {"ReadTaobaoShop",
       ReadIntoCallerRecords<TTaobaoShop, &TXMLData::ReadTaobaoShop>,
       "TaobaoShop",
       common_cond,
       {"sid", "cid", "nick", "desc", "title", "created", "bulletin", "pic_path", "modified"},
       {"v", "time", "http", "sign", "nick", "fields", "format", "method", "app_key",
        "sign_method"},
       {"TaobaoShop/xmlname/shop"}},
      {"ReadTaobaoSearch",
       ReadIntoCallerRecords<TTaobaoSearch, &TXMLData::ReadTaobaoSearch>,
       "TaobaoSearch",
       common_cond,
       {"iid", "nick", "city", "count", "state", "title", "total", "price", "_type", "score",
        "volume", "pic_url", "post_fee", "delist_time", "category_id"},
       {"q", "v", "cid", "time", "http", "sign", "nicks", "format", "fields", "method",
        "app_key", "sign_method"},
       {"TaobaoSearch/xmlname/location", "TaobaoSearch/xmlname/item_search",
        "TaobaoSearch/xmlname/items", "TaobaoSearch/xmlname/total_results",
        "TaobaoSearch/xmlname/item_categories"}},
      {"ReadTaobaokeShop",
       ReadIntoCallerRecords<TTaobaokeShop, &TXMLData::ReadTaobaokeShop>,
       "TaobaokeShop",
       common_cond,
       {"user_id", "click_url", "shop_title", "commission_rate"},
       {"v", "time", "http", "sign", "nick", "sids", "fields", "format", "method", "app_key",
        "sign_method"},
       {"taobaoke_shop/xmlname/taobaoke_shop", "taobaoke_shops/xmlname/taobaoke_shops"}},
      {"ReadTaobaokeConvert",
       ReadIntoCallerRecords<TTaobaokeConvert, &TXMLData::ReadTaobaokeConvert>,
       "TaobaokeConvert",
       common_cond,
       affiliate_item_back,
       {"v", "time", "http", "sign", "nick", "iids", "fields", "format", "method", "app_key",
        "sign_method"},
       {"total_results/xmlname/total_results", "TaobaokeItem/xmlname/taobaoke_items"}},
  };

  for (const Operation& op : operations) {
    // Each element holds its own path as text; `filled` maps a field to the path it must hold.
    Element root{"config"};
    std::map<std::string, std::string> filled;
    for (const auto& [record, elements] :
         {std::pair{"cond", &op.cond}, {"back", &op.back}, {"name", &op.name}}) {
      for (const std::string& element : *elements) {
        std::string path = op.section + "/" + record + "/" + element;
        std::string field = record;
        for (const std::string& step : Steps(element)) field += "." + FieldOf(step);
        filled[field] = path;
        root.Add(path);
      }
    }
    for (const std::string& path : op.xml) {
      filled["xml." + FieldOf(Steps(path).back())] = path;
      root.Add(path);
    }
    Load(root.Xml());

    FieldValues values = op.run(data_);
    EXPECT_EQ(data_.LastError(), "") << op.read;
    for (const auto& [field, path] : filled) {
      EXPECT_TRUE(values.contains(field))
          << op.read << ": element " << path << " names a field the records lack: " << field;
    }
    for (const auto& [field, value] : values) {
      auto from = filled.find(field);
      if (from != filled.end()) {
        EXPECT_EQ(value, from->second)
            << op.read << ": element " << from->second << " should fill " << field;
      } else {
        EXPECT_EQ(value, kCaller) << op.read << ": no element fills " << field
                                  << ", so it keeps the caller's value";
      }
    }
  }
}

}  // namespace
}  // namespace vendrix
