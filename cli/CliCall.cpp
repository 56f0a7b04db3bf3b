#include "cli/CliCall.h"

#include <iostream>
#include <string_view>

#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "cli/CliText.h"
#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

using cli::kFailed;
using cli::kOk;
using cli::kUsage;

struct Assignment {
  std::string name;
  std::string value;  // GBK
};

// A GBK value fit for one TSV cell.
std::string Cell(const std::string& gbk) { return CellText(GbkToUtf8(gbk)); }

// Column names and values of one result row, in record order.
template <typename Info>
std::vector<std::pair<std::string, std::string>> Columns(const Info& row) {
  std::vector<std::pair<std::string, std::string>> columns;
  for (const auto& field : Info::kFields) columns.emplace_back(field.name, row.*field.member);
  return columns;
}

template <>
std::vector<std::pair<std::string, std::string>> Columns(const TaobaoUsersInfo& row) {
  std::vector<std::pair<std::string, std::string>> columns;
  for (const auto& field : TaobaoUsersInfo::kFields) {
    columns.emplace_back(field.name, row.*field.member);
  }
  for (const auto& [block, credit] : {std::pair{"buyer_credit", &row.buyer_credit},
                                      std::pair{"seller_credit", &row.seller_credit}}) {
    for (const auto& field : UserCredit::kFields) {
      columns.emplace_back(std::string(block) + "." + field.name, credit->*field.member);
    }
  }
  return columns;
}

template <typename Info, size_t N>
const Info& RowAt(const std::array<Info, N>* table, size_t i) {
  return (*table)[i];
}
const TaobaoShopInfo& RowAt(const TaobaoShopInfo* shop, size_t) { return *shop; }
const TaobaoSearchInfo& RowAt(const PTaobaoSearchInfo& items, size_t i) { return (*items)[i]; }

template <typename Info, typename Result>
void PrintTable(const Result& result, size_t rows) {
  std::string header;
  for (const auto& [name, value] : Columns(Info{})) header += (header.empty() ? "" : "\t") + name;
  std::cout << header << "\n";
  for (size_t i = 0; i < rows; ++i) {
    std::string line;
    bool first = true;
    for (const auto& [name, value] : Columns(RowAt(result, i))) {
      if (!first) line += '\t';
      line += Cell(value);
      first = false;
    }
    std::cout << line << "\n";
  }
}

// Loads the configuration, fills the records, sets the given values and runs the call.
template <typename Component, typename Conditions, typename Info, typename Name, typename Xml,
          typename Result>
int Call(void (TXMLData::*read)(Conditions&, Info&, Name&, Xml&),
         const std::vector<Assignment>& values) {
  Conditions cond;
  for (const Assignment& a : values) {
    bool known = false;
    for (const auto& field : Component::kConditionFields) {
      if (a.name == field.name) {
        known = true;
        break;
      }
    }
    if (!known) {
      std::cerr << "vendrix-cli: this call has no condition '" << a.name << "'\n";
      return kUsage;
    }
  }

  // The run's credentials and the document's names, as start-up takes them.
  ShopFinder finder;
  if (!cli::StartUp(finder, true)) return kUsage;
  if (!finder.StartedUp()) return kFailed;
  cond.app_key = finder.KeItemCond.app_key;
  cond.app_sec = finder.KeItemCond.app_sec;
  Info back;
  Name name;
  Xml xml;
  (finder.XMLData1.*read)(cond, back, name, xml);
  for (const Assignment& a : values) {
    for (const auto& field : Component::kConditionFields) {
      if (a.name == field.name) cond.*field.member = a.value;
    }
  }

  Component component;
  Result result{};
  if (!component.Execute(cond, back, name, xml, result)) {
    std::cerr << "vendrix-cli: the call failed: " << cli::Why(component.LastFailure()) << "\n";
    return kFailed;
  }
  PrintTable<Info>(result, component.RowsWritten());
  return kOk;
}

}  // namespace

int RunCall(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::cerr << "vendrix-cli: call needs a METHOD\n";
    return kUsage;
  }
  std::vector<Assignment> values;
  for (size_t i = 1; i < args.size(); ++i) {
    size_t equals = args[i].find('=');
    if (equals == std::string::npos || equals == 0) {
      std::cerr << "vendrix-cli: '" << args[i] << "' is not name=value\n";
      return kUsage;
    }
    std::optional<std::string> value =
        cli::GbkArgument(args[i].substr(equals + 1), "the value of " + args[i].substr(0, equals));
    if (!value) return kUsage;
    values.push_back({args[i].substr(0, equals), *value});
  }

  const std::string& method = args[0];
  if (method == "taobao.itemcats.get") {
    return Call<TTaobaoCats, TaobaoCatsConditions, TaobaoCatsInfo, TaobaoCatsName, TaobaoCatsXML,
                const ATaobaoCatsInfo*>(&TXMLData::ReadTaobaoCats, values);
  }
  if (method == "taobao.users.get") {
    return Call<TTaobaoUsers, TaobaoUsersConditions, TaobaoUsersInfo, TaobaoUsersName,
                TaobaoUsersXML, const ATaobaoUsersInfo*>(&TXMLData::ReadTaobaoUsers, values);
  }
  if (method == "taobao.shop.get") {
    return Call<TTaobaoShop, TaobaoShopConditions, TaobaoShopInfo, TaobaoShopName, TaobaoShopXML,
                const TaobaoShopInfo*>(&TXMLData::ReadTaobaoShop, values);
  }
  if (method == "taobao.taobaoke.shops.convert") {
    return Call<TTaobaokeShop, TaobaokeShopConditions, TaobaokeShopInfo, TaobaokeShopName,
                TaobaokeShopXML, const ATaobaokeShopInfo*>(&TXMLData::ReadTaobaokeShop, values);
  }
  if (method == "taobao.items.search") {
    return Call<TTaobaoSearch, TaobaoSearchConditions, TaobaoSearchInfo, TaobaoSearchName,
                TaobaoSearchXML, PTaobaoSearchInfo>(&TXMLData::ReadTaobaoSearch, values);
  }
  if (method == "taobao.taobaoke.items.get") {
    return Call<TTaobaokeItem, TaobaokeItemConditions, TaobaokeItemInfo, TaobaokeItemName,
                TaobaokeItemXML, const ATaobaokeItemInfo*>(&TXMLData::ReadTaobaokeItem, values);
  }
  if (method == "taobao.taobaoke.items.convert") {
    return Call<TTaobaokeConvert, TaobaokeConvertConditions, TaobaokeConvertInfo,
                TaobaokeConvertName, TaobaokeConvertXML, const ATaobaokeConvertInfo*>(
        &TXMLData::ReadTaobaokeConvert, values);
  }
  std::cerr << "vendrix-cli: unknown method '" << method << "'\n";
  return kUsage;
}

}  // namespace vendrix
