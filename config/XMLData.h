// TXMLData, the configuration component: fetches the vendor's configuration document once,
// keeps it in memory and fills the request records of every platform call from it. Values come
// back as GBK text. Used on the window's thread only; no operation raises.
#pragma once

#include <functional>
#include <string>

#include "api/TaobaoCats.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "platform/XmlDocument.h"

namespace vendrix {

class TXMLData {
 public:
  // Loads the document from `address` (GBK text) and reads "api/app_key" into `app_key`, then
  // "api/app_sec" into `app_sec`. True when the load and both reads completed. A failed load
  // leaves no document; a failure reading the secret leaves the new key stored.
  bool LoadApi(const std::string& address, std::string& app_key, std::string& app_sec);

  // Reads "api/nick" into `nick`; empty text when anything fails.
  void ReadNick(std::string& nick);

  // Each fills a component's four records from its section: a sub-section that is present
  // overwrites every field it lists (a missing element reads as empty), an absent one leaves
  // its record alone. The first failure ends the operation quietly; fields written before it
  // keep their new values. Without a loaded document nothing changes.
  void ReadTaobaokeItem(TaobaokeItemConditions& cond, TaobaokeItemInfo& back,
                        TaobaokeItemName& name, TaobaokeItemXML& xml);
  void ReadTaobaoUsers(TaobaoUsersConditions& cond, TaobaoUsersInfo& back,
                       TaobaoUsersName& name, TaobaoUsersXML& xml);
  void ReadTaobaoShop(TaobaoShopConditions& cond, TaobaoShopInfo& back, TaobaoShopName& name,
                      TaobaoShopXML& xml);
  void ReadTaobaokeShop(TaobaokeShopConditions& cond, TaobaokeShopInfo& back,
                        TaobaokeShopName& name, TaobaokeShopXML& xml);
  void ReadTaobaokeConvert(TaobaokeConvertConditions& cond, TaobaokeConvertInfo& back,
                           TaobaokeConvertName& name, TaobaokeConvertXML& xml);
  void ReadTaobaoCats(TaobaoCatsConditions& cond, TaobaoCatsInfo& back, TaobaoCatsName& name,
                      TaobaoCatsXML& xml);
  void ReadTaobaoSearch(TaobaoSearchConditions& cond, TaobaoSearchInfo& back,
                        TaobaoSearchName& name, TaobaoSearchXML& xml);

  XmlDocument& Document() { return document_; }
  // Why the last operation failed ("Host not found.", "HTTP/1.1 404 Not Found", a parse
  // error); empty after one that succeeded. Said to the user when the configuration could not
  // be read.
  const std::string& LastError() const { return last_error_; }

 private:
  // Runs `read` under the component's one failure guard; false when it failed.
  bool Guarded(const std::function<void()>& read);

  XmlDocument document_;
  std::string last_error_;
};

}  // namespace vendrix
