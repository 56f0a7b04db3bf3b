#include "api/TaobaoShop.h"

namespace vendrix {

// A silent gateway must not hold the window for ever: the shop lookup runs on its thread.
TTaobaoShop::TTaobaoShop() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaoShop::Execute(const TaobaoShopConditions& cond, const TaobaoShopInfo& back,
                          const TaobaoShopName& name, const TaobaoShopXML& xml,
                          const TaobaoShopInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &shop_;
  return true;
}

const char* TTaobaoShop::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  return cond_.nick.empty() ? "nick" : nullptr;
}

void TTaobaoShop::ApplyDefaults() {
  ApplyCommonDefaults("taobao.shop.get");
  Default(name_.nick, "nick");

  Default(back_.sid, "sid");
  Default(back_.cid, "cid");
  Default(back_.nick, "nick");
  Default(back_.title, "title");
  Default(back_.created, "created");
  Default(back_.pic_path, "pic_path");
  Default(back_.modified, "modified");

  Default(xml_.shop, "shop");
}

std::string TTaobaoShop::BuildUrl() const {
  std::string fields = back_.sid + "," + back_.cid + "," + back_.nick + "," + back_.desc + "," +
                       back_.title + "," + back_.bulletin + "," + back_.created + "," +
                       back_.pic_path + "," + back_.modified;
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  request.Add(name_.fields, fields);
  request.Add(name_.format, cond_.format);
  request.Add(name_.method, cond_.method);
  request.Add(name_.nick, cond_.nick, ValueForm::kUtf8Encoded);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaoShop::ParseResponse() {
  XmlNode shop = Document().Root().Child(xml_.shop);
  shop_.sid = ReadText(shop, back_.sid);
  shop_.cid = ReadText(shop, back_.cid);
  shop_.nick = ReadText(shop, back_.nick);
  shop_.title = ReadText(shop, back_.title);
  shop_.created = ReadText(shop, back_.created);
  shop_.pic_path = ReadText(shop, back_.pic_path);
  shop_.modified = ReadText(shop, back_.modified);
  if (!back_.desc.empty()) shop_.desc = ReadText(shop, back_.desc);
  if (!back_.bulletin.empty()) shop_.bulletin = ReadText(shop, back_.bulletin);
  rows_written_ = 1;
}

}  // namespace vendrix
