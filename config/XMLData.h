// TXMLData, the configuration component: fetches the vendor's configuration document once,
// keeps it in memory and answers reads from it. Values come back as GBK text. Used on the
// window's thread only; no operation raises.
#pragma once

#include <string>

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

  XmlDocument& Document() { return document_; }

 private:
  XmlDocument document_;
};

}  // namespace vendrix
