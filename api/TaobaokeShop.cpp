#include "api/TaobaokeShop.h"

namespace vendrix {

// A silent gateway must not hold the window for ever: the conversion runs on its thread.
TTaobaokeShop::TTaobaokeShop() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaokeShop::Execute(const TaobaokeShopConditions& cond, const TaobaokeShopInfo& back,
                            const TaobaokeShopName& name, const TaobaokeShopXML& xml,
                            const ATaobaokeShopInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &table_;
  return true;
}

const char* TTaobaokeShop::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  if (cond_.nick.empty()) return "affiliate nick";
  return cond_.sids.empty() ? "shop id" : nullptr;
}

void TTaobaokeShop::ApplyDefaults() {
  ApplyCommonDefaults("taobao.taobaoke.shops.convert");
  Default(name_.nick, "nick");
  Default(name_.sids, "sids");

  Default(back_.user_id, "user_id");
  Default(back_.click_url, "click_url");
  Default(back_.shop_title, "shop_title");
  Default(back_.commission_rate, "commission_rate");

  Default(xml_.taobaoke_shop, "taobaoke_shop");
  Default(xml_.taobaoke_shops, "taobaoke_shops");
}

std::string TTaobaokeShop::BuildUrl() const {
  std::string fields =
      back_.user_id + "," + back_.shop_title + "," + back_.click_url + "," + back_.commission_rate;
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  request.Add(name_.fields, fields);
  request.Add(name_.format, cond_.format);
  request.Add(name_.method, cond_.method);
  request.Add(name_.nick, cond_.nick, ValueForm::kUtf8Encoded);
  request.Add(name_.sids, cond_.sids);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaokeShop::ParseResponse() {
  XmlNode list = Document().Root().Child(xml_.taobaoke_shops);
  size_t count = list.ChildCount();
  for (size_t i = 0; i < count && i < table_.size(); ++i) {
    XmlNode shop = list.ChildAt(i);
    TaobaokeShopInfo& row = table_[i];
    row.user_id = ReadText(shop, back_.user_id);
    row.click_url = ReadText(shop, back_.click_url);
    row.commission_rate = ReadText(shop, back_.commission_rate);
    row.shop_title = ReadText(shop, back_.shop_title);
    rows_written_ = i + 1;
  }
}

}  // namespace vendrix
