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

TEST(CodePageTest, AsciiAndEmptyPassUnchanged) {
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8("app_key=12345678&v=2.0"), "app_key=12345678&v=2.0");
}

TEST(CodePageTest, WhatCannotBeConvertedBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80z"), "a?z") << "an emoji has no GBK form";
  EXPECT_EQ(Utf8ToGbk("a\xFFz"), "a?z") << "not UTF-8";
  EXPECT_EQ(Utf8ToGbk("a\xE4\xB8"), "a?") << "cut short at the end";
  EXPECT_EQ(GbkToUtf8("a\x81\x20z"), "a? z") << "a lead byte without a trail byte";
  EXPECT_EQ(GbkToUtf8("\xFF\xFF"), "??");
  EXPECT_EQ(GbkToUtf8("\xCB"), "?");
}

}  // namespace
}  // namespace vendrix
