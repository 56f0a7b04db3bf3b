#include "cli/CliText.h"

#include <iostream>

#include "config/XMLData.h"
#include "platform/CodePage.h"

namespace vendrix::cli {

int Usage(const std::string& problem) {
  std::cerr << "vendrix-cli: " << problem << "\n";
  return kUsage;
}

std::string Cell(std::string_view utf8) {
  std::string text(utf8);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::optional<std::string> GbkArgument(const std::string& utf8, const std::string& what) {
  std::optional<std::string> gbk = Utf8ToGbkExact(utf8);
  if (!gbk) Usage(what + " '" + Cell(utf8) + "' has characters that cannot be written in GBK");
  return gbk;
}

void ReportUnreadableConfiguration(const std::string& address, const TXMLData& data) {
  std::cerr << "vendrix-cli: the configuration document at " << address
            << " could not be read: " << Cell(data.LastError()) << "\n";
}

}  // namespace vendrix::cli
