// TTaobaoShop: the platform call "taobao.shop.get", a seller's shop record (id, title, logo
// path). Used on the window's thread when a seller is selected.
#pragma once

#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaoShopConditions {
  std::string v;
  std::string nick;
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string sign_method;
};

struct TaobaoShopName {
  std::string v;
  std::string nick;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string sign_method;

  static constexpr FieldRef<TaobaoShopName> kFields[] = {
      {"v", &TaobaoShopName::v},
      {"nick", &TaobaoShopName::nick},
      {"timestamp", &TaobaoShopName::timestamp},
      {"http", &TaobaoShopName::http},
      {"sign", &TaobaoShopName::sign},
      {"fields", &TaobaoShopName::fields},
      {"format", &TaobaoShopName::format},
      {"method", &TaobaoShopName::method},
      {"app_key", &TaobaoShopName::app_key},
      {"sign_method", &TaobaoShopName::sign_method}};
};

struct TaobaoShopXML {
  std::string shop;  // presence element, whose children are read

  static constexpr FieldRef<TaobaoShopXML> kFields[] = {{"shop", &TaobaoShopXML::shop}};
};

struct TaobaoShopInfo {
  std::string sid;
  std::string cid;
  std::string nick;
  std::string desc;  // no default name: requested and read only when named
  std::string title;
  std::string created;
  std::string bulletin;  // likewise
  std::string pic_path;
  std::string modified;

  static constexpr FieldRef<TaobaoShopInfo> kFields[] = {
      {"sid", &TaobaoShopInfo::sid},           {"cid", &TaobaoShopInfo::cid},
      {"nick", &TaobaoShopInfo::nick},         {"desc", &TaobaoShopInfo::desc},
      {"title", &TaobaoShopInfo::title},       {"created", &TaobaoShopInfo::created},
      {"bulletin", &TaobaoShopInfo::bulletin}, {"pic_path", &TaobaoShopInfo::pic_path},
      {"modified", &TaobaoShopInfo::modified}};
};

class TTaobaoShop
    : public TApiCall<TaobaoShopConditions, TaobaoShopInfo, TaobaoShopName, TaobaoShopXML> {
 public:
  TTaobaoShop();

  // On true `result` points at the shop record. It is not cleared between calls: a field
  // whose element name is empty keeps its earlier value.
  bool Execute(const TaobaoShopConditions& cond, const TaobaoShopInfo& back,
               const TaobaoShopName& name, const TaobaoShopXML& xml,
               const TaobaoShopInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaoShopConditions> kConditionFields[] = {
      {"v", &TaobaoShopConditions::v},
      {"nick", &TaobaoShopConditions::nick},
      {"format", &TaobaoShopConditions::format},
      {"method", &TaobaoShopConditions::method},
      {"app_key", &TaobaoShopConditions::app_key},
      {"app_sec", &TaobaoShopConditions::app_sec},
      {"sign_method", &TaobaoShopConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.shop; }
  void ParseResponse() override;

 private:
  TaobaoShopInfo shop_;
};

}  // namespace vendrix
