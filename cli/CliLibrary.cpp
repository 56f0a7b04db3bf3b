#include "cli/CliLibrary.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>

#include "app/LibraryTables.h"
#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "cli/CliText.h"
#include "library/SearchText.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

using cli::kFailed;
using cli::kOk;
using cli::kUsage;
using cli::Usage;
using library::Library;
using library::LibraryStatus;

namespace cli_library_defaults {
inline constexpr size_t kPageSize = 1000;  // history entries read and written at a time
}  // namespace cli_library_defaults

// The options ("--name VALUE") and the other arguments of a command line.
struct Arguments {
  std::map<std::string, std::string> options;
  std::vector<std::string> operands;
};

// `args` read with the options `names`; nullopt, after a usage complaint, for an option not
// among them or one without its value. An argument starting with "--" is always an option.
std::optional<Arguments> Parse(const std::vector<std::string>& args,
                               std::initializer_list<std::string> names) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i].starts_with("--")) {
      parsed.operands.push_back(args[i]);
      continue;
    }
    if (std::find(names.begin(), names.end(), args[i]) == names.end()) {
      cli::UnexpectedArgument(args[i]);
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      Usage(args[i] + " needs a value");
      return std::nullopt;
    }
    parsed.options[args[i]] = args[i + 1];
    ++i;
  }
  return parsed;
}

const std::string* Option(const Arguments& parsed, const std::string& name) {
  auto found = parsed.options.find(name);
  return found == parsed.options.end() ? nullptr : &found->second;
}

// "--format" of `parsed` (tsv when not given); nullopt after a complaint.
std::optional<TableFormat> FormatOption(const Arguments& parsed) {
  const std::string* format = Option(parsed, "--format");
  std::optional<TableFormat> table = ParseTableFormat(format ? *format : "tsv");
  if (!table) Usage("--format is tsv, csv or json");
  return table;
}

// "--search" of `parsed`, its blanks dropped ("" when not given or blank); nullopt after a
// complaint when it holds nothing a search could look for.
std::optional<std::string> SearchOption(const Arguments& parsed) {
  const std::string* search = Option(parsed, "--search");
  std::string text(search ? cli::TrimBlanks(*search) : "");
  if (!text.empty() && library::SearchPieces(text).empty()) {
    Usage("--search '" + CellText(text) +
          "' holds nothing to look for: give letters, digits or Chinese characters");
    return std::nullopt;
  }
  return text;
}

// The library, opened for `access`; nullptr after saying on stderr why it cannot be used.
std::unique_ptr<Library> OpenLibrary(Library::Access access) {
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(library::DefaultLibraryPath(), access, status);
  if (!library) std::cerr << "vendrix-cli: " << CellText(status.message) << "\n";
  return library;
}

int Failed(const LibraryStatus& status) {
  std::cerr << "vendrix-cli: " << CellText(status.message) << "\n";
  return kFailed;
}

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// history clear [--before YYYY-MM-DD]
int HistoryClear(const std::vector<std::string>& args) {
  std::optional<Arguments> parsed = Parse(args, {"--before"});
  if (!parsed) return kUsage;
  if (!parsed->operands.empty()) return cli::UnexpectedArgument(parsed->operands[0]);
  std::optional<int64_t> before;
  if (const std::string* day = Option(*parsed, "--before")) {
    before = library::ParseDay(*day);
    if (!before) return Usage("--before takes a day as YYYY-MM-DD (UTC)");
  }
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kWrite);
  if (!library) return kFailed;
  int64_t removed = 0;
  if (LibraryStatus status = library->ClearHistory(before, removed); !status.Ok()) {
    return Failed(status);
  }
  std::cout << "removed " << removed << (removed == 1 ? " entry" : " entries") << "\n";
  return kOk;
}

// saved add shop NICK: the shop lookup and the user lookup give its shop, title, place and
// credit level.
int SavedAddShop(const std::string& nick, const std::optional<std::string>& note,
                 TableFormat format) {
  std::optional<std::string> gbk = cli::GbkArgument(nick, "the nick");
  if (!gbk) return kUsage;
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kWrite);
  if (!library) return kFailed;
  ShopFinder finder;
  if (!cli::StartUp(finder, true)) return kUsage;
  finder.Sellers().assign(1, Info{});
  finder.Sellers()[0].nick = *gbk;
  bool looked_up = finder.LookUpSellers(1);
  if (!finder.LoadShop(0)) {
    std::cerr << "vendrix-cli: the shop lookup of '" << CellText(nick)
              << "' failed: " << cli::Why(finder.TaobaoShop1.LastFailure())
              << "; nothing was saved\n";
    return kFailed;
  }
  if (!looked_up) {
    std::cerr << "vendrix-cli: the user lookup of '" << CellText(nick)
              << "' failed: " << cli::Why(finder.TaobaoUsers1.LastFailure())
              << "; the shop is saved without its place and credit level\n";
  }
  const Info& seller = finder.Sellers()[0];
  library::SavedShop shop{nick,
                          GbkToUtf8(seller.sid),
                          GbkToUtf8(seller.title),
                          GbkToUtf8(seller.location),
                          seller.level,
                          "",
                          0};
  if (LibraryStatus status = library->SaveShop(shop, note); !status.Ok()) return Failed(status);
  std::cout << TableText(SavedColumns(true, false), {ShopCells(shop)}, format);
  return kOk;
}

// saved add item IID: its conversion gives its title, price, commission and click address.
int SavedAddItem(const std::string& iid, const std::optional<std::string>& note,
                 TableFormat format) {
  // An id goes into the request as it stands: digits only, or it could add parameters.
  if (!IsDigits(iid)) return Usage("saved add item takes an item id of digits");
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kWrite);
  if (!library) return kFailed;
  ShopFinder finder;
  if (!cli::StartUp(finder, true)) return kUsage;
  ConversionJob job = finder.PrepareItemConversion(iid);
  if (!finder.RunConversion(job)) {
    if (job.failure.Failed()) {
      std::cerr << "vendrix-cli: the conversion of item '" << iid
                << "' failed: " << cli::Why(job.failure) << "; nothing was saved\n";
    } else {
      std::cerr << "vendrix-cli: the platform did not convert item '" << iid
                << "' into a web address; nothing was saved\n";
    }
    return kFailed;
  }
  library::SavedItem item{iid,
                          GbkToUtf8(job.nick),
                          GbkToUtf8(job.title),
                          GbkToUtf8(job.price),
                          GbkToUtf8(job.commission_rate),
                          GbkToUtf8(job.commission),
                          GbkToUtf8(job.click_url),
                          "",
                          0};
  if (LibraryStatus status = library->SaveItem(item, note); !status.Ok()) return Failed(status);
  std::cout << TableText(SavedColumns(false, true), {ItemCells(item, false)}, format);
  return kOk;
}

int SavedList(const Arguments& parsed) {
  if (!parsed.operands.empty()) return cli::UnexpectedArgument(parsed.operands[0]);
  const std::string* kind = Option(parsed, "--kind");
  if (kind && *kind != "shop" && *kind != "item") return Usage("--kind is shop or item");
  std::optional<TableFormat> format = FormatOption(parsed);
  if (!format) return kUsage;
  std::optional<std::string> search = SearchOption(parsed);
  if (!search) return kUsage;
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kRead);
  if (!library) return kFailed;
  bool shops = !kind || *kind == "shop";
  bool items = !kind || *kind == "item";
  library::SavedQuery query{.search = *search, .after = std::nullopt, .limit = SIZE_MAX};
  std::vector<library::SavedShop> saved_shops;
  std::vector<library::SavedItem> saved_items;
  if (shops) {
    if (LibraryStatus status = library->ReadSavedShops(query, saved_shops); !status.Ok()) {
      return Failed(status);
    }
  }
  if (items) {
    if (LibraryStatus status = library->ReadSavedItems(query, saved_items); !status.Ok()) {
      return Failed(status);
    }
  }
  // Both kinds together, the latest saved first.
  std::cout << TableText(SavedColumns(shops, items), SavedRows(saved_shops, saved_items, shops),
                         *format);
  return kOk;
}

}  // namespace

int RunHistory(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "clear") {
    return HistoryClear(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  std::optional<Arguments> parsed =
      Parse(args, {"--kind", "--search", "--since", "--limit", "--format"});
  if (!parsed) return kUsage;
  if (!parsed->operands.empty()) return cli::UnexpectedArgument(parsed->operands[0]);
  library::HistoryQuery query;
  if (const std::string* kind = Option(*parsed, "--kind")) {
    if (*kind != "item" && *kind != "shop") return Usage("--kind is item or shop");
    query.kind = *kind == "item" ? library::EntryKind::kItem : library::EntryKind::kShop;
  }
  std::optional<std::string> search = SearchOption(*parsed);
  if (!search) return kUsage;
  query.search = *search;
  if (const std::string* day = Option(*parsed, "--since")) {
    query.since_ms = library::ParseDay(*day);
    if (!query.since_ms) return Usage("--since takes a day as YYYY-MM-DD (UTC)");
  }
  size_t limit = library::library_defaults::kHistoryLimit;
  if (const std::string* text = Option(*parsed, "--limit")) {
    // Any number of entries: one too large for the machine is as good as all of them.
    if (!IsDigits(*text) || text->find_first_not_of('0') == std::string::npos) {
      return Usage("--limit takes a number of entries, 1 or more");
    }
    std::string digits = text->substr(text->find_first_not_of('0'));
    limit = digits.size() > 18 ? SIZE_MAX : static_cast<size_t>(std::stoull(digits));
  }
  std::optional<TableFormat> format = FormatOption(*parsed);
  if (!format) return kUsage;

  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kRead);
  if (!library) return kFailed;
  TableWriter writer(HistoryColumns(), *format);
  std::cout << writer.Begin();
  // A page at a time, so that a long history is never held whole.
  size_t left = limit;
  while (left > 0) {
    query.limit = std::min(left, cli_library_defaults::kPageSize);
    std::vector<library::HistoryEntry> entries;
    if (LibraryStatus status = library->ReadHistory(query, entries); !status.Ok()) {
      std::cout << writer.End();
      return Failed(status);
    }
    std::vector<std::vector<std::string>> rows;
    for (const library::HistoryEntry& entry : entries) rows.push_back(HistoryCells(entry));
    std::cout << writer.Rows(rows);
    if (entries.size() < query.limit) break;
    left -= entries.size();
    query.before = entries.back().key;
  }
  std::cout << writer.End();
  return kOk;
}

int RunSaved(const std::vector<std::string>& args) {
  const std::string action = args.empty() ? "" : args[0];
  std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
  if (action == "list") {
    std::optional<Arguments> parsed = Parse(rest, {"--kind", "--search", "--format"});
    return parsed ? SavedList(*parsed) : kUsage;
  }
  if (action != "add" && action != "remove") {
    return action.starts_with("--") ? cli::UnexpectedArgument(action)
                                    : Usage("saved takes add, remove or list");
  }
  std::optional<Arguments> parsed =
      action == "add" ? Parse(rest, {"--note", "--format"})
                      : Parse(rest, std::initializer_list<std::string>{});
  if (!parsed) return kUsage;
  const std::vector<std::string>& operands = parsed->operands;
  const std::string kind = operands.empty() ? "" : operands[0];
  if (operands.size() < 2 || (kind != "shop" && kind != "item") || operands[1].empty()) {
    return Usage("saved " + action + " takes 'shop NICK' or 'item IID'");
  }
  if (operands.size() > 2) return cli::UnexpectedArgument(operands[2]);
  if (action == "add") {
    std::optional<std::string> note;
    if (const std::string* given = Option(*parsed, "--note")) note = *given;
    std::optional<TableFormat> format = FormatOption(*parsed);
    if (!format) return kUsage;
    return kind == "shop" ? SavedAddShop(operands[1], note, *format)
                          : SavedAddItem(operands[1], note, *format);
  }
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kWrite);
  if (!library) return kFailed;
  bool removed = false;
  LibraryStatus status = kind == "shop" ? library->RemoveShop(operands[1], removed)
                                        : library->RemoveItem(operands[1], removed);
  if (!status.Ok()) return Failed(status);
  if (!removed) {
    std::cerr << "vendrix-cli: no " << kind << " is saved under '" << CellText(operands[1])
              << "'\n";
    return kFailed;
  }
  return kOk;
}

int RunLibrary(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "backup") {
    return !args.empty() && args[0].starts_with("--") ? cli::UnexpectedArgument(args[0])
                                                      : Usage("library takes backup FILE");
  }
  if (args.size() < 2 || args[1].empty()) return Usage("library backup takes a FILE");
  if (args.size() > 2) return cli::UnexpectedArgument(args[2]);
  if (args[1].starts_with("--")) return cli::UnexpectedArgument(args[1]);
  std::unique_ptr<Library> library = OpenLibrary(Library::Access::kRead);
  if (!library) return kFailed;
  if (LibraryStatus status = library->Backup(args[1]); !status.Ok()) return Failed(status);
  return kOk;
}

void RecordInHistory(library::HistoryEntry entry) {
  if (!library::HistoryRecordingOn()) return;
  LibraryStatus status;
  std::unique_ptr<Library> library =
      Library::Open(library::DefaultLibraryPath(), Library::Access::kWrite, status);
  if (library) status = library->Record(entry);
  if (!status.Ok()) {
    std::cerr << "vendrix-cli: nothing was recorded in the history: " << CellText(status.message)
              << "\n";
  }
}

}  // namespace vendrix
