#include "platform/Settings.h"

#include <cstdlib>

namespace vendrix {
namespace {

void Override(std::string& value, const char* variable) {
  const char* text = std::getenv(variable);
  if (text != nullptr && *text != '\0') value = text;
}

}  // namespace

Settings Settings::FromEnvironment() {
  Settings s;
  Override(s.VendorBase, "VENDRIX_VENDOR_BASE");
  Override(s.Gateway, "VENDRIX_GATEWAY");
  Override(s.ShopLogo, "VENDRIX_SHOP_LOGO");
  Override(s.RankPics, "VENDRIX_RANK_PICS");
  // The configuration path is appended without a separator.
  if (s.VendorBase.back() != '/') s.VendorBase += '/';
  return s;
}

const Settings& Settings::Current() {
  static const Settings settings = FromEnvironment();
  return settings;
}

}  // namespace vendrix
