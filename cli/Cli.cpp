#include "cli/Cli.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/TableText.h"
#include "cli/CliCall.h"
#include "cli/CliFinder.h"
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
    "       vendrix-cli convert item IID | shop NICK | address ADDRESS [--open]\n";

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
        return Usage("--timeout takes a number of milliseconds");
      }
      ++i;
    } else {
      urls.push_back(args[i]);
    }
  }
  if (urls.empty()) return Usage("get needs at least one URL");

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
  if (!args.empty()) return Usage("config takes no arguments");
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

}  // namespace

int RunCli(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "get") return Get(args);
  if (command == "config") return Config(args);
  int (*run)(const std::vector<std::string>&) = command == "call"         ? RunCall
                                                : command == "categories" ? RunCategories
                                                : command == "search"     ? RunSearch
                                                : command == "shop"       ? RunShop
                                                : command == "convert"    ? RunConvert
                                                : command == "items"      ? RunItems
                                                                          : nullptr;
  if (run != nullptr) {
    int status = run(args);
    if (status == kUsage) std::cerr << kUsageText;
    return status;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsageText;
    return kOk;
  }
  return Usage("unknown command '" + command + "'");
}

}  // namespace vendrix
