#include "api/TaobaokeConvert.h"

#include "api/TaobaokeItem.h"

namespace vendrix {

TTaobaokeConvert::TTaobaokeConvert() : TApiCall(false, 0) {}

bool TTaobaokeConvert::Execute(const TaobaokeConvertConditions& cond,
                               const TaobaokeConvertInfo& back, const TaobaokeConvertName& name,
                               const TaobaokeConvertXML& xml,
                               const ATaobaokeConvertInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &table_;
  return true;
}

const char* TTaobaokeConvert::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  if (cond_.iids.empty()) return "item ids";
  return cond_.nick.empty() ? "affiliate nick" : nullptr;
}

void TTaobaokeConvert::ApplyDefaults() {
  ApplyCommonDefaults("taobao.taobaoke.items.convert");
  Default(name_.iids, "iids");
  Default(name_.nick, "nick");

  DefaultAffiliateItemNames(back_);

  Default(xml_.total_results, "total_results");
  Default(xml_.taobaoke_items, "taobaoke_items");
}

std::string TTaobaokeConvert::BuildUrl() const {
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  request.Add(name_.fields, AffiliateItemFields(back_));
  request.Add(name_.format, cond_.format);
  request.Add(name_.iids, cond_.iids);
  request.Add(name_.method, cond_.method);
  request.Add(name_.nick, cond_.nick, ValueForm::kUtf8Encoded);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaokeConvert::LoadReply(const std::string& address) {
  Document().LoadFromAddress(address);
}

void TTaobaokeConvert::ClearResults() { table_.fill(TaobaokeConvertInfo{}); }

void TTaobaokeConvert::ParseResponse() {
  XmlNode root = Document().Root();
  XmlNode list = root.Child(xml_.taobaoke_items);
  size_t count = list.ChildCount();
  ClearResults();
  for (size_t k = 0; k < count && k < table_.size(); ++k) {
    TaobaokeConvertInfo& row = table_[k];
    row.total_results = ReadText(root, xml_.total_results);
    ReadAffiliateItem(list.ChildAt(k), back_, row);
    rows_written_ = k + 1;
  }
}

}  // namespace vendrix
