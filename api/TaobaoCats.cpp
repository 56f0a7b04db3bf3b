#include "api/TaobaoCats.h"

namespace vendrix {

TTaobaoCats::TTaobaoCats() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaoCats::Execute(const TaobaoCatsConditions& cond, const TaobaoCatsInfo& back,
                          const TaobaoCatsName& name, const TaobaoCatsXML& xml,
                          const ATaobaoCatsInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &table_;
  return true;
}

const char* TTaobaoCats::MissingValue() const {
  return HasCredentials(cond_.app_key, cond_.app_sec) ? nullptr : "credentials";
}

void TTaobaoCats::ApplyDefaults() {
  ApplyCommonDefaults("taobao.itemcats.get");
  Default(name_.cids, "cids");
  Default(name_.parent_cid, "parent_cid");

  Default(back_.cid, "cid");
  Default(back_.name, "name");
  Default(back_.status, "status");
  Default(back_.is_parent, "is_parent");
  Default(back_.parent_cid, "parent_cid");
  Default(back_.sort_order, "sort_order");

  // Without parent and ids the top level is asked for.
  if (cond_.parent_cid.empty() && cond_.cids.empty()) cond_.parent_cid = "0";

  Default(xml_.item_cat, "item_cat");
  Default(xml_.item_cats, "item_cats");
}

std::string TTaobaoCats::BuildUrl() const {
  std::string fields = back_.cid + "," + back_.name + "," + back_.status + "," +
                       back_.is_parent + "," + back_.parent_cid + "," + back_.sort_order;
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  // cids and parent_cid are tested on their names, which are never empty: both always go.
  request.Add(name_.cids, cond_.cids);
  request.Add(name_.fields, fields);
  request.Add(name_.format, cond_.format);
  request.Add(name_.method, cond_.method);
  request.Add(name_.parent_cid, cond_.parent_cid);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaoCats::ClearResults() { table_.fill(TaobaoCatsInfo{}); }

void TTaobaoCats::ParseResponse() {
  XmlNode list = Document().Root().Child(xml_.item_cats);
  size_t count = list.ChildCount();
  ClearResults();
  for (size_t i = 0; i < count && i < table_.size(); ++i) {
    XmlNode item = list.ChildAt(i);
    TaobaoCatsInfo& row = table_[i];
    row.cid = ReadText(item, back_.cid);
    row.name = ReadText(item, back_.name);
    row.status = ReadText(item, back_.status);
    row.is_parent = ReadText(item, back_.is_parent);
    row.parent_cid = ReadText(item, back_.parent_cid);
    row.sort_order = ReadText(item, back_.sort_order);
    rows_written_ = i + 1;
  }
}

}  // namespace vendrix
