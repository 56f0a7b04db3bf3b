#include "api/TaobaoUsers.h"

namespace vendrix {
namespace {

void ReadCredit(const XmlNode& block, const UserCredit& names, UserCredit& credit) {
  credit.level = ReadText(block, names.level);
  credit.score = ReadText(block, names.score);
  credit.good_num = ReadText(block, names.good_num);
  credit.total_num = ReadText(block, names.total_num);
}

}  // namespace

TTaobaoUsers::TTaobaoUsers() : TApiCall(true, api_defaults::kReadTimeout) {}

bool TTaobaoUsers::Execute(const TaobaoUsersConditions& cond, const TaobaoUsersInfo& back,
                           const TaobaoUsersName& name, const TaobaoUsersXML& xml,
                           const ATaobaoUsersInfo*& result) {
  if (!Call(cond, back, name, xml)) return false;
  result = &table_;
  return true;
}

const char* TTaobaoUsers::MissingValue() const {
  if (!HasCredentials(cond_.app_key, cond_.app_sec)) return "credentials";
  return cond_.nicks.empty() ? "nicks" : nullptr;
}

void TTaobaoUsers::ApplyDefaults() {
  ApplyCommonDefaults("taobao.users.get");
  Default(name_.nicks, "nicks");

  Default(back_.sex, "sex");
  Default(back_.nick, "nick");
  Default(back_.city, "city");
  Default(back_.state, "state");
  Default(back_.user_id, "user_id");
  Default(back_.created, "created");
  Default(back_.last_visit, "last_visit");
  Default(back_.buyer_credit.level, "level");
  Default(back_.buyer_credit.score, "score");
  Default(back_.buyer_credit.good_num, "good_num");
  Default(back_.buyer_credit.total_num, "total_num");
  // Both credit blocks are always read with the same element names.
  back_.seller_credit = back_.buyer_credit;

  Default(xml_.user, "user");
  Default(xml_.users, "users");
  Default(xml_.location, "location");
  Default(xml_.buyer_credit, "buyer_credit");
  Default(xml_.seller_credit, "seller_credit");
}

std::string TTaobaoUsers::BuildUrl() const {
  std::string fields = back_.sex + "," + back_.nick + "," + xml_.location + "." + back_.city +
                       "," + xml_.location + "." + back_.state + "," + back_.user_id + "," +
                       back_.created + "," + back_.last_visit + "," + xml_.buyer_credit + "," +
                       xml_.seller_credit;
  SignedRequest request(cond_.app_sec, name_.app_key, cond_.app_key);
  request.Add(name_.fields, fields);
  request.Add(name_.format, cond_.format);
  request.Add(name_.method, cond_.method);
  request.Add(name_.nicks, cond_.nicks, ValueForm::kUtf8Encoded);
  request.Add(name_.sign_method, cond_.sign_method);
  request.Add(name_.timestamp, Timestamp(), ValueForm::kEncoded);
  request.Add(name_.v, cond_.v);
  return request.Address(name_.http, name_.sign);
}

void TTaobaoUsers::ClearResults() { table_.fill(TaobaoUsersInfo{}); }

void TTaobaoUsers::ParseResponse() {
  XmlNode list = Document().Root().Child(xml_.users);
  size_t count = list.ChildCount();
  ClearResults();
  for (size_t i = 0; i < count && i < table_.size(); ++i) {
    XmlNode user = list.ChildAt(i);
    TaobaoUsersInfo& row = table_[i];
    row.sex = ReadText(user, back_.sex);
    row.nick = ReadText(user, back_.nick);
    row.user_id = ReadText(user, back_.user_id);
    row.created = ReadText(user, back_.created);
    row.last_visit = ReadText(user, back_.last_visit);
    ReadCredit(user.Child(xml_.buyer_credit), back_.buyer_credit, row.buyer_credit);
    ReadCredit(user.Child(xml_.seller_credit), back_.seller_credit, row.seller_credit);
    XmlNode location = user.Child(xml_.location);
    row.city = ReadText(location, back_.city);
    row.state = ReadText(location, back_.state);
    rows_written_ = i + 1;
  }
}

}  // namespace vendrix
