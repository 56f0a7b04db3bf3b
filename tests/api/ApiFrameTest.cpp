#include "api/ApiFrame.h"

#include <gtest/gtest.h>

#include "api/MD5.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

TEST(EncodeValueTest, EveryByteWithoutLeadingZero) {
  EXPECT_EQ(EncodeValue("2010-01-26 12:29:01"),
            "%32%30%31%30%2D%30%31%2D%32%36%20%31%32%3A%32%39%3A%30%31");
  EXPECT_EQ(EncodeValue("abc"), "%61%62%63");
  EXPECT_EQ(EncodeValue("\n\x01\x0F\x10"), "%A%1%F%10");
  EXPECT_EQ(EncodeValue(std::string("\0", 1)), "%0");
  EXPECT_EQ(EncodeValue("\xE4\xB8\xAD\xFF"), "%E4%B8%AD%FF");
  EXPECT_EQ(EncodeValue(""), "");
}

TEST(FormatTimestampTest, ZeroPaddedTwentyFourHour) {
  std::tm t{};
  t.tm_year = 2010 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 6;
  t.tm_hour = 21;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(FormatTimestamp(t), "2010-01-06 21:05:09");
}

TEST(BeijingTimeTest, ACalendarTimeInBeijingIsEightHoursAheadOfUtc) {
  std::tm t{};
  t.tm_year = 2010 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 26;
  t.tm_hour = 12;
  t.tm_min = 29;
  t.tm_sec = 1;
  EXPECT_EQ(BeijingSeconds(t), 1264480141) << "2010-01-26 04:29:01 UTC";
  t.tm_hour = 3;  // before 08:00 in Beijing it is still the day before in UTC
  EXPECT_EQ(BeijingSeconds(t), 1264480141 - 9 * 3600);

  std::time_t before = std::time(nullptr);
  int64_t now = BeijingSeconds(BeijingNow());
  EXPECT_GE(now, before);
  EXPECT_LE(now, std::time(nullptr));
}

TEST(StripTagsTest, RemovesMarkupKeepsTextAndAlwaysEnds) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"<span class=H>Nokia</span> N95 手机", "Nokia N95 手机"},
      {"新款<span class=H>连衣裙</span>包邮<span class=H>正品</span>", "新款连衣裙包邮正品"},
      {"plain title", "plain title"},
      {"", ""},
      {"a<b<c>d", "ad"},         // the first "<" through the first ">" after it
      {"size > 10", "size > 10"},  // a ">" with no "<" before it stays
      {"1 < 2", "1 < 2"},          // a "<" with no ">" after it stays
      {"x > y <b>z</b> <", "x > y z <"},
      {"<<>>", ">"},
  };
  for (const Case& c : cases) EXPECT_EQ(StripTags(c.in), c.out) << c.in;

  // GBK text: no trail byte of a double-byte character is "<" or ">".
  std::string gbk = Utf8ToGbk("<span class=H>连衣裙</span>");
  EXPECT_EQ(GbkToUtf8(StripTags(gbk)), "连衣裙");
}

TEST(SignedRequestTest, OrderFormsAndOptionalParameters) {
  SignedRequest request("SEC", "app_key", "K");
  request.Add("a", "");
  request.AddIfSet("b", "");
  request.AddIfSet("c", "x y", ValueForm::kEncoded);
  request.Add("nick", Utf8ToGbk("中"), ValueForm::kUtf8Encoded);
  EXPECT_EQ(request.SigningString(), "SECapp_keyKacx ynick\xE4\xB8\xAD" "SEC");
  EXPECT_EQ(request.Address("http://gw/router/rest", "sig"),
            "http://gw/router/rest?app_key=K&a=&c=%78%20%79&nick=%E4%B8%AD&sig=" +
                MD5(request.SigningString()));
}

}  // namespace
}  // namespace vendrix
