#include "config/XMLData.h"

#include "platform/CodePage.h"

namespace vendrix {
namespace {

// Every value is looked up afresh from the root: no node is held from one read to the next.
std::string ReadApiValue(XmlDocument& document, const char* name) {
  return Utf8ToGbk(document.Root().Child("api").Child(name).Text());
}

}  // namespace

bool TXMLData::LoadApi(const std::string& address, std::string& app_key, std::string& app_sec) {
  try {
    document_.LoadFromAddress(GbkToUtf8(address));
    app_key = ReadApiValue(document_, "app_key");
    app_sec = ReadApiValue(document_, "app_sec");
    return true;
  } catch (...) {
    return false;
  }
}

void TXMLData::ReadNick(std::string& nick) {
  try {
    nick = ReadApiValue(document_, "nick");
  } catch (...) {
    nick.clear();
  }
}

}  // namespace vendrix
