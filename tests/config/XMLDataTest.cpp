#include "config/XMLData.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tests/support/ScriptedServer.h"

namespace vendrix {
namespace {

using test::HttpReply;
using test::ScriptedServer;

// Serves `document` (UTF-8 text) at every address.
class XMLDataTest : public ::testing::Test {
 protected:
  void Serve(std::string document) {
    server_ = std::make_unique<ScriptedServer>(ScriptedServer::Replying(
        [document](const std::string&) { return HttpReply("200 OK", document); }));
  }
  std::string Address() const { return server_->Base() + "/taoke/api.php"; }

  std::unique_ptr<ScriptedServer> server_;
  TXMLData data_;
  std::string key_ = "old key";
  std::string secret_ = "old secret";
  std::string nick_ = "old nick";
};

TEST_F(XMLDataTest, ReadsCredentialsAndNickAsGbk) {
  Serve("<?xml version=\"1.0\" encoding=\"utf-8\"?><vendrix><api><app_key>12345678</app_key>"
        "<app_sec>s3cr3t</app_sec><nick>淘客小店</nick></api></vendrix><!-- cache -->");
  ASSERT_TRUE(data_.LoadApi(Address(), key_, secret_));
  EXPECT_EQ(key_, "12345678");
  EXPECT_EQ(secret_, "s3cr3t");
  data_.ReadNick(nick_);
  EXPECT_EQ(nick_, Utf8ToGbk("淘客小店"));
}

TEST_F(XMLDataTest, GbkDocumentIsDecoded) {
  Serve("<?xml version=\"1.0\" encoding=\"GBK\"?><r><api><app_key>k</app_key>"
        "<nick>" + Utf8ToGbk("杭州小店") + "</nick></api></r>");
  ASSERT_TRUE(data_.LoadApi(Address(), key_, secret_));
  data_.ReadNick(nick_);
  EXPECT_EQ(GbkToUtf8(nick_), "杭州小店");
  EXPECT_EQ(secret_, "") << "a missing element reads as empty";
}

TEST_F(XMLDataTest, MissingElementsReadEmptyAndStillSucceed) {
  // A root that is itself "api" has no child "api"; a document without "api" likewise.
  for (const char* doc : {"<api><app_key>k</app_key><app_sec>s</app_sec><nick>n</nick></api>",
                          "<r><other/></r>"}) {
    TXMLData data;
    std::string key = "x", secret = "y", nick = "z";
    Serve(doc);
    EXPECT_TRUE(data.LoadApi(Address(), key, secret)) << doc;
    EXPECT_EQ(key, "") << doc;
    EXPECT_EQ(secret, "") << doc;
    data.ReadNick(nick);
    EXPECT_EQ(nick, "") << doc;
  }
}

TEST_F(XMLDataTest, SecretThatIsNotTextFailsAfterTheKeyIsStored) {
  Serve("<r><api><app_key>new key</app_key><app_sec><x>1</x></app_sec></api></r>");
  EXPECT_FALSE(data_.LoadApi(Address(), key_, secret_));
  EXPECT_EQ(key_, "new key");
  EXPECT_EQ(secret_, "old secret");
}

TEST_F(XMLDataTest, KeyThatIsNotTextLeavesBothUnchanged) {
  Serve("<r><api><app_key>a<b/></app_key><app_sec>s</app_sec></api></r>");
  EXPECT_FALSE(data_.LoadApi(Address(), key_, secret_));
  EXPECT_EQ(key_, "old key");
  EXPECT_EQ(secret_, "old secret");
}

TEST_F(XMLDataTest, UnreachableMalformedOrErrorStatusFails) {
  EXPECT_FALSE(data_.LoadApi("http://127.0.0.1:1/taoke/api.php", key_, secret_));
  Serve("<r><api>");
  EXPECT_FALSE(data_.LoadApi(Address(), key_, secret_));
  server_ = std::make_unique<ScriptedServer>(ScriptedServer::Replying(
      [](const std::string&) { return HttpReply("404 Not Found", "<r/>"); }));
  EXPECT_FALSE(data_.LoadApi(Address(), key_, secret_));
  EXPECT_EQ(key_, "old key");
  EXPECT_EQ(secret_, "old secret");
  data_.ReadNick(nick_);
  EXPECT_EQ(nick_, "") << "no document is loaded";
}

TEST_F(XMLDataTest, ReadNickBeforeAnyLoadOrAfterAFailedReloadIsEmpty) {
  data_.ReadNick(nick_);
  EXPECT_EQ(nick_, "");

  Serve("<r><api><nick>first</nick></api></r>");
  ASSERT_TRUE(data_.LoadApi(Address(), key_, secret_));
  data_.ReadNick(nick_);
  EXPECT_EQ(nick_, "first");
  server_.reset();  // the second load cannot reach anything
  EXPECT_FALSE(data_.LoadApi("http://127.0.0.1:1/taoke/api.php", key_, secret_));
  data_.ReadNick(nick_);
  EXPECT_EQ(nick_, "") << "the earlier document was discarded";
}

}  // namespace
}  // namespace vendrix
