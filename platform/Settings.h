// Addresses that are Vendrix's own to choose: the vendor server, the platform gateway and the
// platform's picture hosts. Each has a built-in default and an environment override, so that
// the sandbox and the tests can point the program elsewhere; and whether the user's own
// credentials apply. Read-only after construction.
#pragma once

#include <string>

namespace vendrix {

struct Settings {
  // The vendor's web and configuration server; always ends with "/".
  std::string VendorBase = "http://www.vendrix.net/";
  // The platform's API gateway (the `http` default of every Name record).
  std::string Gateway = "http://gw.api.taobao.com/router/rest";
  // Shop logos are this address followed directly by the shop's pic_path.
  std::string ShopLogo = "http://logo.taobao.com/shop-logo";
  // Credit badges are this base followed directly by the badge picture's name.
  std::string RankPics = "http://pics.taobaocdn.com/newrank/";
  // Whether the user's own credentials (the VENDRIX_APP_* variables, the own account) come
  // before the vendor's document. The window's own sandbox turns this off: the sandbox knows
  // only the credentials of its own document.
  bool UseOwnCredentials = true;

  // The defaults with every non-empty VENDRIX_* environment variable applied.
  static Settings FromEnvironment();

  // The process-wide settings, read from the environment on first use.
  static const Settings& Current();
};

// "taoke/api.php", appended directly to VendorBase.
inline constexpr const char* ConfigPath = "taoke/api.php";

}  // namespace vendrix
