#include "cli/CliText.h"

#include <iostream>

#include "api/ApiFrame.h"
#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix::cli {

int Usage(const std::string& problem) {
  std::cerr << "vendrix-cli: " << problem << "\n";
  return kUsage;
}

int UnexpectedArgument(const std::string& arg) {
  if (arg.starts_with("--")) return Usage("unknown option '" + CellText(arg) + "'");
  return Usage("unexpected argument '" + CellText(arg) + "'");
}

std::string_view TrimBlanks(std::string_view utf8) {
  constexpr std::string_view kBlanks[] = {" ",  "\t", "\n",       "\v",
                                          "\f", "\r", "\xC2\xA0", "\xE3\x80\x80"};
  // The size of the blank at the front or the back of `utf8`, 0 when there is none.
  auto blank = [&](bool front) -> size_t {
    for (std::string_view b : kBlanks) {
      if (front ? utf8.starts_with(b) : utf8.ends_with(b)) return b.size();
    }
    return 0;
  };
  while (size_t size = blank(true)) utf8.remove_prefix(size);
  while (size_t size = blank(false)) utf8.remove_suffix(size);
  return utf8;
}

std::optional<std::string> GbkArgument(const std::string& utf8, const std::string& what) {
  std::optional<std::string> gbk = Utf8ToGbkExact(utf8);
  if (!gbk) Usage(what + " '" + CellText(utf8) + "' has characters that cannot be written in GBK");
  return gbk;
}

std::string Why(const CallFailure& failure) { return CellText(DescribeFailure(failure)); }

void ReportUnreadableConfiguration(const std::string& address, const TXMLData& data) {
  std::cerr << "vendrix-cli: the configuration document at " << address
            << " could not be read: " << CellText(data.LastError()) << "\n";
}

bool StartUp(ShopFinder& finder, bool configuration_only) {
  bool started = configuration_only ? finder.LoadConfiguration() : finder.StartUp();
  if (!finder.CredentialProblem().empty()) {
    Usage(finder.CredentialProblem());
    return false;
  }
  for (const std::string& note : finder.CredentialNotes()) {
    std::cerr << "vendrix-cli: " << CellText(note) << "\n";
  }
  if (!started) {
    ReportUnreadableConfiguration(finder.GetSettings().VendorBase + ConfigPath, finder.XMLData1);
  }
  return true;
}

}  // namespace vendrix::cli
