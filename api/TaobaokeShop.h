// TTaobaokeShop: the platform call "taobao.taobaoke.shops.convert", shops turned into
// affiliate click addresses. Used on the window's thread when the shop link is clicked.
#pragma once

#include <array>
#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaokeShopConditions {
  std::string v;
  std::string nick;  // the affiliate account
  std::string sids;
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string sign_method;
};

struct TaobaokeShopName {
  std::string v;
  std::string nick;
  std::string sids;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string sign_method;

  static constexpr FieldRef<TaobaokeShopName> kFields[] = {
      {"v", &TaobaokeShopName::v},
      {"nick", &TaobaokeShopName::nick},
      {"sids", &TaobaokeShopName::sids},
      {"timestamp", &TaobaokeShopName::timestamp},
      {"http", &TaobaokeShopName::http},
      {"sign", &TaobaokeShopName::sign},
      {"fields", &TaobaokeShopName::fields},
      {"format", &TaobaokeShopName::format},
      {"method", &TaobaokeShopName::method},
      {"app_key", &TaobaokeShopName::app_key},
      {"sign_method", &TaobaokeShopName::sign_method}};
};

struct TaobaokeShopXML {
  std::string taobaoke_shop;   // carried, not consulted by the walk
  std::string taobaoke_shops;  // presence element and list element

  static constexpr FieldRef<TaobaokeShopXML> kFields[] = {
      {"taobaoke_shop", &TaobaokeShopXML::taobaoke_shop},
      {"taobaoke_shops", &TaobaokeShopXML::taobaoke_shops}};
};

struct TaobaokeShopInfo {
  std::string user_id;
  std::string click_url;
  std::string shop_title;
  std::string commission_rate;

  static constexpr FieldRef<TaobaokeShopInfo> kFields[] = {
      {"user_id", &TaobaokeShopInfo::user_id},
      {"click_url", &TaobaokeShopInfo::click_url},
      {"shop_title", &TaobaokeShopInfo::shop_title},
      {"commission_rate", &TaobaokeShopInfo::commission_rate}};
};

using ATaobaokeShopInfo = std::array<TaobaokeShopInfo, 11>;

class TTaobaokeShop : public TApiCall<TaobaokeShopConditions, TaobaokeShopInfo,
                                      TaobaokeShopName, TaobaokeShopXML> {
 public:
  TTaobaokeShop();

  // On true `result` points at the table. The table is never cleared: rows beyond those this
  // reply wrote keep what earlier calls wrote.
  bool Execute(const TaobaokeShopConditions& cond, const TaobaokeShopInfo& back,
               const TaobaokeShopName& name, const TaobaokeShopXML& xml,
               const ATaobaokeShopInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaokeShopConditions> kConditionFields[] = {
      {"v", &TaobaokeShopConditions::v},
      {"nick", &TaobaokeShopConditions::nick},
      {"sids", &TaobaokeShopConditions::sids},
      {"format", &TaobaokeShopConditions::format},
      {"method", &TaobaokeShopConditions::method},
      {"app_key", &TaobaokeShopConditions::app_key},
      {"app_sec", &TaobaokeShopConditions::app_sec},
      {"sign_method", &TaobaokeShopConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.taobaoke_shops; }
  void ParseResponse() override;

 private:
  ATaobaokeShopInfo table_;
};

}  // namespace vendrix
