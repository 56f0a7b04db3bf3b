// TTaobaokeConvert: the platform call "taobao.taobaoke.items.convert", items turned into
// affiliate click addresses. The XML document fetches the reply itself. Used on the window's
// thread when an item link is clicked.
#pragma once

#include <array>
#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaokeConvertConditions {
  std::string v;
  std::string iids;
  std::string nick;  // the affiliate account
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string sign_method;
};

struct TaobaokeConvertName {
  std::string v;
  std::string iids;
  std::string nick;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string sign_method;

  static constexpr FieldRef<TaobaokeConvertName> kFields[] = {
      {"v", &TaobaokeConvertName::v},
      {"iids", &TaobaokeConvertName::iids},
      {"nick", &TaobaokeConvertName::nick},
      {"timestamp", &TaobaokeConvertName::timestamp},
      {"http", &TaobaokeConvertName::http},
      {"sign", &TaobaokeConvertName::sign},
      {"fields", &TaobaokeConvertName::fields},
      {"format", &TaobaokeConvertName::format},
      {"method", &TaobaokeConvertName::method},
      {"app_key", &TaobaokeConvertName::app_key},
      {"sign_method", &TaobaokeConvertName::sign_method}};
};

struct TaobaokeConvertXML {
  std::string total_results;   // presence element, also the total count
  std::string taobaoke_items;  // list element

  static constexpr FieldRef<TaobaokeConvertXML> kFields[] = {
      {"total_results", &TaobaokeConvertXML::total_results},
      {"taobaoke_items", &TaobaokeConvertXML::taobaoke_items}};
};

struct TaobaokeConvertInfo {
  std::string iid;
  std::string nick;
  std::string title;  // as the platform sent it
  std::string price;
  std::string total_results;
  std::string pic_url;
  std::string click_url;
  std::string commission;
  std::string commission_num;
  std::string commission_rate;
  std::string commission_volume;

  static constexpr FieldRef<TaobaokeConvertInfo> kFields[] = {
      {"iid", &TaobaokeConvertInfo::iid},
      {"nick", &TaobaokeConvertInfo::nick},
      {"title", &TaobaokeConvertInfo::title},
      {"price", &TaobaokeConvertInfo::price},
      {"total_results", &TaobaokeConvertInfo::total_results},
      {"pic_url", &TaobaokeConvertInfo::pic_url},
      {"click_url", &TaobaokeConvertInfo::click_url},
      {"commission", &TaobaokeConvertInfo::commission},
      {"commission_num", &TaobaokeConvertInfo::commission_num},
      {"commission_rate", &TaobaokeConvertInfo::commission_rate},
      {"commission_volume", &TaobaokeConvertInfo::commission_volume}};
};

using ATaobaokeConvertInfo = std::array<TaobaokeConvertInfo, 51>;

class TTaobaokeConvert : public TApiCall<TaobaokeConvertConditions, TaobaokeConvertInfo,
                                         TaobaokeConvertName, TaobaokeConvertXML> {
 public:
  TTaobaokeConvert();

  // On true `result` points at the table: one row per converted item, the rest empty.
  bool Execute(const TaobaokeConvertConditions& cond, const TaobaokeConvertInfo& back,
               const TaobaokeConvertName& name, const TaobaokeConvertXML& xml,
               const ATaobaokeConvertInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaokeConvertConditions> kConditionFields[] = {
      {"v", &TaobaokeConvertConditions::v},
      {"iids", &TaobaokeConvertConditions::iids},
      {"nick", &TaobaokeConvertConditions::nick},
      {"format", &TaobaokeConvertConditions::format},
      {"method", &TaobaokeConvertConditions::method},
      {"app_key", &TaobaokeConvertConditions::app_key},
      {"app_sec", &TaobaokeConvertConditions::app_sec},
      {"sign_method", &TaobaokeConvertConditions::sign_method}};

 protected:
  void LoadReply(const std::string& address) override;
  const std::string& PresenceName() const override { return xml_.total_results; }
  void ParseResponse() override;
  void ClearResults();

 private:
  ATaobaokeConvertInfo table_;
};

}  // namespace vendrix
