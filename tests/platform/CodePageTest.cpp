#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

TEST(CodePageTest, ConvertsChineseBothWays) {
  const std::string utf8 = "所有类目 卖家昵称：quillfern01 ￥12.50";
  // 所 = CBF9, 有 = D3D0 in GBK; the full-width colon is A3BA and the yen sign A3A4.
  std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.substr(0, 4), "\xCB\xF9\xD3\xD0");
  EXPECT_NE(gbk.find("\xA3\xBA" "quillfern01 \xA3\xA4" "12.50"), std::string::npos);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

// Name characters outside GB2312 (the narrower code page GBK extends) are common in nicks and
// must survive both ways; a conversion through GB2312 would turn each into "?".
TEST(CodePageTest, RareNameCharactersKeepTheirGbkBytes) {
  struct Case {
    const char* utf8;
    const char* gbk;
  };
  const Case cases[] = {
      {"镕", "\xE9\x46"}, {"喆", "\x86\xB4"}, {"堃", "\x88\xD2"}, {"赟", "\xDA\x53"},
      {"昇", "\x95\x4E"}, {"玥", "\xAB\x68"}, {"璟", "\xAD\x5A"}, {"凃", "\x83\xF2"},
      {"祎", "\xB5\x74"}, {"犇", "\xA0\xC4"}, {"鑫", "\xF6\xCE"}, {"€", "\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk) << c.utf8;
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.utf8;
  }
}

TEST(CodePageTest, AsciiAndEmptyPassUnchanged) {
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8("app_key=12345678&v=2.0"), "app_key=12345678&v=2.0");
}

TEST(CodePageTest, WhatCannotBeConvertedBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80z"), "a?z") << "an emoji has no GBK form";
  EXPECT_EQ(Utf8ToGbk("\xF0\xA0\x80\x80"), "?") << "nor has U+20000";
  EXPECT_FALSE(Utf8ToGbkExact("a\xF0\x9F\x98\x80")) << "refused, not sent as \"?\"";
  EXPECT_FALSE(Utf8ToGbkExact("a\xFF"));
  EXPECT_EQ(Utf8ToGbkExact("朱镕"), Utf8ToGbk("朱镕"));
  EXPECT_EQ(Utf8ToGbk("a\xFFz"), "a?z") << "not UTF-8";
  EXPECT_EQ(Utf8ToGbk("a\xE4\xB8"), "a?") << "cut short at the end";
  EXPECT_EQ(GbkToUtf8("a\x81\x20z"), "a? z") << "a lead byte without a trail byte";
  EXPECT_EQ(GbkToUtf8("\xFF\xFF"), "??");
  EXPECT_EQ(GbkToUtf8("\xCB"), "?");
}

}  // namespace
}  // namespace vendrix
