#include "cli/CliFinder.h"

#include <iostream>

#include "app/Links.h"
#include "app/ShopFinder.h"
#include "cli/CliText.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

using cli::kFailed;
using cli::kOk;
using cli::kUsage;
using cli::Usage;

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

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A whole number of `low`-`high` in plain ASCII digits; nullopt for anything else.
std::optional<int> NumberIn(const std::string& text, int low, int high) {
  if (!IsDigits(text) || text.size() > 9) return std::nullopt;
  int value = std::stoi(text);
  if (value < low || value > high) return std::nullopt;
  return value;
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
      std::cout << cli::Cell(nick) << "\t" << cli::Cell(location) << "\t" << row.level << "\n";
    }
  }
}

// Start-up as the window runs it; a configuration that cannot be read is reported but not
// fatal, as in the window: the search that follows then finds nothing.
void StartUp(ShopFinder& finder) {
  if (!finder.StartUp()) {
    cli::ReportUnreadableConfiguration(finder.GetSettings().VendorBase + ConfigPath,
                                       finder.XMLData1);
  }
}

// A seller row for `nick` (GBK); `look_up` fetches location and credit for the shop page.
size_t PrepareRow(ShopFinder& finder, const std::string& nick, bool look_up) {
  finder.Sellers().assign(1, Info{});
  finder.Sellers()[0].nick = nick;
  if (look_up) finder.LookUpSellers(1);
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
    std::cout << c.cid << "\t" << cli::Cell(GbkToUtf8(c.name)) << "\n";
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
  // Everything that can be judged before start-up is judged here: nothing is sent for a
  // command line that is wrong.
  if (format != "tsv" && format != "csv" && format != "json") {
    return Usage("--format is tsv, csv or json");
  }
  if (!IsDigits(category)) return Usage("--category takes a category id (digits)");
  std::optional<int> wanted = NumberIn(count, 1, finder_defaults::kMaxCount);
  if (!wanted) return Usage("--count takes a number of sellers from 1 to 120");

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
  if (choices.region < 0) return Usage("unknown region '" + cli::Cell(region) + "'");
  choices.region_text = Regions()[static_cast<size_t>(choices.region)].item;
  choices.count = *wanted;

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
  if (static_cast<int>(outcome.rows.size()) < outcome.count) {
    std::cerr << "vendrix-cli: " << outcome.rows.size() << " of " << outcome.count
              << " sellers could be looked up; the user lookup failed for the rest\n";
  }
  return kOk;
}

int RunShop(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("shop takes one NICK");
  std::optional<std::string> nick = cli::GbkArgument(args[0], "the nick");
  if (!nick) return kUsage;
  ShopFinder finder;
  StartUp(finder);
  size_t row = PrepareRow(finder, *nick, true);
  bool loaded = finder.LoadShopItems(row);
  if (!loaded) {
    std::cerr << "vendrix-cli: the "
              << (finder.Sellers()[row].shop_loaded ? "item search" : "shop lookup") << " of '"
              << args[0] << "' failed; the page shows what is known\n";
  }
  std::cout << GbkToUtf8(finder.BuildShopPage(row)) << "\n";
  return loaded ? kOk : kFailed;
}

int RunConvert(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  bool open = false;
  for (const std::string& arg : args) {
    if (arg == "--open") {
      open = true;
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.size() != 2 || (operands[0] != "item" && operands[0] != "shop")) {
    return Usage("convert takes 'item IID' or 'shop NICK', and --open");
  }
  const std::string& kind = operands[0];
  std::optional<std::string> value =
      cli::GbkArgument(operands[1], kind == "item" ? "the item id" : "the nick");
  if (!value) return kUsage;

  ShopFinder finder;
  StartUp(finder);
  // The address is printed, and opened with --open; only a web address ever gets this far.
  bool started = true;
  LinkOpener print = [&](const std::string& address) {
    std::cout << GbkToUtf8(address) << std::endl;
    if (open) started = OpenInWebBrowser(address);
    return true;
  };
  bool converted = false;
  if (kind == "item") {
    converted = finder.OpenItemLink(*value, print);
  } else {
    size_t row = PrepareRow(finder, *value, false);
    if (!finder.LoadShop(row)) {
      std::cerr << "vendrix-cli: the shop lookup of '" << operands[1] << "' failed\n";
      return kFailed;
    }
    converted = finder.OpenShopLink(row, print);
  }
  if (!converted) {
    std::cerr << "vendrix-cli: the platform did not convert " << kind << " '" << operands[1]
              << "' into a web address\n";
    return kFailed;
  }
  if (!started) {
    std::cerr << "vendrix-cli: no web browser could be started (BROWSER, else xdg-open)\n";
    return kFailed;
  }
  return kOk;
}

}  // namespace vendrix
