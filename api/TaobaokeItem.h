// TTaobaokeItem: the platform call "taobao.taobaoke.items.get", one page of affiliate items
// by category or keyword, narrowed by region and seller credit. The seller search calls it
// page after page from its worker thread.
#pragma once

#include <array>
#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaokeItemConditions {
  std::string v;
  std::string cid;
  std::string auto_send;
  std::string area;
  std::string sort;
  std::string nick;  // the affiliate account
  std::string start_commissionNum;
  std::string end_commissionNum;
  std::string start_commissionRate;
  std::string end_commissionRate;
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string keyword;
  std::string start_price;
  std::string end_price;
  std::string page_no;
  std::string start_credit;
  std::string end_credit;
  std::string page_size;
  std::string is_guarantee;
  std::string sign_method;
};

struct TaobaokeItemName {
  std::string v;
  std::string cid;
  std::string auto_send;
  std::string area;
  std::string sort;
  std::string nick;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string start_commissionNum;
  std::string end_commissionNum;
  std::string start_commissionRate;
  std::string end_commissionRate;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string keyword;
  std::string start_price;
  std::string end_price;
  std::string page_no;
  std::string start_credit;
  std::string end_credit;
  std::string page_size;
  std::string is_guarantee;
  std::string sign_method;

  static constexpr FieldRef<TaobaokeItemName> kFields[] = {
      {"v", &TaobaokeItemName::v},
      {"cid", &TaobaokeItemName::cid},
      {"auto_send", &TaobaokeItemName::auto_send},
      {"area", &TaobaokeItemName::area},
      {"sort", &TaobaokeItemName::sort},
      {"nick", &TaobaokeItemName::nick},
      {"timestamp", &TaobaokeItemName::timestamp},
      {"http", &TaobaokeItemName::http},
      {"sign", &TaobaokeItemName::sign},
      {"start_commissionNum", &TaobaokeItemName::start_commissionNum},
      {"end_commissionNum", &TaobaokeItemName::end_commissionNum},
      {"start_commissionRate", &TaobaokeItemName::start_commissionRate},
      {"end_commissionRate", &TaobaokeItemName::end_commissionRate},
      {"fields", &TaobaokeItemName::fields},
      {"format", &TaobaokeItemName::format},
      {"method", &TaobaokeItemName::method},
      {"app_key", &TaobaokeItemName::app_key},
      {"keyword", &TaobaokeItemName::keyword},
      {"start_price", &TaobaokeItemName::start_price},
      {"end_price", &TaobaokeItemName::end_price},
      {"page_no", &TaobaokeItemName::page_no},
      {"start_credit", &TaobaokeItemName::start_credit},
      {"end_credit", &TaobaokeItemName::end_credit},
      {"page_size", &TaobaokeItemName::page_size},
      {"is_guarantee", &TaobaokeItemName::is_guarantee},
      {"sign_method", &TaobaokeItemName::sign_method}};
};

struct TaobaokeItemXML {
  std::string total_results;   // presence element, also the total count
  std::string taobaoke_items;  // list element

  static constexpr FieldRef<TaobaokeItemXML> kFields[] = {
      {"total_results", &TaobaokeItemXML::total_results},
      {"taobaoke_items", &TaobaokeItemXML::taobaoke_items}};
};

struct TaobaokeItemInfo {
  std::string iid;
  std::string nick;
  std::string title;  // tags removed
  std::string price;
  std::string total_results;
  std::string pic_url;
  std::string click_url;
  std::string commission;
  std::string commission_num;
  std::string commission_rate;
  std::string commission_volume;

  static constexpr FieldRef<TaobaokeItemInfo> kFields[] = {
      {"iid", &TaobaokeItemInfo::iid},
      {"nick", &TaobaokeItemInfo::nick},
      {"title", &TaobaokeItemInfo::title},
      {"price", &TaobaokeItemInfo::price},
      {"total_results", &TaobaokeItemInfo::total_results},
      {"pic_url", &TaobaokeItemInfo::pic_url},
      {"click_url", &TaobaokeItemInfo::click_url},
      {"commission", &TaobaokeItemInfo::commission},
      {"commission_num", &TaobaokeItemInfo::commission_num},
      {"commission_rate", &TaobaokeItemInfo::commission_rate},
      {"commission_volume", &TaobaokeItemInfo::commission_volume}};
};

using ATaobaokeItemInfo = std::array<TaobaokeItemInfo, 41>;

class TTaobaokeItem : public TApiCall<TaobaokeItemConditions, TaobaokeItemInfo,
                                      TaobaokeItemName, TaobaokeItemXML> {
 public:
  // Sent on every call instead of the clock's time.
  static constexpr const char* kFixedTimestamp = "2010-01-26 12:29:01";

  TTaobaokeItem();

  // On true `result` points at the table: one row per item of the reply, the rest empty.
  bool Execute(const TaobaokeItemConditions& cond, const TaobaokeItemInfo& back,
               const TaobaokeItemName& name, const TaobaokeItemXML& xml,
               const ATaobaokeItemInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaokeItemConditions> kConditionFields[] = {
      {"v", &TaobaokeItemConditions::v},
      {"cid", &TaobaokeItemConditions::cid},
      {"auto_send", &TaobaokeItemConditions::auto_send},
      {"area", &TaobaokeItemConditions::area},
      {"sort", &TaobaokeItemConditions::sort},
      {"nick", &TaobaokeItemConditions::nick},
      {"start_commissionNum", &TaobaokeItemConditions::start_commissionNum},
      {"end_commissionNum", &TaobaokeItemConditions::end_commissionNum},
      {"start_commissionRate", &TaobaokeItemConditions::start_commissionRate},
      {"end_commissionRate", &TaobaokeItemConditions::end_commissionRate},
      {"format", &TaobaokeItemConditions::format},
      {"method", &TaobaokeItemConditions::method},
      {"app_key", &TaobaokeItemConditions::app_key},
      {"app_sec", &TaobaokeItemConditions::app_sec},
      {"keyword", &TaobaokeItemConditions::keyword},
      {"start_price", &TaobaokeItemConditions::start_price},
      {"end_price", &TaobaokeItemConditions::end_price},
      {"page_no", &TaobaokeItemConditions::page_no},
      {"start_credit", &TaobaokeItemConditions::start_credit},
      {"end_credit", &TaobaokeItemConditions::end_credit},
      {"page_size", &TaobaokeItemConditions::page_size},
      {"is_guarantee", &TaobaokeItemConditions::is_guarantee},
      {"sign_method", &TaobaokeItemConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.total_results; }
  void ParseResponse() override;
  void ClearResults();

 private:
  ATaobaokeItemInfo table_;
};

// The ten element names of an affiliate item in the order of the `fields` parameter, shared by
// the affiliate item search and the item conversion.
template <typename Info>
std::string AffiliateItemFields(const Info& names) {
  return names.iid + "," + names.title + "," + names.nick + "," + names.pic_url + "," +
         names.price + "," + names.click_url + "," + names.commission + "," +
         names.commission_rate + "," + names.commission_num + "," + names.commission_volume;
}

// Fills the element names that have a default; `total_results` has none.
template <typename Info>
void DefaultAffiliateItemNames(Info& names) {
  Default(names.iid, "iid");
  Default(names.nick, "nick");
  Default(names.title, "title");
  Default(names.price, "price");
  Default(names.pic_url, "pic_url");
  Default(names.click_url, "click_url");
  Default(names.commission, "commission");
  Default(names.commission_num, "commission_num");
  Default(names.commission_rate, "commission_rate");
  Default(names.commission_volume, "commission_volume");
}

// Reads one affiliate item into `row`; the title as it stands.
template <typename Info>
void ReadAffiliateItem(const XmlNode& item, const Info& names, Info& row) {
  row.iid = ReadText(item, names.iid);
  row.nick = ReadText(item, names.nick);
  row.title = ReadText(item, names.title);
  row.price = ReadText(item, names.price);
  row.pic_url = ReadText(item, names.pic_url);
  row.click_url = ReadText(item, names.click_url);
  row.commission = ReadText(item, names.commission);
  row.commission_num = ReadText(item, names.commission_num);
  row.commission_rate = ReadText(item, names.commission_rate);
  row.commission_volume = ReadText(item, names.commission_volume);
}

}  // namespace vendrix
