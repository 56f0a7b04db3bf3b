#include "platform/CookieStore.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

TEST(CookieStoreTest, MatchesHostDomainAndPath) {
  CookieStore store;
  store.Store("gw.example.com", "/router/rest", "a=1");
  store.Store("gw.example.com", "/router/rest", "b=2; Path=/other");
  store.Store("gw.example.com", "/", "c=3; Domain=.example.com");
  store.Store("gw.example.com", "/", "d=4; Domain=evil.com");  // not the server's to set

  EXPECT_EQ(store.HeaderFor("gw.example.com", "/router/rest"), "a=1; c=3");
  EXPECT_EQ(store.HeaderFor("gw.example.com", "/other/x"), "b=2; c=3");
  EXPECT_EQ(store.HeaderFor("pics.example.com", "/router/rest"), "c=3");
  EXPECT_EQ(store.HeaderFor("example.org", "/"), "");
  EXPECT_EQ(store.Size(), 3u);
}

TEST(CookieStoreTest, ReplacesAndExpires) {
  CookieStore store;
  auto now = CookieStore::Clock::now();
  store.Store("h", "/", "a=1", now);
  store.Store("h", "/", "a=2", now);
  EXPECT_EQ(store.HeaderFor("h", "/", now), "a=2");

  store.Store("h", "/", "a=gone; Max-Age=0", now);
  EXPECT_EQ(store.HeaderFor("h", "/", now), "");

  store.Store("h", "/", "t=1; Max-Age=10", now);
  EXPECT_EQ(store.HeaderFor("h", "/", now), "t=1");
  EXPECT_EQ(store.HeaderFor("h", "/", now + std::chrono::seconds(11)), "");

  store.Store("h", "/", "old=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT", now);
  store.Store("h", "/", "garbage", now);
  EXPECT_EQ(store.HeaderFor("h", "/", now), "t=1");
}

// Who gets a cookie back: a host that only looks like the one that set it never does.
TEST(CookieStoreTest, LookAlikeHostsGetNothing) {
  struct Case {
    const char* set_by;
    const char* header;
    const char* asked_by;
    bool sent;
  };
  const Case cases[] = {
      {"vendrix.net", "a=1", "vendrix.net", true},
      {"vendrix.net", "a=1", "VENDRIX.NET", true},
      {"vendrix.net", "a=1", "www.vendrix.net", false},  // host-only without Domain
      {"vendrix.net", "a=1", "evilvendrix.net", false},
      {"vendrix.net", "a=1", "vendrix.net.evil.com", false},
      {"vendrix.net", "a=1", "vendrix.ne", false},
      {"www.vendrix.net", "a=1; Domain=vendrix.net", "gw.vendrix.net", true},
      {"www.vendrix.net", "a=1; Domain=.vendrix.net", "vendrix.net", true},
      {"www.vendrix.net", "a=1; Domain=vendrix.net", "evil-vendrix.net", false},
      {"www.vendrix.net", "a=1; Domain=vendrix.net", "vendrix.net.cn", false},
      {"www.vendrix.net", "a=1; Domain=w.vendrix.net", "w.vendrix.net", false},  // not a parent
      {"www.vendrix.net", "a=1; Domain=net", "evil.net", false},  // a whole top-level domain
      {"shop.vendrix.com.cn", "a=1; Domain=com.cn", "evil.com.cn", false},  // a registry
      {"shop.vendrix.com.cn", "a=1; Domain=vendrix.com.cn", "gw.vendrix.com.cn", true},
      {"www.vendrix.net.", "a=1; Domain=net.", "evil.net.", false},  // the same, fully qualified
      {"www.vendrix.net.", "a=1; Domain=vendrix.net.", "gw.vendrix.net.", true},
      {"10.1.2.3", "a=1; Domain=1.2.3", "9.1.2.3", false},  // part of an address
      {"10.1.2.3", "a=1; Domain=10.1.2.3", "10.1.2.3", true},
      // Each Domain is checked against the host that sent it; the last one stands.
      {"www.vendrix.net", "a=1; Domain=vendrix.net; Domain=www.vendrix.net", "www.vendrix.net",
       true},
      {"www.vendrix.net", "a=1; Domain=vendrix.net; Domain=www.vendrix.net", "gw.vendrix.net",
       false},
      {"h", "a=1\r\nX-Injected: 1", "h", false},  // control bytes: refused
      {"h", "a\x01b=1", "h", false},
  };
  for (const Case& c : cases) {
    CookieStore store;
    store.Store(c.set_by, "/", c.header);
    EXPECT_EQ(store.HeaderFor(c.asked_by, "/").empty(), !c.sent)
        << c.header << " set by " << c.set_by << ", asked by " << c.asked_by;
  }
}

// Far dates and huge Max-Age values neither overflow nor lose the cookie.
TEST(CookieStoreTest, FarFuturesKeepTheCookie_HugeValuesNeverOverflow) {
  struct Case {
    const char* attributes;
    bool kept_now;
    bool kept_in_a_year;
  };
  const Case cases[] = {
      {"Expires=Fri, 31 Dec 9999 23:59:59 GMT", true, true},
      {"Expires=Fri, 31-Dec-9999 23:59:59 GMT", true, true},
      {"Expires=Friday, 31-Dec-99 23:59:59 GMT", false, false},  // 1999
      // RFC 6265, section 5.1.1: a two-digit year of 70-99 is 19xx, of 00-69 20xx; fields
      // are known by their shape, whatever the weekday says.
      {"Expires=Wed, 09-Jun-49 10:18:14 GMT", true, true},
      {"Expires=Wednesday, 09-Jun-49 10:18:14 GMT", true, true},
      {"Expires=Thu, 01 Jan 69 00:00:00 GMT", true, true},
      {"Expires=Thu, 01-Jan-70 00:00:01 GMT", false, false},
      {"Expires=09 Jun 2020 10:18:14 GMT", false, false},
      {"Expires=Thu Jan  1 00:00:00 1970", false, false},
      {"Expires=Sat, 01 Jan 2000 00:00:00 GMT", false, false},
      {"Max-Age=99999999999999999999999999", true, true},
      {"Max-Age=-99999999999999999999999999", false, false},
      {"Max-Age=9223372036854775807", true, true},
      {"Max-Age=-9223372036854775808", false, false},
      {"Max-Age=1", true, false},
      {"Max-Age=+5", true, true},  // not a Max-Age: a session cookie
      {"Max-Age=600; Expires=Thu, 01 Jan 1970 00:00:00 GMT", true, false},  // Max-Age wins
      {"Expires=Thu, 01 Jan 1970 00:00:00 GMT; Max-Age=600", true, false},
  };
  auto now = CookieStore::Clock::now();
  for (const Case& c : cases) {
    CookieStore store;
    store.Store("h", "/", std::string("a=1; ") + c.attributes, now);
    EXPECT_EQ(store.HeaderFor("h", "/", now) == "a=1", c.kept_now) << c.attributes;
    EXPECT_EQ(store.HeaderFor("h", "/", now + std::chrono::hours(24 * 366)) == "a=1",
              c.kept_in_a_year)
        << c.attributes;
  }
}

}  // namespace
}  // namespace vendrix
