// TTaobaoCats: the platform call "taobao.itemcats.get", the item categories under a parent
// (the top level by default). Used once at start-up, on the window's thread.
#pragma once

#include <array>
#include <string>

#include "api/ApiFrame.h"

namespace vendrix {

struct TaobaoCatsConditions {
  std::string v;
  std::string cids;
  std::string format;
  std::string method;
  std::string app_key;
  std::string app_sec;
  std::string parent_cid;
  std::string sign_method;
};

struct TaobaoCatsName {
  std::string v;
  std::string cids;
  std::string timestamp;
  std::string http;
  std::string sign;
  std::string fields;
  std::string format;
  std::string method;
  std::string app_key;
  std::string parent_cid;
  std::string sign_method;

  static constexpr FieldRef<TaobaoCatsName> kFields[] = {
      {"v", &TaobaoCatsName::v},
      {"cids", &TaobaoCatsName::cids},
      {"timestamp", &TaobaoCatsName::timestamp},
      {"http", &TaobaoCatsName::http},
      {"sign", &TaobaoCatsName::sign},
      {"fields", &TaobaoCatsName::fields},
      {"format", &TaobaoCatsName::format},
      {"method", &TaobaoCatsName::method},
      {"app_key", &TaobaoCatsName::app_key},
      {"parent_cid", &TaobaoCatsName::parent_cid},
      {"sign_method", &TaobaoCatsName::sign_method}};
};

struct TaobaoCatsXML {
  std::string item_cat;   // carried, not consulted by the walk
  std::string item_cats;  // presence element and list element

  static constexpr FieldRef<TaobaoCatsXML> kFields[] = {
      {"item_cat", &TaobaoCatsXML::item_cat},
      {"item_cats", &TaobaoCatsXML::item_cats}};
};

struct TaobaoCatsInfo {
  std::string cid;
  std::string name;
  std::string status;
  std::string is_parent;
  std::string parent_cid;
  std::string sort_order;

  static constexpr FieldRef<TaobaoCatsInfo> kFields[] = {
      {"cid", &TaobaoCatsInfo::cid},           {"name", &TaobaoCatsInfo::name},
      {"status", &TaobaoCatsInfo::status},     {"is_parent", &TaobaoCatsInfo::is_parent},
      {"parent_cid", &TaobaoCatsInfo::parent_cid}, {"sort_order", &TaobaoCatsInfo::sort_order}};
};

using ATaobaoCatsInfo = std::array<TaobaoCatsInfo, 101>;

class TTaobaoCats
    : public TApiCall<TaobaoCatsConditions, TaobaoCatsInfo, TaobaoCatsName, TaobaoCatsXML> {
 public:
  TTaobaoCats();

  // On true `result` points at the table: one row per category of the reply, in its order,
  // the rest empty. On false `result` is untouched.
  bool Execute(const TaobaoCatsConditions& cond, const TaobaoCatsInfo& back,
               const TaobaoCatsName& name, const TaobaoCatsXML& xml,
               const ATaobaoCatsInfo*& result);

  const char* MissingValue() const override;
  void ApplyDefaults() override;
  std::string BuildUrl() const override;

  static constexpr FieldRef<TaobaoCatsConditions> kConditionFields[] = {
      {"v", &TaobaoCatsConditions::v},
      {"cids", &TaobaoCatsConditions::cids},
      {"format", &TaobaoCatsConditions::format},
      {"method", &TaobaoCatsConditions::method},
      {"app_key", &TaobaoCatsConditions::app_key},
      {"app_sec", &TaobaoCatsConditions::app_sec},
      {"parent_cid", &TaobaoCatsConditions::parent_cid},
      {"sign_method", &TaobaoCatsConditions::sign_method}};

 protected:
  const std::string& PresenceName() const override { return xml_.item_cats; }
  void ParseResponse() override;
  void ClearResults();

 private:
  ATaobaoCatsInfo table_;
};

}  // namespace vendrix
