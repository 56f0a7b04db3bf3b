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

}  // namespace
}  // namespace vendrix
