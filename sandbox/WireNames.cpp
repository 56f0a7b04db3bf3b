#include "sandbox/WireNames.h"

namespace vendrix::sandbox {

WireNames WireNames::Platform() { return WireNames(); }

WireNames WireNames::Renamed() {
  WireNames names;
  auto param = [&](const char* method, const char* canonical, const char* wire) {
    names.params_[{method, canonical}] = wire;
  };
  auto element = [&](const char* method, const char* canonical, const char* wire) {
    names.elements_[{method, canonical}] = wire;
  };
  const char* items = "taobao.taobaoke.items.get";
  param(items, "nick", "nick_name");
  param(items, "page_no", "page");
  element(items, "nick", "seller_nick");
  element(items, "taobaoke_items", "tbk_items");
  element(items, "total_results", "total_hits");

  const char* convert = "taobao.taobaoke.items.convert";
  param(convert, "iids", "item_ids");
  element(convert, "taobaoke_items", "tbk_items");  // the list name is shared with items.get
  element(convert, "total_results", "converted_total");
  element(convert, "click_url", "tbk_click");

  const char* users = "taobao.users.get";
  param(users, "nicks", "nick_list");
  element(users, "users", "user_list");
  element(users, "location", "place");
  element(users, "city", "city_name");
  element(users, "level", "grade");

  const char* cats = "taobao.itemcats.get";
  param(cats, "parent_cid", "parent_id");
  element(cats, "item_cats", "cat_list");
  element(cats, "item_cat", "cat");
  element(cats, "name", "cat_name");

  const char* shop = "taobao.shop.get";
  param(shop, "nick", "seller_nick");
  element(shop, "shop", "store");
  element(shop, "title", "store_title");
  element(shop, "pic_path", "logo_path");

  const char* search = "taobao.items.search";
  param(search, "nicks", "nick_list");
  element(search, "item_search", "search_result");
  element(search, "items", "item_list");
  element(search, "item_categories", "cat_counts");
  element(search, "pic_url", "picture");
  element(search, "type", "item_type");

  const char* shops = "taobao.taobaoke.shops.convert";
  param(shops, "sids", "shop_ids");
  element(shops, "taobaoke_shops", "tbk_shops");
  element(shops, "click_url", "tbk_url");
  return names;
}

std::string WireNames::Param(const std::string& method, const std::string& canonical) const {
  auto it = params_.find({method, canonical});
  return it == params_.end() ? canonical : it->second;
}

std::string WireNames::Element(const std::string& method, const std::string& canonical) const {
  auto it = elements_.find({method, canonical});
  return it == elements_.end() ? canonical : it->second;
}

}  // namespace vendrix::sandbox
