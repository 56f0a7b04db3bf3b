#include "cli/CliFinder.h"

#include <iostream>

#include "app/ShopFinder.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage(const std::string& problem) {
  std::cerr << "vendrix-cli: " << problem << "\n";
  return kUsage;
}

// A credit choice given as a name ("1diamond") or a level (6); -1 when it is neither.
int CreditIndex(const std::string& text) {
  const std::vector<CreditLevel>& levels = CreditLevels();
  for (size_t i = 0; i < levels.size(); ++i) {
    if (levels[i].name == text || std::to_string(levels[i].level) == text) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string CsvField(const std::string& utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void PrintRows(const std::vector<SellerRow>& rows, const std::string& format) {
  if (format == "json") {
    std::cout << "[";
    for (size_t i = 0; i < rows.size(); ++i) {
      std::cout << (i ? ",\n " : "") << "{\"nick\":" << JsonString(GbkToUtf8(rows[i].nick))
                << ",\"location\":" << JsonString(GbkToUtf8(rows[i].location))
                << ",\"level\":" << rows[i].level << "}";
    }
    std::cout << "]\n";
    return;
  }
  if (format == "csv") std::cout << "nick,location,level\n";
  for (const SellerRow& row : rows) {
    std::string nick = GbkToUtf8(row.nick), location = GbkToUtf8(row.location);
    if (format == "csv") {
      std::cout << CsvField(nick) << "," << CsvField(location) << "," << row.level << "\n";
    } else {
      std::cout << nick << "\t" << location << "\t" << row.level << "\n";
    }
  }
}

// Start-up as the window runs it; a configuration that cannot be read is reported but not
// fatal, as in the window: the search that follows then finds nothing.
void StartUp(ShopFinder& finder) {
  if (!finder.StartUp()) {
    std::cerr << "vendrix-cli: the configuration document at "
              << finder.GetSettings().VendorBase + ConfigPath << " could not be read\n";
  }
}

// A seller row for `nick`, looked up so that the shop page shows location and credit.
size_t PrepareRow(ShopFinder& finder, const std::string& nick) {
  finder.Sellers().assign(1, Info{});
  finder.Sellers()[0].nick = Utf8ToGbk(nick);
  finder.LookUpSellers(1);
  return 0;
}

}  // namespace

int RunCategories(const std::vector<std::string>& args) {
  if (!args.empty()) return Usage("categories takes no arguments");
  ShopFinder finder;
  StartUp(finder);
  if (finder.Cats()[0].name.empty()) return kFailed;
  for (const CatsInfo& c : finder.Cats()) {
    if (c.name.empty()) break;
    std::cout << c.cid << "\t" << GbkToUtf8(c.name) << "\n";
  }
  return kOk;
}

int RunSearch(const std::vector<std::string>& args) {
  std::string category = "0", low = "1", high = "20", region, count = "40", format = "tsv";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = arg == "--category" ? &category
                          : arg == "--low"    ? &low
                          : arg == "--high"   ? &high
                          : arg == "--region" ? &region
                          : arg == "--count"  ? &count
                          : arg == "--format" ? &format
                                              : nullptr;
    if (target == nullptr) return Usage("unknown option '" + arg + "'");
    if (i + 1 >= args.size()) return Usage(arg + " needs a value");
    *target = args[++i];
  }
  if (format != "tsv" && format != "csv" && format != "json") {
    return Usage("--format is tsv, csv or json");
  }

  SearchChoices choices;
  choices.low_credit = CreditIndex(low);
  choices.high_credit = CreditIndex(high);
  if (choices.low_credit < 0 || choices.high_credit < 0) {
    return Usage("--low and --high take a credit name (1heart...5goldencrown) or level 1-20");
  }
  ShopFinder::OrderCreditRange(choices.low_credit, choices.high_credit);
  choices.region = region.empty() ? 0 : -1;
  for (size_t r = 0; r < Regions().size() && !region.empty(); ++r) {
    if (GbkToUtf8(Regions()[r].item) == region) choices.region = static_cast<int>(r);
  }
  if (choices.region < 0) return Usage("unknown region '" + region + "'");
  choices.region_text = Regions()[static_cast<size_t>(choices.region)].item;
  choices.count = ShopFinder::ClampCount(count);

  ShopFinder finder;
  StartUp(finder);
  choices.category = -1;
  for (size_t c = 0; c < finder.Cats().size(); ++c) {
    if (!finder.Cats()[c].name.empty() && finder.Cats()[c].cid == category) {
      choices.category = static_cast<int>(c);
      break;
    }
  }
  if (choices.category < 0 && finder.ConfigLoaded()) {
    return Usage("unknown category '" + category + "' (see vendrix-cli categories)");
  }

  SearchOutcome outcome = finder.RunSearch(choices);
  if (!outcome.found) {
    std::cerr << "没有找到相关卖家\n";
    return kFailed;
  }
  PrintRows(outcome.rows, format);
  return kOk;
}

int RunShop(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("shop takes one NICK");
  ShopFinder finder;
  StartUp(finder);
  size_t row = PrepareRow(finder, args[0]);
  if (!finder.LoadShopItems(row)) {
    std::cerr << "vendrix-cli: the shop or the items of '" << args[0]
              << "' could not be loaded; the page shows what is known\n";
  }
  std::cout << GbkToUtf8(finder.BuildShopPage(row)) << "\n";
  return finder.Sellers()[row].shop_loaded ? kOk : kFailed;
}

int RunConvert(const std::vector<std::string>& args) {
  if (args.size() != 2 || (args[0] != "item" && args[0] != "shop")) {
    return Usage("convert takes 'item IID' or 'shop NICK'");
  }
  ShopFinder finder;
  StartUp(finder);
  auto print = [](const std::string& address) { std::cout << GbkToUtf8(address) << "\n"; };
  bool converted = false;
  if (args[0] == "item") {
    converted = finder.OpenItemLink(Utf8ToGbk(args[1]), print);
  } else {
    size_t row = PrepareRow(finder, args[1]);
    converted = finder.LoadShop(row) && finder.OpenShopLink(row, print);
  }
  if (!converted) {
    std::cerr << "vendrix-cli: the platform did not convert " << args[0] << " " << args[1]
              << "\n";
    return kFailed;
  }
  return kOk;
}

}  // namespace vendrix
