#include "api/TaobaoSearch.h"

namespace vendrix {

TTaobaoSearch::TTaobaoSearch() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaoSearch::Execute(const TaobaoSearchConditions& cond, const TaobaoSearchInfo& back,
                            const TaobaoSearchName& name, const TaobaoSearchXML& xml,
                            PTaobaoSearchInfo& items) {
  items.reset();
  if (!Call(cond, back, name, xml)) return false;
  items = rows_;
  return true;
}

const char* TTaobaoSearch::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  bool any = !cond_.cid.empty() || !cond_.q.empty() || !cond_.nicks.empty();
  return any ? nullptr : "category, query or nick";
}

void TTaobaoSearch::ApplyDefaults() {
  ApplyCommonDefaults("taobao.items.search");
  Default(name_.q, "q");
  Default(name_.cid, "cid");
  Default(name_.nicks, "nicks");
  Default(name_.page_no, "page_no");
  Default(name_.page_size, "page_size");

  for (const auto& field : TaobaoSearchInfo::kFields) Default(back_.*field.member, field.name);

  Default(cond_.page_no, "1");
  Default(cond_.page_size, "200");

  Default(xml_.location, "location");
  Default(xml_.items, "items");
  Default(xml_.item_search, "item_search");
  Default(xml_.total_results, "total_results");
  Default(xml_.item_categories, "item_categories");
}

std::string TTaobaoSearch::BuildUrl() const {
  std::string fields = back_.iid + "," + xml_.location + "." + back_.city + "," + xml_.location +
                       "." + back_.state + "," + back_.title + "," + back_.nick + "," +
                       back_.price + "," + back_.volume + "," + back_.type + "," + back_.score +
                       "," + back_.delist_time + "," + back_.pic_url + "," + back_.post_fee;
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  request.AddIfSet(name_.cid, cond_.cid);
  request.Add(name_.fields, fields);
  request.Add(name_.format, cond_.format);
  request.Add(name_.method, cond_.method);
  request.AddIfSet(name_.nicks, cond_.nicks, ValueForm::kUtf8Encoded);
  request.AddIfSet(name_.page_no, cond_.page_no);
  request.AddIfSet(name_.page_size, cond_.page_size);
  request.AddIfSet(name_.q, cond_.q, ValueForm::kUtf8Encoded);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaoSearch::ClearResults() {
  // A new array: the one handed out earlier stays with whoever holds it, unchanged.
  rows_ = std::make_shared<std::vector<TaobaoSearchInfo>>(kRows);
}

void TTaobaoSearch::ParseResponse() {
  XmlNode root = Document().Root();
  XmlNode search = root.Child(xml_.item_search);
  XmlNode list = search.Child(xml_.items);
  size_t count = list.ChildCount();
  ClearResults();
  std::vector<TaobaoSearchInfo>& rows = *rows_;
  size_t written = 0;
  for (size_t k = 0; k < count && k < rows.size(); ++k) {
    XmlNode item = list.ChildAt(k);
    TaobaoSearchInfo& row = rows[k];
    row.iid = ReadText(item, back_.iid);
    row.nick = ReadText(item, back_.nick);
    row.price = ReadText(item, back_.price);
    row.type = ReadText(item, back_.type);
    row.score = ReadText(item, back_.score);
    row.volume = ReadText(item, back_.volume);
    row.pic_url = ReadText(item, back_.pic_url);
    row.post_fee = ReadText(item, back_.post_fee);
    row.delist_time = ReadText(item, back_.delist_time);
    XmlNode location = item.Child(xml_.location);
    row.city = ReadText(location, back_.city);
    row.state = ReadText(location, back_.state);
    row.title = StripTags(ReadText(item, back_.title));
    row.total = ReadText(root, xml_.total_results);
    written = k + 1;
  }
  XmlNode categories = search.Child(xml_.item_categories);
  size_t category_count = categories.ChildCount();
  for (size_t j = 0; j < category_count && j < rows.size(); ++j) {
    XmlNode category = categories.ChildAt(j);
    rows[j].count = ReadText(category, back_.count);
    rows[j].category_id = ReadText(category, back_.category_id);
    written = std::max(written, j + 1);
  }
  rows_written_ = written;
}

}  // namespace vendrix
