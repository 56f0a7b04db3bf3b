// TTaobaoUsers: the platform call "taobao.users.get", location and credit of users by nick.
// The search worker uses it, from its own thread, to look sellers up in batches of 40.
#pragma once

#include <array>
#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaoUsersConditions {
  std::string v;
  std::string nicks;  // each nick followed by ","
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string sign_method;
};

struct TaobaoUsersName {
  std::string v;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string nicks;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string sign_method;

  static constexpr FieldRef<TaobaoUsersName> kFields[] = {
      {"v", &TaobaoUsersName::v},
      {"timestamp", &TaobaoUsersName::timestamp},
      {"http", &TaobaoUsersName::http},
      {"sign", &TaobaoUsersName::sign},
      {"nicks", &TaobaoUsersName::nicks},
      {"fields", &TaobaoUsersName::fields},
      {"format", &TaobaoUsersName::format},
      {"method", &TaobaoUsersName::method},
      {"app_key", &TaobaoUsersName::app_key},
      {"sign_method", &TaobaoUsersName::sign_method}};
};

struct TaobaoUsersXML {
  std::string user;  // carried, not consulted by the walk
  std::string users;
  std::string location;
  std::string buyer_credit;
  std::string seller_credit;

  static constexpr FieldRef<TaobaoUsersXML> kFields[] = {
      {"user", &TaobaoUsersXML::user},
      {"users", &TaobaoUsersXML::users},
      {"location", &TaobaoUsersXML::location},
      {"buyer_credit", &TaobaoUsersXML::buyer_credit},
      {"seller_credit", &TaobaoUsersXML::seller_credit}};
};

struct UserCredit {
  std::string level;
  std::string score;
  std::string good_num;
  std::string total_num;

  static constexpr FieldRef<UserCredit> kFields[] = {{"level", &UserCredit::level},
                                                     {"score", &UserCredit::score},
                                                     {"good_num", &UserCredit::good_num},
                                                     {"total_num", &UserCredit::total_num}};
};

struct TaobaoUsersInfo {
  std::string sex;
  std::string nick;
  std::string city;
  std::string state;
  std::string user_id;
  std::string created;
  std::string last_visit;
  UserCredit buyer_credit;
  UserCredit seller_credit;

  // The plain fields; the two credit blocks follow them in record order.
  static constexpr FieldRef<TaobaoUsersInfo> kFields[] = {
      {"sex", &TaobaoUsersInfo::sex},         {"nick", &TaobaoUsersInfo::nick},
      {"city", &TaobaoUsersInfo::city},       {"state", &TaobaoUsersInfo::state},
      {"user_id", &TaobaoUsersInfo::user_id}, {"created", &TaobaoUsersInfo::created},
      {"last_visit", &TaobaoUsersInfo::last_visit}};
};

using ATaobaoUsersInfo = std::array<TaobaoUsersInfo, 41>;

class TTaobaoUsers
    : public TApiCall<TaobaoUsersConditions, TaobaoUsersInfo, TaobaoUsersName, TaobaoUsersXML> {
 public:
  TTaobaoUsers();

  // On true `result` points at the table: row k holds the k-th user of the reply.
  bool Execute(const TaobaoUsersConditions& cond, const TaobaoUsersInfo& back,
               const TaobaoUsersName& name, const TaobaoUsersXML& xml,
               const ATaobaoUsersInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaoUsersConditions> kConditionFields[] = {
      {"v", &TaobaoUsersConditions::v},
      {"nicks", &TaobaoUsersConditions::nicks},
      {"format", &TaobaoUsersConditions::format},
      {"method", &TaobaoUsersConditions::method},
      {"app_key", &TaobaoUsersConditions::app_key},
      {"app_sec", &TaobaoUsersConditions::app_sec},
      {"sign_method", &TaobaoUsersConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.users; }
  void ParseResponse() override;
  void ClearResults();

 private:
  ATaobaoUsersInfo table_;
};

}  // namespace vendrix
