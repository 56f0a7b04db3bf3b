#include "platform/Settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace vendrix {
namespace {

TEST(SettingsTest, EnvironmentOverridesEachAddressAndBaseEndsWithSlash) {
  unsetenv("VENDRIX_VENDOR_BASE");
  unsetenv("VENDRIX_GATEWAY");
  unsetenv("VENDRIX_SHOP_LOGO");
  unsetenv("VENDRIX_RANK_PICS");
  Settings defaults = Settings::FromEnvironment();
  EXPECT_EQ(defaults.VendorBase, "http://www.vendrix.net/");
  EXPECT_EQ(defaults.Gateway, "http://gw.api.taobao.com/router/rest");
  EXPECT_EQ(defaults.ShopLogo, "http://logo.taobao.com/shop-logo");
  EXPECT_EQ(defaults.RankPics, "http://pics.taobaocdn.com/newrank/");

  setenv("VENDRIX_VENDOR_BASE", "http://127.0.0.1:4000", 1);
  setenv("VENDRIX_GATEWAY", "http://127.0.0.1:4000/router/rest", 1);
  setenv("VENDRIX_SHOP_LOGO", "", 1);  // empty means "not set"
  setenv("VENDRIX_RANK_PICS", "http://127.0.0.1:4000/newrank/", 1);
  Settings s = Settings::FromEnvironment();
  EXPECT_EQ(s.VendorBase, "http://127.0.0.1:4000/");
  EXPECT_EQ(s.Gateway, "http://127.0.0.1:4000/router/rest");
  EXPECT_EQ(s.ShopLogo, defaults.ShopLogo);
  EXPECT_EQ(s.RankPics, "http://127.0.0.1:4000/newrank/");
  for (const char* name : {"VENDRIX_VENDOR_BASE", "VENDRIX_GATEWAY", "VENDRIX_SHOP_LOGO",
                           "VENDRIX_RANK_PICS"}) {
    unsetenv(name);
  }
}

}  // namespace
}  // namespace vendrix
