#include "api/TaobaokeItem.h"

namespace vendrix {

TTaobaokeItem::TTaobaokeItem() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaokeItem::Execute(const TaobaokeItemConditions& cond, const TaobaokeItemInfo& back,
                            const TaobaokeItemName& name, const TaobaokeItemXML& xml,
                            const ATaobaokeItemInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &table_;
  return true;
}

const char* TTaobaokeItem::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  if (cond_.cid.empty() && cond_.keyword.empty()) return "category or keyword";
  return cond_.nick.empty() ? "affiliate nick" : nullptr;
}

void TTaobaokeItem::ApplyDefaults() {
  ApplyCommonDefaults("taobao.taobaoke.items.get");
  Default(name_.cid, "cid");
  Default(name_.auto_send, "auto_send");
  Default(name_.area, "area");
  Default(name_.sort, "sort");
  Default(name_.nick, "nick");
  Default(name_.start_commissionNum, "start_commissionNum");
  Default(name_.end_commissionNum, "end_commissionNum");
  Default(name_.start_commissionRate, "start_commissionRate");
  Default(name_.end_commissionRate, "end_commissionRate");
  Default(name_.keyword, "keyword");
  Default(name_.start_price, "start_price");
  Default(name_.end_price, "end_price");
  Default(name_.page_no, "page_no");
  Default(name_.start_credit, "start_credit");
  Default(name_.end_credit, "end_credit");
  Default(name_.page_size, "page_size");
  Default(name_.is_guarantee, "is_guarantee");

  DefaultAffiliateItemNames(back_);

  Default(xml_.total_results, "total_results");
  Default(xml_.taobaoke_items, "taobaoke_items");
}

std::string TTaobaokeItem::BuildUrl() const {
  const TaobaokeItemConditions& c = cond_;
  const TaobaokeItemName& n = name_;
  SignedRequest request(c.app_sec, n.app_key, c.app_key);
  request.AddIfSet(n.area, c.area, ValueForm::kUtf8Encoded);
  request.AddIfSet(n.auto_send, c.auto_send);
  request.AddIfSet(n.cid, c.cid);
  request.AddIfSet(n.end_commissionNum, c.end_commissionNum);
  request.AddIfSet(n.end_commissionRate, c.end_commissionRate);
  request.AddIfSet(n.end_credit, c.end_credit);
  request.AddIfSet(n.end_price, c.end_price);
  request.Add(n.fields, AffiliateItemFields(back_));
  request.Add(n.format, c.format);
  request.AddIfSet(n.is_guarantee, c.is_guarantee);
  request.AddIfSet(n.keyword, c.keyword, ValueForm::kUtf8Encoded);
  request.Add(n.method, c.method);
  request.Add(n.nick, c.nick, ValueForm::kUtf8Encoded);
  request.AddIfSet(n.page_no, c.page_no);
  request.AddIfSet(n.page_size, c.page_size);
  request.Add(n.sign_method, c.sign_method);
  request.AddIfSet(n.sort, c.sort);
  request.AddIfSet(n.start_commissionNum, c.start_commissionNum);
  request.AddIfSet(n.start_commissionRate, c.start_commissionRate);
  request.AddIfSet(n.start_credit, c.start_credit);
  request.AddIfSet(n.start_price, c.start_price);
  request.Add(n.timestamp, kFixedTimestamp, ValueForm::kEncoded);
  request.Add(n.v, c.v);
  return request.Address(n.http, n.sign);
}

void TTaobaokeItem::ClearResults() { table_.fill(TaobaokeItemInfo{}); }

void TTaobaokeItem::ParseResponse() {
  XmlNode root = Document().Root();
  XmlNode list = root.Child(xml_.taobaoke_items);  // a missing list reads as an empty one
  size_t count = list.ChildCount();
  ClearResults();
  for (size_t k = 0; k < count && k < table_.size(); ++k) {
    TaobaokeItemInfo& row = table_[k];
    row.total_results = ReadText(root, xml_.total_results);
    ReadAffiliateItem(list.ChildAt(k), back_, row);
    row.title = StripTags(row.title);
    rows_written_ = k + 1;
  }
}

}  // namespace vendrix
