// Which source gives a run its credentials and its nick.
#include "account/Credentials.h"

#include <gtest/gtest.h>

namespace vendrix {
namespace {

using S = CredentialSource;

struct ChoiceCase {
  const char* name;
  CredentialValues environment;
  CredentialValues own;
  std::optional<CredentialValues> document;  // nullopt: it could not be read
  const char* app_key;
  const char* app_sec;
  S key_source;
  const char* nick;
  S nick_source;
};

const ChoiceCase kChoices[] = {
    {"ADocumentWithoutANickKeepsTheBuiltInOne", {}, {}, CredentialValues{"dk", "ds", ""}, "dk",
     "ds", S::kVendorDocument, "built", S::kBuiltIn},
    // As before there were accounts of one's own: an empty pair, and every call refused.
    {"ADocumentWithoutCredentialsGivesItsEmptyPair", {}, {}, CredentialValues{}, "", "",
     S::kVendorDocument, "built", S::kBuiltIn},
    {"NoDocumentNoCredentials", {"", "", "en"}, {}, std::nullopt, "", "", S::kNone, "en",
     S::kEnvironment},
};

class ChooseCredentialsTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseCredentialsTest, FirstSourceWithBothGivesThePair_NickFromItsOwnOrder) {
  const ChoiceCase& c = GetParam();
  CredentialChoice choice = ChooseCredentials(c.environment, c.own, c.document, "built");
  EXPECT_EQ(choice.app_key, c.app_key);
  EXPECT_EQ(choice.app_sec, c.app_sec);
  EXPECT_EQ(choice.key_source, c.key_source) << SourceName(choice.key_source);
  EXPECT_EQ(choice.nick, c.nick);
  EXPECT_EQ(choice.nick_source, c.nick_source) << SourceName(choice.nick_source);
}

INSTANTIATE_TEST_SUITE_P(Choices, ChooseCredentialsTest, ::testing::ValuesIn(kChoices),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace vendrix
