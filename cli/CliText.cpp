#include "cli/CliText.h"

#include <iostream>

#include "app/TableText.h"
#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix::cli {

int Usage(const std::string& problem) {
  std::cerr << "vendrix-cli: " << problem << "\n";
  return kUsage;
}

std::optional<std::string> GbkArgument(const std::string& utf8, const std::string& what) {
  std::optional<std::string> gbk = Utf8ToGbkExact(utf8);
  if (!gbk) Usage(what + " '" + CellText(utf8) + "' has characters that cannot be written in GBK");
  return gbk;
}

void ReportUnreadableConfiguration(const std::string& address, const TXMLData& data) {
  std::cerr << "vendrix-cli: the configuration document at " << address
            << " could not be read: " << CellText(data.LastError()) << "\n";
}

}  // namespace vendrix::cli
