#include "api/MD5.h"

#include <gtest/gtest.h>

#include "api/ApiFrame.h"

namespace vendrix {
namespace {

struct Vector {
  const char* input;
  const char* digest;
};

// RFC 1321, appendix A.5 (upper case here, as the platform wants it).
const Vector kRfc1321[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

void PrintTo(const Vector& vector, std::ostream* out) { *out << '"' << vector.input << '"'; }

class MD5Rfc1321Test : public ::testing::TestWithParam<Vector> {};

TEST_P(MD5Rfc1321Test, MatchesTheAppendix) {
  EXPECT_EQ(MD5(GetParam().input), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(AppendixA5, MD5Rfc1321Test, ::testing::ValuesIn(kRfc1321));

TEST(MD5Test, LengthsAroundTheBlockBoundary) {
  // 55, 56 and 64 bytes take one or two padding blocks (digests from Python's hashlib).
  EXPECT_EQ(MD5(std::string(55, 'a')), "EF1772B6DFF9A122358552954AD0DF65");
  EXPECT_EQ(MD5(std::string(56, 'a')), "3B0C8AC703F828B04C6C197006D17218");
  EXPECT_EQ(MD5(std::string(64, 'a')), "014842D480B571495A4A0363793F7367");
}

// The platform's published worked examples of its request signature.
TEST(SignatureTest, PublishedExamples) {
  SignedRequest first("test", "app_key", "test");
  first.Add("fields", "nick");
  first.Add("format", "xml");
  first.Add("method", "taobao.user.seller.get");
  first.Add("session", "test");
  first.Add("sign_method", "md5");
  first.Add("timestamp", "2013-05-06 13:52:03", ValueForm::kEncoded);
  first.Add("v", "2.0");
  EXPECT_EQ(first.SigningString(),
            "testapp_keytestfieldsnickformatxmlmethodtaobao.user.seller.getsessiontest"
            "sign_methodmd5timestamp2013-05-06 13:52:03v2.0test");
  EXPECT_TRUE(first.Address("http://gw/router/rest", "sign")
                  .ends_with("&v=2.0&sign=72CB4D809B375A54502C09360D879C64"));

  SignedRequest second("helloworld", "app_key", "12345678");
  second.Add("fields", "num_iid,title,nick,price,num");
  second.Add("format", "json");
  second.Add("method", "taobao.item.seller.get");
  second.Add("num_iid", "11223344");
  second.Add("session", "test");
  second.Add("sign_method", "md5");
  second.Add("timestamp", "2016-01-01 12:00:00", ValueForm::kEncoded);
  second.Add("v", "2.0");
  EXPECT_EQ(MD5(second.SigningString()), "66987CB115214E59E6EC978214934FB8");
}

}  // namespace
}  // namespace vendrix
