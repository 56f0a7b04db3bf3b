#include "config/XMLData.h"

#include <exception>
#include <initializer_list>
#include <utility>

#include "platform/CodePage.h"

namespace vendrix {
namespace {

// Which element fills which field, in reading order.
template <typename Record>
using Elements = std::initializer_list<std::pair<const char*, std::string Record::*>>;

// Which element path under the root fills which field.
template <typename Record>
using Paths = std::initializer_list<std::pair<std::initializer_list<const char*>, std::string Record::*>>;

std::string TextOf(const XmlNode& parent, const char* element) {
  return Utf8ToGbk(parent.Child(element).Text());
}

// Reads the listed elements of `parent` into `record`.
template <typename Record>
void ReadElements(const XmlNode& parent, Record& record, Elements<Record> elements) {
  for (const auto& [element, field] : elements) record.*field = TextOf(parent, element);
}

// A sub-section is read only when present; then every listed element counts.
template <typename Record>
void ReadSubsection(const XmlNode& section, const char* sub, Record& record,
                    Elements<Record> elements) {
  if (section.FindChild(sub).IsNull()) return;
  ReadElements(section.Child(sub), record, elements);
}

// Reads each field along its full path from the root, without presence tests.
template <typename Record>
void ReadPaths(const XmlNode& root, Record& record, Paths<Record> paths) {
  for (const auto& [path, field] : paths) {
    XmlNode node = root;
    for (const char* step : path) node = node.Child(step);
    record.*field = Utf8ToGbk(node.Text());
  }
}

// The "cond" sub-section of the sections that may set only the four common values.
template <typename Conditions>
void ReadCommonConditions(const XmlNode& section, Conditions& cond) {
  ReadSubsection<Conditions>(section, "cond", cond,
                             {{"v", &Conditions::v},
                              {"method", &Conditions::method},
                              {"format", &Conditions::format},
                              {"sign_method", &Conditions::sign_method}});
}

// The "back" sub-section of the affiliate item search and the item conversion, whose element
// names are the same ten.
template <typename Info>
void ReadAffiliateItemNames(const XmlNode& section, Info& back) {
  ReadSubsection<Info>(section, "back", back,
                       {{"iid", &Info::iid},
                        {"nick", &Info::nick},
                        {"title", &Info::title},
                        {"price", &Info::price},
                        {"pic_url", &Info::pic_url},
                        {"click_url", &Info::click_url},
                        {"commission", &Info::commission},
                        {"commission_num", &Info::commission_num},
                        {"commission_rate", &Info::commission_rate},
                        {"commission_volume", &Info::commission_volume}});
}

}  // namespace

bool TXMLData::Guarded(const std::function<void()>& read) {
  try {
    read();
    last_error_.clear();
    return true;
  } catch (const std::exception& e) {
    last_error_ = e.what();
    return false;
  } catch (...) {
    last_error_ = "unknown failure";
    return false;
  }
}

bool TXMLData::LoadApi(const std::string& address, std::string& app_key, std::string& app_sec) {
  return Guarded([&] {
    document_.LoadFromAddress(GbkToUtf8(address));
    // Every value is looked up afresh from the root: no node is held from one read to the next.
    app_key = TextOf(document_.Root().Child("api"), "app_key");
    app_sec = TextOf(document_.Root().Child("api"), "app_sec");
  });
}

void TXMLData::ReadNick(std::string& nick) {
  if (!Guarded([&] { nick = TextOf(document_.Root().Child("api"), "nick"); })) nick.clear();
}

void TXMLData::ReadTaobaokeItem(TaobaokeItemConditions& cond, TaobaokeItemInfo& back,
                                TaobaokeItemName& name, TaobaokeItemXML& xml) {
  using C = TaobaokeItemConditions;
  using N = TaobaokeItemName;
  using X = TaobaokeItemXML;
  Guarded([&] {
    XmlNode root = document_.Root();
    XmlNode section = root.Child("TaobaokeItem");
    ReadSubsection<C>(section, "cond", cond,
                      {{"v", &C::v},
                       {"method", &C::method},
                       {"format", &C::format},
                       {"sign_method", &C::sign_method},
                       {"s_num", &C::start_commissionNum},
                       {"e_num", &C::end_commissionNum},
                       {"s_rate", &C::start_commissionRate},
                       {"e_rate", &C::end_commissionRate}});
    ReadAffiliateItemNames(section, back);
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"cid", &N::cid},
                       {"auto", &N::auto_send},
                       {"area", &N::area},
                       {"sort", &N::sort},
                       {"nick", &N::nick},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"s_num", &N::start_commissionNum},
                       {"e_num", &N::end_commissionNum},
                       {"s_rate", &N::start_commissionRate},
                       {"e_rate", &N::end_commissionRate},
                       {"fields", &N::fields},
                       {"format", &N::format},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"keyword", &N::keyword},
                       {"s_price", &N::start_price},
                       {"e_price", &N::end_price},
                       {"page_no", &N::page_no},
                       {"s_credit", &N::start_credit},
                       {"e_credit", &N::end_credit},
                       {"page_size", &N::page_size},
                       {"guarantee", &N::is_guarantee},
                       {"sign_method", &N::sign_method}});
    ReadPaths<X>(root, xml,
                 {{{"TaobaokeItem", "xmlname", "total_results"}, &X::total_results},
                  {{"TaobaokeItem", "xmlname", "taobaoke_items"}, &X::taobaoke_items}});
  });
}

void TXMLData::ReadTaobaoUsers(TaobaoUsersConditions& cond, TaobaoUsersInfo& back,
                               TaobaoUsersName& name, TaobaoUsersXML& xml) {
  using B = TaobaoUsersInfo;
  using N = TaobaoUsersName;
  using X = TaobaoUsersXML;
  Guarded([&] {
    XmlNode section = document_.Root().Child("TaobaoUsers");
    ReadCommonConditions(section, cond);
    if (!section.FindChild("back").IsNull()) {
      XmlNode sub = section.Child("back");
      ReadElements<B>(sub, back,
                      {{"sex", &B::sex},
                       {"nick", &B::nick},
                       {"city", &B::city},
                       {"state", &B::state},
                       {"user_id", &B::user_id},
                       {"created", &B::created},
                       {"last_visit", &B::last_visit}});
      Elements<UserCredit> credit = {{"lever", &UserCredit::level},
                                     {"scord", &UserCredit::score},
                                     {"good_num", &UserCredit::good_num},
                                     {"total_num", &UserCredit::total_num}};
      ReadElements(sub.Child("buyer_credit"), back.buyer_credit, credit);
      ReadElements(sub.Child("seller_credit"), back.seller_credit, credit);
    }
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"nicks", &N::nicks},
                       {"fields", &N::fields},
                       {"format", &N::format},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"sign_method", &N::sign_method}});
    ReadSubsection<X>(section, "xmlname", xml,
                      {{"user", &X::user},
                       {"users", &X::users},
                       {"location", &X::location},
                       {"buyer_credit", &X::buyer_credit},
                       {"seller_credit", &X::seller_credit}});
  });
}

void TXMLData::ReadTaobaoShop(TaobaoShopConditions& cond, TaobaoShopInfo& back,
                              TaobaoShopName& name, TaobaoShopXML& xml) {
  using B = TaobaoShopInfo;
  using N = TaobaoShopName;
  Guarded([&] {
    XmlNode root = document_.Root();
    XmlNode section = root.Child("TaobaoShop");
    ReadCommonConditions(section, cond);
    ReadSubsection<B>(section, "back", back,
                      {{"sid", &B::sid},
                       {"cid", &B::cid},
                       {"nick", &B::nick},
                       {"desc", &B::desc},
                       {"title", &B::title},
                       {"created", &B::created},
                       {"bulletin", &B::bulletin},
                       {"pic_path", &B::pic_path},
                       {"modified", &B::modified}});
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"nick", &N::nick},
                       {"fields", &N::fields},
                       {"format", &N::format},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"sign_method", &N::sign_method}});
    ReadPaths<TaobaoShopXML>(root, xml, {{{"TaobaoShop", "xmlname", "shop"}, &TaobaoShopXML::shop}});
  });
}

void TXMLData::ReadTaobaokeShop(TaobaokeShopConditions& cond, TaobaokeShopInfo& back,
                                TaobaokeShopName& name, TaobaokeShopXML& xml) {
  using B = TaobaokeShopInfo;
  using N = TaobaokeShopName;
  using X = TaobaokeShopXML;
  Guarded([&] {
    XmlNode root = document_.Root();
    XmlNode section = root.Child("TaobaokeShop");
    ReadCommonConditions(section, cond);
    ReadSubsection<B>(section, "back", back,
                      {{"user_id", &B::user_id},
                       {"click_url", &B::click_url},
                       {"shop_title", &B::shop_title},
                       {"commission_rate", &B::commission_rate}});
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"nick", &N::nick},
                       {"sids", &N::sids},
                       {"fields", &N::fields},
                       {"format", &N::format},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"sign_method", &N::sign_method}});
    // The names of this reply's structure live in top-level elements of their own.
    ReadPaths<X>(root, xml,
                 {{{"taobaoke_shop", "xmlname", "taobaoke_shop"}, &X::taobaoke_shop},
                  {{"taobaoke_shops", "xmlname", "taobaoke_shops"}, &X::taobaoke_shops}});
  });
}

void TXMLData::ReadTaobaokeConvert(TaobaokeConvertConditions& cond, TaobaokeConvertInfo& back,
                                   TaobaokeConvertName& name, TaobaokeConvertXML& xml) {
  using N = TaobaokeConvertName;
  using X = TaobaokeConvertXML;
  Guarded([&] {
    XmlNode root = document_.Root();
    XmlNode section = root.Child("TaobaokeConvert");
    ReadCommonConditions(section, cond);
    ReadAffiliateItemNames(section, back);
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"nick", &N::nick},
                       {"iids", &N::iids},
                       {"fields", &N::fields},
                       {"format", &N::format},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"sign_method", &N::sign_method}});
    // The list element shares its name with the affiliate item search's.
    ReadPaths<X>(root, xml,
                 {{{"total_results", "xmlname", "total_results"}, &X::total_results},
                  {{"TaobaokeItem", "xmlname", "taobaoke_items"}, &X::taobaoke_items}});
  });
}

void TXMLData::ReadTaobaoCats(TaobaoCatsConditions& cond, TaobaoCatsInfo& back,
                              TaobaoCatsName& name, TaobaoCatsXML& xml) {
  using B = TaobaoCatsInfo;
  using N = TaobaoCatsName;
  using X = TaobaoCatsXML;
  Guarded([&] {
    XmlNode root = document_.Root();
    XmlNode section = root.Child("TaobaoCats");
    ReadCommonConditions(section, cond);
    ReadSubsection<B>(section, "back", back,
                      {{"cid", &B::cid},
                       {"name", &B::name},
                       {"status", &B::status},
                       {"is_parent", &B::is_parent},
                       {"parent_cid", &B::parent_cid},
                       {"sort_order", &B::sort_order}});
    ReadSubsection<N>(section, "name", name,
                      {{"v", &N::v},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"cids", &N::cids},
                       {"format", &N::format},
                       {"fields", &N::fields},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"parent_cid", &N::parent_cid},
                       {"sign_method", &N::sign_method}});
    // One category's element name comes from a top-level "TaobaoCat" (no final "s").
    ReadPaths<X>(root, xml,
                 {{{"TaobaoCat", "xmlname", "item_cat"}, &X::item_cat},
                  {{"TaobaoCats", "xmlname", "item_cats"}, &X::item_cats}});
  });
}

void TXMLData::ReadTaobaoSearch(TaobaoSearchConditions& cond, TaobaoSearchInfo& back,
                                TaobaoSearchName& name, TaobaoSearchXML& xml) {
  using B = TaobaoSearchInfo;
  using N = TaobaoSearchName;
  using X = TaobaoSearchXML;
  Guarded([&] {
    XmlNode section = document_.Root().Child("TaobaoSearch");
    ReadCommonConditions(section, cond);
    ReadSubsection<B>(section, "back", back,
                      {{"iid", &B::iid},
                       {"nick", &B::nick},
                       {"city", &B::city},
                       {"count", &B::count},
                       {"state", &B::state},
                       {"title", &B::title},
                       {"total", &B::total},
                       {"price", &B::price},
                       {"_type", &B::type},
                       {"score", &B::score},
                       {"volume", &B::volume},
                       {"pic_url", &B::pic_url},
                       {"post_fee", &B::post_fee},
                       {"delist_time", &B::delist_time},
                       {"category_id", &B::category_id}});
    ReadSubsection<N>(section, "name", name,
                      {{"q", &N::q},
                       {"v", &N::v},
                       {"cid", &N::cid},
                       {"time", &N::timestamp},
                       {"http", &N::http},
                       {"sign", &N::sign},
                       {"nicks", &N::nicks},
                       {"format", &N::format},
                       {"fields", &N::fields},
                       {"method", &N::method},
                       {"app_key", &N::app_key},
                       {"sign_method", &N::sign_method}});
    ReadSubsection<X>(section, "xmlname", xml,
                      {{"location", &X::location},
                       {"item_search", &X::item_search},
                       {"items", &X::items},
                       {"total_results", &X::total_results},
                       {"item_categories", &X::item_categories}});
  });
}

}  // namespace vendrix
