#include "cli/CliFinder.h"

#include <algorithm>
#include <iostream>

#include "app/ItemCommissions.h"
#include "app/Links.h"
#include "app/ShopFinder.h"
#include "app/ShopItems.h"
#include "app/TableText.h"
#include "cli/CliLibrary.h"
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

// A seller row for `nick` (GBK); `look_up` fetches location and credit for the shop page,
// saying why on stderr when that failed (the page then shows neither).
size_t PrepareRow(ShopFinder& finder, const std::string& nick, bool look_up) {
  finder.Sellers().assign(1, Info{});
  finder.Sellers()[0].nick = nick;
  if (look_up && !finder.LookUpSellers(1)) {
    const CallFailure& failure = finder.TaobaoUsers1.LastFailure();
    std::cerr << "vendrix-cli: the user lookup of '" << CellText(GbkToUtf8(nick)) << "' "
              << (failure.kind == CallFailure::kNoResult ? "found no such user"
                                                         : "failed: " + cli::Why(failure))
              << "; the page shows no location or credit\n";
  }
  return 0;
}

}  // namespace

int RunCategories(const std::vector<std::string>& args) {
  if (!args.empty()) return cli::UnexpectedArgument(args[0]);
  ShopFinder finder;
  if (!cli::StartUp(finder)) return kUsage;
  if (finder.Cats()[0].name.empty()) return kFailed;
  if (finder.CatsFailure().Failed()) {
    std::cerr << "vendrix-cli: the category call failed: " << cli::Why(finder.CatsFailure())
              << "; these are the built-in categories\n";
  }
  for (const CatsInfo& c : finder.Cats()) {
    if (c.name.empty()) break;
    std::cout << CellText(c.cid) << "\t" << CellText(GbkToUtf8(c.name)) << "\n";
  }
  return kOk;
}

int RunSearch(const std::vector<std::string>& args) {
  std::string category = "0", low = "1", high = "20", region, count = "40", format = "tsv";
  std::optional<std::string> keyword, commission, price, sort;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = arg == "--category"          ? &category
                          : arg == "--low"             ? &low
                          : arg == "--high"            ? &high
                          : arg == "--region"          ? &region
                          : arg == "--count"           ? &count
                          : arg == "--format"          ? &format
                          : arg == "--keyword"         ? &keyword.emplace()
                          : arg == "--commission-rate" ? &commission.emplace()
                          : arg == "--price"           ? &price.emplace()
                          : arg == "--sort"            ? &sort.emplace()
                                                       : nullptr;
    if (target == nullptr) return cli::UnexpectedArgument(arg);
    if (i + 1 >= args.size()) return Usage(arg + " needs a value");
    *target = args[++i];
  }
  // Everything that can be judged before start-up is judged here: nothing is sent for a
  // command line that is wrong.
  std::optional<TableFormat> table = ParseTableFormat(format);
  if (!table) return Usage("--format is tsv, csv or json");
  if (!IsDigits(category)) return Usage("--category takes a category id (digits)");
  std::optional<int> wanted = NumberIn(count, 1, finder_defaults::kMaxCount);
  if (!wanted) return Usage("--count takes a number of sellers from 1 to 120");

  SearchChoices choices;
  SearchFilters& filters = choices.filters;
  // As in the window's conditions: blanks around the keyword are dropped, and a keyword of
  // blanks only is no keyword (a script passing an empty variable searches without one).
  if (std::string trimmed(keyword ? cli::TrimBlanks(*keyword) : ""); !trimmed.empty()) {
    std::optional<std::string> gbk = cli::GbkArgument(trimmed, "the keyword");
    if (!gbk) return kUsage;
    filters.keyword = *gbk;
  }
  if (commission &&
      !ParseCommissionRange(*commission, filters.commission_low, filters.commission_high)) {
    return Usage(
        "--commission-rate takes LOW-HIGH in percent, 0 to 100 with up to two decimals, "
        "either side may be left out (5-, -12.5, 5-12.5), LOW not above HIGH");
  }
  if (price && !ParsePriceRange(*price, filters.price_low, filters.price_high)) {
    return Usage(
        "--price takes LOW-HIGH in yuan with up to two decimals, either side may be "
        "left out (10-, -99.5, 10-99.5), LOW not above HIGH");
  }
  if (sort) {
    if (!IsSortOrder(*sort)) {
      std::string names;
      for (const std::string& name : SortOrders()) names += (names.empty() ? "" : ", ") + name;
      return Usage("--sort takes one of " + names);
    }
    filters.sort = *sort;
  }
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
  if (choices.region < 0) return Usage("unknown region '" + CellText(region) + "'");
  choices.region_text = Regions()[static_cast<size_t>(choices.region)].item;
  choices.count = *wanted;

  ShopFinder finder;
  if (!cli::StartUp(finder)) return kUsage;
  choices.category = -1;
  for (size_t c = 0; c < finder.Cats().size(); ++c) {
    if (!finder.Cats()[c].name.empty() && finder.Cats()[c].cid == category) {
      choices.category = static_cast<int>(c);
      break;
    }
  }
  if (choices.category < 0 && finder.StartedUp()) {
    return Usage("unknown category '" + category + "' (see vendrix-cli categories)");
  }
  // The vendor's configuration may bound the commission rate on the side the user left out.
  const TaobaokeItemConditions& configured = finder.ConfiguredItemCond();
  if (std::optional<CrossedBound> crossed = CrossedCommissionBound(
          filters, configured.start_commissionRate, configured.end_commissionRate)) {
    return Usage("--commission-rate " + *commission + " lies " +
                 (crossed->configured_upper ? "above the configured upper bound of "
                                            : "below the configured lower bound of ") +
                 CommissionText(crossed->configured) +
                 "% (the vendor's configuration); nothing was searched");
  }

  SearchOutcome outcome = finder.RunSearch(choices);
  auto page_failed = [&outcome] {
    return "vendrix-cli: page " + std::to_string(outcome.page_failure->page) +
           " of the affiliate item search failed: " + cli::Why(outcome.page_failure->call);
  };
  if (!outcome.found) {
    std::cerr << "没有找到相关卖家\n";
    if (outcome.page_failure) std::cerr << page_failed() << "\n";
    if (outcome.lookup_failure) {
      const SearchFailure& batch = *outcome.lookup_failure;
      std::cerr << "vendrix-cli: the user lookup of sellers " << batch.first_row + 1 << "-"
                << batch.last_row + 1 << " failed: " << cli::Why(batch.call) << "\n";
    }
    return kFailed;
  }
  std::cout << SellersText(outcome.rows, *table);
  // What cut the list short is said; the rows found before it stand.
  if (outcome.page_failure) {
    std::cerr << page_failed() << "; the list holds the " << outcome.count
              << " sellers found before it\n";
  }
  if (static_cast<int>(outcome.rows.size()) < outcome.count) {
    std::cerr << "vendrix-cli: " << outcome.rows.size() << " of " << outcome.count
              << " sellers could be looked up; the user lookup failed for the rest";
    if (outcome.lookup_failure) std::cerr << ": " << cli::Why(outcome.lookup_failure->call);
    std::cerr << "\n";
  }
  return kOk;
}

int RunShop(const std::vector<std::string>& args) {
  if (args.size() > 1) return cli::UnexpectedArgument(args[1]);
  if (args.empty() || args[0].empty()) return Usage("shop takes one NICK");
  if (args[0].starts_with("--")) return cli::UnexpectedArgument(args[0]);  // no nick does
  std::optional<std::string> nick = cli::GbkArgument(args[0], "the nick");
  if (!nick) return kUsage;
  ShopFinder finder;
  if (!cli::StartUp(finder)) return kUsage;
  size_t row = PrepareRow(finder, *nick, true);
  bool loaded = finder.LoadShopItems(row);
  if (!loaded) {
    bool shop = finder.Sellers()[row].shop_loaded;
    std::cerr << "vendrix-cli: the " << (shop ? "item search" : "shop lookup") << " of '"
              << CellText(args[0]) << "' failed: "
              << cli::Why(shop ? finder.TaobaoSearch1.LastFailure()
                               : finder.TaobaoShop1.LastFailure())
              << "; the page shows what is known\n";
  }
  // What each item pays, as the window shows it once its conversions are in.
  PageCommissions commissions(finder.Sellers()[row]);
  std::vector<CommissionBatch> batches = ConvertPageItems(finder, commissions);
  std::cout << GbkToUtf8(finder.BuildShopPage(row, &commissions)) << "\n";
  // The page stands without them: a failed conversion is said, and is no failure of the page.
  auto failed = std::find_if(batches.begin(), batches.end(),
                             [](const CommissionBatch& batch) { return !batch.ok; });
  if (failed != batches.end()) {
    std::cerr << "vendrix-cli: "
              << std::count_if(batches.begin(), batches.end(),
                               [](const CommissionBatch& batch) { return !batch.ok; })
              << " of " << batches.size() << " commission conversions failed ("
              << cli::Why(failed->failure) << "); the page shows 佣金未知 for their items\n";
  }
  return loaded ? kOk : kFailed;
}

int RunConvert(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  bool open = false;
  for (const std::string& arg : args) {
    if (arg == "--open") {
      open = true;
    } else if (arg.starts_with("--")) {
      return cli::UnexpectedArgument(arg);  // no id, nick or address starts with "--"
    } else {
      operands.push_back(arg);
    }
  }
  const std::string kind = operands.empty() ? "" : operands[0];
  if (operands.size() < 2 || (kind != "item" && kind != "shop" && kind != "address")) {
    return Usage("convert takes 'item IID', 'shop NICK' or 'address ADDRESS', and --open");
  }
  if (operands.size() > 2) return cli::UnexpectedArgument(operands[2]);
  CopiedAddress copied;
  std::optional<std::string> value;
  if (kind == "address") {
    // An address pasted from a browser's address bar often brings a blank or a line break.
    copied = ReadCopiedAddress(cli::TrimBlanks(operands[1]));
    if (copied.kind == CopiedAddress::kShortLink) {
      return Usage(
          "convert address cannot read a short share link (m.tb.cn, s.click.taobao.com) "
          "without opening it: open it in a web browser and convert the address it leads to");
    }
    if (copied.kind == CopiedAddress::kUnknown) {
      return Usage(
          "convert address understands an item page (item.htm, detail.htm or detail.html "
          "with id=DIGITS) on taobao.com or tmall.com, such as "
          "https://item.taobao.com/item.htm?id=520813250866, the phone form "
          "https://a.m.taobao.com/iDIGITS.htm, and any address on a shop's own host, such as "
          "https://shop12345.taobao.com/");
    }
    value = copied.id;
  } else if (kind == "item") {
    // An id goes into the request as it stands: digits only, or it could add parameters.
    if (!IsDigits(operands[1])) return Usage("convert item takes an item id of digits");
    value = operands[1];
  } else {
    if (operands[1].empty()) return Usage("convert shop takes a NICK");
    value = cli::GbkArgument(operands[1], "the nick");
    if (!value) return kUsage;
  }

  ShopFinder finder;
  // An address names its item or shop by id: the configuration is all it needs besides the
  // conversion itself.
  if (!cli::StartUp(finder, kind == "address")) return kUsage;
  // The address is printed, and opened with --open; only a web address ever gets this far.
  bool started = true;
  LinkOpener print = [&](const std::string& address) {
    std::cout << GbkToUtf8(address) << std::endl;
    if (open) started = OpenInWebBrowser(address);
    return true;
  };
  bool converted = false;
  CallFailure failure;
  ConversionJob job;
  // What the history keeps of it: the id, and the nick when it is known before the reply.
  std::string id = *value;
  std::string nick;
  std::string looked_up_title;
  if (kind == "item" || copied.kind == CopiedAddress::kItem) {
    job = finder.PrepareItemConversion(*value);
  } else if (copied.kind == CopiedAddress::kShop) {
    job = finder.PrepareShopConversion(*value);
  } else {
    size_t row = PrepareRow(finder, *value, false);
    if (!finder.LoadShop(row)) {
      std::cerr << "vendrix-cli: the shop lookup of '" << CellText(operands[1])
                << "' failed: " << cli::Why(finder.TaobaoShop1.LastFailure()) << "\n";
      return kFailed;
    }
    const Info& seller = finder.Sellers()[row];
    id = seller.sid;
    nick = seller.nick;
    looked_up_title = seller.title;
    job = finder.PrepareShopConversion(seller.sid);
  }
  converted = finder.RunConversion(job) && print(job.click_url);
  failure = job.failure;
  // A reply without a result is the platform's answer for what it does not convert.
  if (!converted && failure.Failed() && failure.kind != CallFailure::kNoResult) {
    std::cerr << "vendrix-cli: the conversion of " << kind << " '" << CellText(operands[1])
              << "' failed: " << cli::Why(failure) << "\n";
    return kFailed;
  }
  if (!converted) {
    std::cerr << "vendrix-cli: the platform did not convert " << kind << " '"
              << CellText(operands[1]) << "' into a web address\n";
    return kFailed;
  }
  if (!started) {
    std::cerr << "vendrix-cli: no web browser could be started (BROWSER, else xdg-open)\n";
  }
  // What was printed, or opened, goes into the history.
  library::HistoryEntry entry;
  entry.kind = job.kind == ConversionJob::kItem ? library::EntryKind::kItem
                                                : library::EntryKind::kShop;
  entry.id = GbkToUtf8(id);
  entry.nick = GbkToUtf8(job.nick.empty() ? nick : job.nick);
  entry.title = GbkToUtf8(job.title.empty() ? looked_up_title : job.title);
  entry.price = GbkToUtf8(job.price);
  entry.commission_rate = GbkToUtf8(job.commission_rate);
  entry.click_url = GbkToUtf8(job.click_url);
  entry.action =
      open && started ? library::HistoryAction::kOpened : library::HistoryAction::kPrinted;
  RecordInHistory(std::move(entry));
  return started ? kOk : kFailed;
}

int RunItems(const std::vector<std::string>& args) {
  std::string nick, count = std::to_string(items_defaults::kDefaultCount), format = "tsv";
  bool have_nick = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = arg == "--count" ? &count : arg == "--format" ? &format : nullptr;
    if (target != nullptr) {
      if (i + 1 >= args.size()) return Usage(arg + " needs a value");
      *target = args[++i];
    } else if (!arg.starts_with("--") && !have_nick) {
      nick = arg;
      have_nick = true;
    } else {
      return cli::UnexpectedArgument(arg);
    }
  }
  if (!have_nick || nick.empty()) return Usage("items takes a NICK");
  std::optional<TableFormat> table = ParseTableFormat(format);
  if (!table) return Usage("--format is tsv, csv or json");
  std::optional<int> wanted = NumberIn(count, 1, items_defaults::kMaxCount);
  if (!wanted) return Usage("--count takes a number of items from 1 to 200");
  std::optional<std::string> gbk = cli::GbkArgument(nick, "the nick");
  if (!gbk) return kUsage;

  ShopFinder finder;
  // The item search and the conversions need no categories.
  if (!cli::StartUp(finder, true)) return kUsage;
  ShopItemsOutcome outcome = ListShopItems(finder, *gbk, *wanted);
  if (!outcome.searched) {
    std::cerr << "vendrix-cli: the item search of '" << CellText(nick)
              << "' failed: " << cli::Why(outcome.failure) << "\n";
    return kFailed;
  }
  // As for the seller search: a script tells "nothing found" from an empty table by the status.
  if (outcome.rows.empty()) {
    std::cerr << "vendrix-cli: the item search found no items of seller '" << CellText(nick)
              << "'\n";
    return kFailed;
  }
  std::cout << ItemsText(outcome.rows, *table);
  if (outcome.failed_batches > 0) {
    std::cerr << "vendrix-cli: " << outcome.failed_batches << " of " << outcome.batches
              << " conversions failed (" << cli::Why(outcome.failure)
              << "); their items are listed without affiliate fields\n";
    return kFailed;
  }
  return kOk;
}

}  // namespace vendrix
