#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/CodePage.h"
#include "platform/IdHTTP.h"
#include "tests/support/ScriptedServer.h"

namespace vendrix {
namespace {

using test::HttpReply;
using test::ScriptedServer;

TEST(XmlDocumentTest, HonoursTheDeclaredEncoding) {
  // 镕 is GBK but not GB2312: replies that declare GB2312 are read as GBK, as browsers do.
  for (const char* encoding : {"GBK", "gb2312", "GB2312", "EUC-CN"}) {
    XmlDocument doc;
    std::string gbk = Utf8ToGbk("杭州朱镕");
    doc.LoadFromText(std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                     "\"?><users_get_response><city>" + gbk + "</city></users_get_response>");
    EXPECT_EQ(doc.Root().Child("city").Text(), "杭州朱镕") << encoding;
  }
  XmlDocument utf8;
  utf8.LoadFromText("<r><city>杭州</city></r>");
  EXPECT_EQ(utf8.Root().FindChild("city").Text(), "杭州");
}

TEST(XmlDocumentTest, ChildByNameAppendsWhatIsMissing_FindChildThenFindsIt) {
  XmlDocument doc;
  doc.LoadFromText("<TaobaoShop><back><sid>s</sid></back></TaobaoShop>");
  XmlNode root = doc.Root();
  EXPECT_TRUE(root.FindChild("cond").IsNull());
  XmlNode cond = root.Child("cond");
  EXPECT_EQ(cond.Name(), "cond");
  EXPECT_EQ(cond.Text(), "") << "the appended element is empty";
  EXPECT_FALSE(root.FindChild("cond").IsNull());
  EXPECT_EQ(root.ChildCount(), 2u);
  EXPECT_TRUE(root.FindChild("Back").IsNull()) << "names are case-sensitive";
  EXPECT_EQ(root.Child("back").Child("sid").Text(), "s");
}

TEST(XmlDocumentTest, TextOfAnElement) {
  XmlDocument doc;
  doc.LoadFromText(
      "<r><empty/><empty2></empty2><plain>a &amp; b</plain><cdata><![CDATA[<b>x</b>]]></cdata>"
      "<mixed>x<b/></mixed><elements><a/><b/></elements><twonodes>t<![CDATA[c]]></twonodes>"
      "<spaced>  kept  </spaced></r>");
  XmlNode r = doc.Root();
  EXPECT_EQ(r.Child("empty").Text(), "");
  EXPECT_EQ(r.Child("empty2").Text(), "");
  EXPECT_EQ(r.Child("plain").Text(), "a & b");
  EXPECT_EQ(r.Child("cdata").Text(), "<b>x</b>");
  EXPECT_EQ(r.Child("spaced").Text(), "  kept  ");
  EXPECT_THROW(r.Child("mixed").Text(), EXmlError);
  EXPECT_THROW(r.Child("elements").Text(), EXmlError);
  EXPECT_THROW(r.Child("twonodes").Text(), EXmlError);
}

TEST(XmlDocumentTest, WhitespaceBetweenElementsIsNotANode_CommentsAre) {
  XmlDocument doc;
  doc.LoadFromText(
      "<?xml version=\"1.0\"?>\n<r>\n  <a>1</a>\n  <!-- note -->\n  <b>\n  </b>\n</r>\n"
      "<!--top.platform.example-->\n");
  XmlNode r = doc.Root();
  EXPECT_EQ(r.Name(), "r");
  ASSERT_EQ(r.ChildCount(), 3u);
  EXPECT_EQ(r.ChildAt(0).Name(), "a");
  EXPECT_EQ(r.ChildAt(2).Name(), "b");
  EXPECT_EQ(r.ChildAt(2).Text(), "") << "whitespace-only text is dropped";
  EXPECT_THROW(r.ChildAt(3), EXmlError);
}

TEST(XmlDocumentTest, FailedLoadsLeaveNoDocument) {
  XmlDocument doc;
  EXPECT_FALSE(doc.Loaded());
  EXPECT_THROW(doc.Root(), EXmlError);
  doc.LoadFromText("<ok/>");
  EXPECT_TRUE(doc.Loaded());
  for (const char* bad : {"", "not xml", "<a><b></a>", "<a/><b/>", "<a>&undefined;</a>",
                          "<?xml version=\"1.0\" encoding=\"GBK\"?><a>\xFF\xFF</a>",
                          "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xFF</a>"}) {
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(doc.LoadFromText(bad), EXmlError) << bad;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the parser's own messages";
    EXPECT_FALSE(doc.Loaded()) << bad;
  }
  EXPECT_THROW(XmlNode().Text(), EXmlError);
}

TEST(XmlDocumentTest, HostileDocumentsFailQuickly) {
  std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
      "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
  for (int i = 2; i <= 9; ++i) {
    std::string prev = "&lol" + std::to_string(i - 1) + ";";
    std::string body;
    for (int k = 0; k < 10; ++k) body += prev;
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"" + body + "\">";
  }
  laughs += "]><lolz>&lol9;</lolz>";
  std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>";
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";

  for (const std::string* doc_text : {&laughs, &external, &deep}) {
    XmlDocument doc;
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(doc.LoadFromText(*doc_text), EXmlError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(doc.Loaded());
  }
}

TEST(XmlDocumentTest, LoadsFromAnAddress) {
  ScriptedServer server(ScriptedServer::Replying([](const std::string& request) {
    if (test::RequestTarget(request) == "/missing") return HttpReply("404 Not Found", "<e/>");
    return HttpReply("200 OK", "<?xml version=\"1.0\" encoding=\"GBK\"?><r><n>" +
                                   Utf8ToGbk("中文") + "</n></r>");
  }));
  XmlDocument doc;
  doc.LoadFromAddress(server.Base() + "/taoke/api.php");
  EXPECT_EQ(doc.Root().Child("n").Text(), "中文");
  EXPECT_EQ(doc.Http().ReadTimeout(), 15000);

  EXPECT_THROW(doc.LoadFromAddress(server.Base() + "/missing"), EIdHTTPProtocolException);
  EXPECT_FALSE(doc.Loaded()) << "a failed load discards the earlier document";
}

}  // namespace
}  // namespace vendrix
