#include "cli/Cli.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "VendrixVersion.h"
#include "app/TableText.h"
#include "cli/CliAccountTest.h"
#include "cli/CliAccount.h"
#include "cli/CliCall.h"
#include "cli/CliFinder.h"
#include "cli/CliLibrary.h"
#include "cli/CliText.h"
#include "config/XMLData.h"
#include "platform/CodePage.h"
#include "platform/IdHTTP.h"
#include "platform/Settings.h"

namespace vendrix {
namespace {

using cli::kFailed;
using cli::kOk;
using cli::kUsage;

constexpr const char* kUsageText =
    "usage: vendrix-cli get URL [URL...] [--timeout MS]\n"
    "       vendrix-cli config\n"
    "       vendrix-cli call METHOD [name=value...]\n"
    "       vendrix-cli categories\n"
    "       vendrix-cli search [--category CID] [--low NAME|LEVEL] [--high NAME|LEVEL]\n"
    "                          [--region TEXT] [--count N] [--format tsv|csv|json]\n"
    "                          [--keyword TEXT] [--commission-rate LOW-HIGH] [--price LOW-HIGH]\n"
    "                          [--sort NAME]\n"
    "       vendrix-cli shop NICK\n"
    "       vendrix-cli items NICK [--count N] [--format tsv|csv|json]\n"
    "       vendrix-cli convert item IID | shop NICK | address ADDRESS [--open]\n"
    "       vendrix-cli history [--kind item|shop] [--search TEXT] [--since YYYY-MM-DD]\n"
    "                           [--limit N] [--format tsv|csv|json]\n"
    "       vendrix-cli history clear [--before YYYY-MM-DD]\n"
    "       vendrix-cli saved add shop NICK | item IID [--note TEXT] [--format tsv|csv|json]\n"
    "       vendrix-cli saved remove shop NICK | item IID\n"
    "       vendrix-cli saved list [--kind shop|item] [--search TEXT] [--format tsv|csv|json]\n"
    "       vendrix-cli library backup FILE\n"
    "       vendrix-cli account set --app-key KEY [--nick NICK] | show | clear | test\n"
    "       vendrix-cli COMMAND --help\n"
    "       vendrix-cli --help | --version\n";

// What each command does and takes, for `vendrix-cli COMMAND --help`.
struct CommandHelp {
  const char* command;
  const char* text;
};
constexpr CommandHelp kCommandHelp[] = {
    {"get",
     "usage: vendrix-cli get URL [URL...] [--timeout MS]\n"
     "Fetches each URL with one HTTP client (consecutive URLs share a connection) and writes\n"
     "the bodies to stdout in order. --timeout bounds each wait for data, in milliseconds\n"
     "(0, the default, waits without limit). A failure prints the client's message (the\n"
     "status line for an error status) on stderr and exits 1.\n"},
    {"config",
     "usage: vendrix-cli config\n"
     "Reads the configuration document at VENDRIX_VENDOR_BASE followed by taoke/api.php and\n"
     "prints app_key, whether app_sec is set (never the secret itself) and the affiliate\n"
     "nick; exits 1, saying why, when the document cannot be read.\n"},
    {"call",
     "usage: vendrix-cli call METHOD [name=value...]\n"
     "One platform call (METHOD as on the wire, e.g. taobao.users.get) with the\n"
     "configuration's credentials and names, then the given condition values\n"
     "(e.g. nicks=a,b,); prints the result table as TSV with a header line. Exit 1 when the\n"
     "call fails.\n"},
    {"categories",
     "usage: vendrix-cli categories\n"
     "The start-up's category list (from the platform, else the built-in one): cid<TAB>name.\n"},
    {"search",
     "usage: vendrix-cli search [--category CID] [--low NAME|LEVEL] [--high NAME|LEVEL]\n"
     "                          [--region TEXT] [--count N] [--format tsv|csv|json]\n"
     "                          [--keyword TEXT] [--commission-rate LOW-HIGH]\n"
     "                          [--price LOW-HIGH] [--sort NAME]\n"
     "The seller search: nick<TAB>location<TAB>level, one seller a line.\n"
     "  --category CID          a category id of `vendrix-cli categories` (default 0, all)\n"
     "  --low, --high           credit range: 1heart...5goldencrown or 1-20 (default 1-20)\n"
     "  --region TEXT           a region of the window's list, e.g. 杭州 or 江浙沪\n"
     "  --count N               sellers to find, 1-120 (default 40)\n"
     "  --format F              tsv (default), csv (UTF-8 with BOM, CRLF) or json\n"
     "  --keyword TEXT          items whose titles hold TEXT (blanks around it dropped;\n"
     "                          blanks only: no keyword)\n"
     "  --commission-rate L-H   commission rate in percent, 0-100 with up to two decimals;\n"
     "                          either side may be left out (5-, -12.5); a side left out\n"
     "                          keeps the vendor's configured bound, which the other may\n"
     "                          not cross\n"
     "  --price L-H             price in yuan, up to two decimals; either side may be left out\n"
     "  --sort NAME             price_desc, price_asc, credit_desc, commissionRate_desc,\n"
     "                          commissionRate_asc, commissionNum_desc, commissionNum_asc,\n"
     "                          commissionVolume_desc, commissionVolume_asc, delistTime_desc,\n"
     "                          delistTime_asc\n"
     "Nothing found prints 没有找到相关卖家 on stderr and exits 1.\n"},
    {"shop",
     "usage: vendrix-cli shop NICK\n"
     "The generated shop page of a seller (UTF-8 HTML) on stdout; exits 1, naming the step,\n"
     "when the shop lookup or the item search failed.\n"},
    {"items",
     "usage: vendrix-cli items NICK [--count N] [--format tsv|csv|json]\n"
     "A seller's items (N of them, 1-200, default 60) with the affiliate address of each,\n"
     "converted 50 ids a call. Columns: iid, title, price, commission_rate, commission,\n"
     "click_url; an item the platform does not convert has empty affiliate fields. Exits 1\n"
     "when the item search failed or found no items, and after printing when a conversion\n"
     "failed.\n"},
    {"convert",
     "usage: vendrix-cli convert item IID [--open]\n"
     "       vendrix-cli convert shop NICK [--open]\n"
     "       vendrix-cli convert address ADDRESS [--open]\n"
     "The affiliate click address of an item, of a seller's shop, or of an item or shop\n"
     "address copied from a browser:\n"
     "  an item page (item.htm, detail.htm or detail.html with id=DIGITS) on taobao.com,\n"
     "  tmall.com or a host under them, such as https://item.taobao.com/item.htm?id=DIGITS;\n"
     "  the phone form https://a.m.taobao.com/iDIGITS.htm;\n"
     "  any address on a shop's own host, such as https://shopDIGITS.taobao.com/.\n"
     "A short share link (m.tb.cn, s.click.taobao.com) cannot be read without opening it.\n"
     "--open also opens the click address in the web browser (BROWSER, else xdg-open); only\n"
     "http(s) addresses are printed or opened.\n"
     "The address goes into the history (see vendrix-cli history --help), as opened with\n"
     "--open, else as printed, unless VENDRIX_HISTORY=off. When the library cannot be used,\n"
     "the address is printed all the same and stderr says that nothing was recorded.\n"},
    {"account",
     "usage: vendrix-cli account set --app-key KEY [--nick NICK]\n"
     "       vendrix-cli account show\n"
     "       vendrix-cli account clear\n"
     "       vendrix-cli account test\n"
     "The affiliate's own account: with its application key and secret Vendrix signs its calls\n"
     "without the vendor's server.\n"
     "  set    keeps KEY and NICK in $XDG_CONFIG_HOME/vendrix/account.conf (~/.config without\n"
     "         it) and the application secret, read from the first line of standard input (a\n"
     "         terminal does not echo it), in the desktop's Secret Service (GNOME Keyring,\n"
     "         KeePassXC, KWallet); without --nick a nick stored before is kept. Exit 1,\n"
     "         storing nothing, when no Secret Service can be reached or its keyring stays\n"
     "         locked (a prompt unanswered for 30 s); exit 2 for a key or nick that is empty or\n"
     "         holds blanks or control characters.\n"
     "  show   the key, the nick and where each comes from: VENDRIX_APP_KEY and\n"
     "         VENDRIX_APP_SECRET (both or neither), else the own account, else the vendor's\n"
     "         document; the nick from VENDRIX_NICK, the own account, the document or the\n"
     "         built-in one. Then the own account, and whether its secret is stored. Never the\n"
     "         secret itself.\n"
     "  clear  forgets the own account: the key, the nick and the secret.\n"
     "  test   tries the credentials and nick a search would use: the signed category call\n"
     "         that start-up makes, then an affiliate item search of one item with the nick,\n"
     "         and says whether click addresses come back for it. Prints each call's round\n"
     "         trip and exits 0 when they do; otherwise says on stderr what to fix (the secret,\n"
     "         the application key, the computer's clock, the call limit, a permission, the\n"
     "         nick) and exits 1.\n"},
    {"history",
     "usage: vendrix-cli history [--kind item|shop] [--search TEXT] [--since YYYY-MM-DD]\n"
     "                           [--limit N] [--format tsv|csv|json]\n"
     "       vendrix-cli history clear [--before YYYY-MM-DD]\n"
     "Every affiliate address Vendrix handed over (opened, copied or printed), newest first,\n"
     "from the library ($XDG_DATA_HOME/vendrix/vendrix.db). Columns: time (UTC, ISO 8601\n"
     "with milliseconds), kind, id, nick, title, price, commission_rate (hundredths of a\n"
     "percent), click_url, action; a header line first (JSON: objects with those keys).\n"
     "  --kind K                item or shop\n"
     "  --search TEXT           entries whose title, nick or id hold every part of TEXT:\n"
     "                          Chinese anywhere (女装), letters and digits at the start of a\n"
     "                          word (an id, the start of a nick); letter case ignored\n"
     "  --since YYYY-MM-DD      entries from that day on (UTC)\n"
     "  --limit N               at most N entries (default 100)\n"
     "  --format F              tsv (default), csv (UTF-8 with BOM, CRLF) or json\n"
     "history clear removes every entry, or with --before those before that day (UTC).\n"},
    {"saved",
     "usage: vendrix-cli saved add shop NICK [--note TEXT] [--format tsv|csv|json]\n"
     "       vendrix-cli saved add item IID [--note TEXT] [--format tsv|csv|json]\n"
     "       vendrix-cli saved remove shop NICK | item IID\n"
     "       vendrix-cli saved list [--kind shop|item] [--search TEXT] [--format tsv|csv|json]\n"
     "The shops and items kept in the library. add looks the shop up (its shop id, title,\n"
     "place and credit level) or converts the item (its title, price, commission rate,\n"
     "commission and click address; not a history entry), and prints what it saved; saving\n"
     "again updates it, keeping its note unless --note gives another. remove exits 1 when\n"
     "nothing is saved under that name. list: the latest saved first; columns kind, id,\n"
     "nick, title, note, saved_at, then location and level for shops, price,\n"
     "commission_rate, commission and click_url for items; --search as for history, the note\n"
     "included.\n"},
    {"library",
     "usage: vendrix-cli library backup FILE\n"
     "Writes a consistent copy of the library to FILE while the window or other commands go\n"
     "on using it (SQLite's online backup: copying vendrix.db alone would lose what its\n"
     "write-ahead log holds). A FILE that exists is replaced only when it is a Vendrix\n"
     "library (an earlier backup) with no log of SQLite's beside it (FILE-wal, FILE-shm,\n"
     "FILE-journal: a program uses it, or was stopped while using it).\n"},
};

int Usage(const std::string& problem) {
  cli::Usage(problem);
  std::cerr << kUsageText;
  return kUsage;
}

bool ParseNonNegative(const std::string& text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// get URL [URL...] [--timeout MS]: one client, so consecutive addresses share a connection.
int Get(const std::vector<std::string>& args) {
  std::vector<std::string> urls;
  int timeout = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--timeout") {
      if (i + 1 >= args.size() || !ParseNonNegative(args[i + 1], timeout)) {
        return cli::Usage("--timeout takes a number of milliseconds");
      }
      ++i;
    } else if (args[i].starts_with("--")) {
      return cli::UnexpectedArgument(args[i]);  // no address starts with "--"
    } else {
      urls.push_back(args[i]);
    }
  }
  if (urls.empty()) return cli::Usage("get needs at least one URL");

  TIdHTTP http;
  http.SetReadTimeout(timeout);
  for (const std::string& url : urls) {
    try {
      std::string body = http.Get(url);
      std::fwrite(body.data(), 1, body.size(), stdout);
    } catch (const EIdException& e) {
      std::fflush(stdout);
      std::cerr << CellText(e.what()) << "\n";
      return kFailed;
    }
  }
  std::fflush(stdout);
  return kOk;
}

// config: LoadApi and ReadNick against the configured vendor server.
int Config(const std::vector<std::string>& args) {
  if (!args.empty()) return cli::UnexpectedArgument(args[0]);
  std::string address = Settings::Current().VendorBase + ConfigPath;
  TXMLData data;
  std::string app_key;
  std::string app_sec;
  if (!data.LoadApi(address, app_key, app_sec)) {
    cli::ReportUnreadableConfiguration(address, data);
    return kFailed;
  }
  std::string nick;
  data.ReadNick(nick);
  std::cout << "app_key\t" << CellText(GbkToUtf8(app_key)) << "\n"
            << "app_sec\t" << (app_sec.empty() ? "empty" : "set") << "\n"
            << "nick\t" << CellText(GbkToUtf8(nick)) << "\n";
  return kOk;
}

// The command named by argv[1], run; its exit status.
int RunCommand(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--version") {
    std::cout << "vendrix-cli " VENDRIX_VERSION "\n";
    return kOk;
  }
  for (const CommandHelp& help : kCommandHelp) {
    if (command == help.command && std::find_if(args.begin(), args.end(), [](const std::string& a) {
                                     return a == "--help" || a == "-h";
                                   }) != args.end()) {
      std::cout << help.text;
      return kOk;
    }
  }
  int (*run)(const std::vector<std::string>&) = command == "get"          ? Get
                                                : command == "config"     ? Config
                                                : command == "call"       ? RunCall
                                                : command == "categories" ? RunCategories
                                                : command == "search"     ? RunSearch
                                                : command == "shop"       ? RunShop
                                                : command == "convert"    ? RunConvert
                                                : command == "items"      ? RunItems
                                                : command == "account"    ? RunAccount
                                                : command == "history"    ? RunHistory
                                                : command == "saved"      ? RunSaved
                                                : command == "library"    ? RunLibrary
                                                                          : nullptr;
  // `account test` makes platform calls; the account's other subcommands keep to the account.
  if (command == "account" && !args.empty() && args[0] == "test") {
    run = RunAccountTest;
    args.erase(args.begin());
  }
  if (run != nullptr) {
    int status = run(args);
    if (status == kUsage) std::cerr << kUsageText;
    return status;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsageText;
    return kOk;
  }
  return Usage("unknown command '" + CellText(command) + "'");
}

}  // namespace

int RunCli(int argc, char** argv) {
  int status = RunCommand(argc, argv);
  // Output that never arrived (a full disk, a closed file) is a failure, not a short success.
  errno = 0;
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    std::cerr << "vendrix-cli: the output could not be written"
              << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()) << "\n";
    return status == kOk ? kFailed : status;
  }
  return status;
}

}  // namespace vendrix
