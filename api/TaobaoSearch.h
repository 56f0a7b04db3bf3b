// TTaobaoSearch: the platform call "taobao.items.search", one page of a seller's items (and
// the item categories they fall into). Used on the window's thread for the shop page. The
// rows it hands out are shared and never written again, so a caller may keep them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaoSearchConditions {
  std::string v;
  std::string q;
  std::string cid;
  std::string nicks;
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string page_no;
  std::string page_size;
  std::string sign_method;
};

struct TaobaoSearchName {
  std::string v;
  std::string q;
  std::string cid;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string nicks;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string page_no;
  std::string page_size;
  std::string sign_method;

  static constexpr FieldRef<TaobaoSearchName> kFields[] = {
      {"v", &TaobaoSearchName::v},
      {"q", &TaobaoSearchName::q},
      {"cid", &TaobaoSearchName::cid},
      {"timestamp", &TaobaoSearchName::timestamp},
      {"http", &TaobaoSearchName::http},
      {"sign", &TaobaoSearchName::sign},
      {"nicks", &TaobaoSearchName::nicks},
      {"fields", &TaobaoSearchName::fields},
      {"format", &TaobaoSearchName::format},
      {"method", &TaobaoSearchName::method},
      {"app_key", &TaobaoSearchName::app_key},
      {"page_no", &TaobaoSearchName::page_no},
      {"page_size", &TaobaoSearchName::page_size},
      {"sign_method", &TaobaoSearchName::sign_method}};
};

struct TaobaoSearchXML {
  std::string location;
  std::string items;
  std::string item_search;
  std::string total_results;  // presence element, also the total count
  std::string item_categories;

  static constexpr FieldRef<TaobaoSearchXML> kFields[] = {
      {"location", &TaobaoSearchXML::location},
      {"items", &TaobaoSearchXML::items},
      {"item_search", &TaobaoSearchXML::item_search},
      {"total_results", &TaobaoSearchXML::total_results},
      {"item_categories", &TaobaoSearchXML::item_categories}};
};

struct TaobaoSearchInfo {
  std::string iid;
  std::string nick;
  std::string city;
  std::string count;  // of the category in the same row position, unrelated to the item
  std::string state;
  std::string title;  // tags removed
  std::string total;
  std::string price;
  std::string type;
  std::string score;
  std::string volume;
  std::string pic_url;
  std::string post_fee;
  std::string delist_time;
  std::string category_id;

  static constexpr FieldRef<TaobaoSearchInfo> kFields[] = {
      {"iid", &TaobaoSearchInfo::iid},
      {"nick", &TaobaoSearchInfo::nick},
      {"city", &TaobaoSearchInfo::city},
      {"count", &TaobaoSearchInfo::count},
      {"state", &TaobaoSearchInfo::state},
      {"title", &TaobaoSearchInfo::title},
      {"total", &TaobaoSearchInfo::total},
      {"price", &TaobaoSearchInfo::price},
      {"type", &TaobaoSearchInfo::type},
      {"score", &TaobaoSearchInfo::score},
      {"volume", &TaobaoSearchInfo::volume},
      {"pic_url", &TaobaoSearchInfo::pic_url},
      {"post_fee", &TaobaoSearchInfo::post_fee},
      {"delist_time", &TaobaoSearchInfo::delist_time},
      {"category_id", &TaobaoSearchInfo::category_id}};
};

// The rows of one successful search, 201 of them, shared by reference counting.
using PTaobaoSearchInfo = std::shared_ptr<const std::vector<TaobaoSearchInfo>>;

// Whether the walk wrote an item into `row`: only item rows carry the total, an id or a title;
// rows past the items hold at most a category's count and id.
inline bool IsItemRow(const TaobaoSearchInfo& row) {
  return !row.total.empty() || !row.iid.empty() || !row.title.empty();
}

class TTaobaoSearch : public TApiCall<TaobaoSearchConditions, TaobaoSearchInfo,
                                      TaobaoSearchName, TaobaoSearchXML> {
 public:
  static constexpr size_t kRows = 201;

  TTaobaoSearch();

  // Empties `items`; on true it shares the rows of this call: row k holds the k-th item and
  // the k-th category of the reply, by position.
  bool Execute(const TaobaoSearchConditions& cond, const TaobaoSearchInfo& back,
               const TaobaoSearchName& name, const TaobaoSearchXML& xml,
               PTaobaoSearchInfo& items);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaoSearchConditions> kConditionFields[] = {
      {"v", &TaobaoSearchConditions::v},
      {"q", &TaobaoSearchConditions::q},
      {"cid", &TaobaoSearchConditions::cid},
      {"nicks", &TaobaoSearchConditions::nicks},
      {"format", &TaobaoSearchConditions::format},
      {"method", &TaobaoSearchConditions::method},
      {"app_key", &TaobaoSearchConditions::app_key},
      {"app_sec", &TaobaoSearchConditions::app_sec},
      {"page_no", &TaobaoSearchConditions::page_no},
      {"page_size", &TaobaoSearchConditions::page_size},
      {"sign_method", &TaobaoSearchConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.total_results; }
  void ParseResponse() override;
  void ClearResults();

 private:
  // Filled by the walk, handed out only when the whole walk succeeded.
  std::shared_ptr<std::vector<TaobaoSearchInfo>> rows_;
};

}  // namespace vendrix
